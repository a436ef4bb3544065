#include "project/point_selection.h"

#include <cstddef>

#include "input/number_parse.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

// Rows first..first+count-1 of ControlPoints hold image `image`'s control
// points; false when they are not loaded.
bool ImageRows(const ProjectState& state, int image, int& first, int& count) {
    const Matice* counts = state.ControlPointCounts.get();
    const Matice* ranges = state.ControlPointRanges.get();
    const Matice* points = state.ControlPoints.get();
    if (counts == nullptr || ranges == nullptr || points == nullptr || image < 1 || image > counts->r ||
        image > ranges->r) {
        return false;
    }
    const long double n = counts->GetPrvek(image, 1);
    const long double f = ranges->GetPrvek(image, 1);
    if (!(n >= 0.0L) || !(f >= 1.0L) || f + n - 1.0L > points->r) return false;
    first = static_cast<int>(f);
    count = static_cast<int>(n);
    return true;
}

}  // namespace

bool SelectablePointNumbers(const ProjectState& state, int image, char decimal, std::vector<std::string>& numbers) {
    numbers.clear();
    int first = 0;
    int count = 0;
    if (!ImageRows(state, image, first, count)) return false;
    for (int j = 0; j < count; ++j) numbers.push_back(FormatGeneral(state.ControlPoints->GetPrvek(first + j, 1), decimal));
    return true;
}

bool StoreSelectedPoints(ProjectState& state, int image, const std::vector<bool>& marked, char decimal) {
    // Every mark counts, but only the first four are looked up.
    std::vector<std::size_t> lines;
    for (std::size_t j = 0; j < marked.size(); ++j)
        if (marked[j]) lines.push_back(j);
    if (lines.size() != 4) return false;

    int first = 0;
    int count = 0;
    Matice* selected = state.SelectedOrientationPoints.get();
    if (!ImageRows(state, image, first, count) || selected == nullptr || 4 * image > selected->r) return true;
    long double chosen[4] = {0.0L, 0.0L, 0.0L, 0.0L};
    for (std::size_t m = 0; m < 4; ++m) {
        if (lines[m] >= static_cast<std::size_t>(count)) return true;
        const long double value = state.ControlPoints->GetPrvek(first + static_cast<int>(lines[m]), 1);
        // The number as the list shows it (15 significant digits); the
        // general format always reads back, the value itself stands in
        // should it not.
        if (!ParseFieldNumber(FormatGeneral(value, decimal), decimal, chosen[m])) chosen[m] = value;
    }
    for (int m = 0; m < 4; ++m) selected->SetPrvek(4 * image - 3 + m, 1, chosen[m]);
    return true;
}

}  // namespace pelvanor
