#include "project/double_mark_warning.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "project/log_texts.h"

namespace pelvanor {

namespace {

using detail::IndexValue;
using detail::kWarn;
using detail::ListText;
using detail::NumberText;

// The point numbers of image `image`'s block of a grouped table (rows of
// number 0 are empty lines, not points).
std::set<long double> NumbersOfImage(const Matice& table, const Matice& ranges, int image) {
    std::set<long double> numbers;
    if (image > ranges.r || ranges.s < 2 || table.s < 1) return numbers;
    const long long first = std::max(IndexValue(ranges.GetPrvek(image, 1)), 1LL);
    const long long last = std::min<long long>(IndexValue(ranges.GetPrvek(image, 2)), table.r);
    for (long long row = first; row <= last; ++row) {
        const long double number = std::nearbyint(table.GetPrvek(static_cast<int>(row), 1));
        if (number != 0.0L && std::isfinite(number)) numbers.insert(number);
    }
    return numbers;
}

}  // namespace

std::vector<std::string> DoubleMarkWarnings(const std::vector<std::string>& files, const ProjectState& s) {
    const Matice* control = s.ControlPoints.get();
    const Matice* controlRanges = s.ControlPointRanges.get();
    const Matice* image = s.ImagePoints.get();
    const Matice* imageRanges = s.ImagePointRanges.get();
    if (!control || !controlRanges || !image || !imageRanges) return {};
    const int images = std::min<int>(controlRanges->r, imageRanges->r);
    std::set<long double> points;
    std::vector<std::string> named;
    for (int k = 1; k <= images; ++k) {
        const std::set<long double> ofControl = NumbersOfImage(*control, *controlRanges, k);
        bool repeated = false;
        for (long double number : NumbersOfImage(*image, *imageRanges, k)) {
            if (ofControl.count(number) == 0) continue;
            points.insert(number);
            repeated = true;
        }
        if (repeated && static_cast<std::size_t>(k) <= files.size())
            named.push_back(files[static_cast<std::size_t>(k - 1)]);
    }
    if (points.empty()) return {};
    std::vector<std::string> numbers;
    for (long double number : points) numbers.push_back(NumberText(number));
    const bool one = numbers.size() == 1;
    return {std::string(kWarn) + (one ? "Vlícovací bod " : "Vlícovací body ") + ListText(numbers) +
            (one ? " je" : " jsou") +
            " na týchž snímcích v souborech vlícovacích bodů i snímkových souřadnic; " +
            (one ? "jeho značky se" : "jejich značky se") +
            " ve výpočtu počítají dvakrát (jako vlícovací bod a jako spojovací bod téhož čísla): " +
            ListText(named)};
}

}  // namespace pelvanor
