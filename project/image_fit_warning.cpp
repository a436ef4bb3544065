#include "project/image_fit_warning.h"

#include <algorithm>
#include <cmath>

#include "matrix/fp_guard.h"
#include "project/log_texts.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

using detail::IndexValue;
using detail::kWarn;
using detail::ListText;

// Figures below this fraction of the camera constant are rounding, not
// measurement: a noise-free block has residuals of 1e-15 of the coordinates,
// whose ratios mean nothing.  (The best measurement reaches some 1e-5 of the
// camera constant: 0.2 micrometres at 24 mm.)
constexpr long double kRoundingFloor = 1.0e-9L;

std::string Factor(long double factor) {
    return FormatGeneral(std::round(factor), '.') + "krát";
}

// The line naming the images whose figure is too large, or "".
std::string FitLine(const std::vector<long double>& figures, long double floor, const std::string& label,
                    const std::string& quantity) {
    const std::vector<long double> factors = FitFactors(figures);
    std::vector<std::string> images;
    std::vector<std::string> times;
    for (std::size_t k = 0; k < factors.size(); ++k) {
        if (!(factors[k] > kImageFitFactor) || !(figures[k] > floor)) continue;
        images.push_back(std::to_string(k + 1));
        times.push_back(Factor(factors[k]));
    }
    if (images.empty()) return "";
    const bool one = images.size() == 1;
    return std::string(kWarn) + (one ? "Snímek " : "Snímky ") + ListText(images) +
           (one ? " nezapadá" : " nezapadají") + " do bloku (" + label + "): " + quantity + " je " +
           ListText(times) + " větší než medián snímků; " +
           (one ? "není jeho soubor spárován s jiným snímkem nebo chybně změřen?"
                : "nejsou jejich soubory spárovány s jinými snímky nebo chybně změřeny?");
}

long double Floor(const ProjectState& s) { return kRoundingFloor * std::fabs(s.Camera.f); }

}  // namespace

std::vector<long double> AdjustmentImageRms(const ProjectState& s, bool withF) {
    const Matice* residuals = withF ? s.BundleResidualsF.get() : s.BundleResiduals.get();
    const Matice* list = s.BundleObservationTable.get();
    const Matice* ranges = s.ControlPointRanges.get();
    if (!residuals || !list || !ranges || residuals->s < 2) return {};
    const std::size_t images = ranges->r;
    std::vector<long double> sum(images, 0.0L);
    std::vector<long long> count(images, 0);
    // Residual row h belongs to the h-th (row, image) pair of the point list,
    // in the order the adjustment assembles its observations.
    int h = 0;
    for (int i = 1; i <= list->r; ++i) {
        for (int col = 2; col + 1 <= list->s; col += 2) {
            const long long image = std::llabs(IndexValue(list->GetPrvek(i, col + 1)));
            if (image == 0) continue;
            ++h;
            if (h > residuals->r || image > static_cast<long long>(images)) return {};
            const long double vx = residuals->GetPrvek(h, 1);
            const long double vy = residuals->GetPrvek(h, 2);
            sum[static_cast<std::size_t>(image - 1)] += vx * vx + vy * vy;
            count[static_cast<std::size_t>(image - 1)] += 2;
        }
    }
    if (h != residuals->r) return {};
    std::vector<long double> rms(images, -1.0L);
    for (std::size_t k = 0; k < images; ++k)
        if (count[k] > 0) rms[k] = std::sqrt(sum[k] / static_cast<long double>(count[k]));
    return rms;
}

std::vector<long double> FitFactors(const std::vector<long double>& figures) {
    std::vector<long double> present;
    for (long double v : figures)
        if (v >= 0.0L && std::isfinite(v)) present.push_back(v);
    if (present.size() < 3) return {};
    std::sort(present.begin(), present.end());
    const std::size_t n = present.size();
    const long double median = n % 2 == 1 ? present[n / 2] : 0.5L * (present[n / 2 - 1] + present[n / 2]);
    if (!(median > 0.0L)) return {};
    std::vector<long double> factors(figures.size(), 0.0L);
    for (std::size_t k = 0; k < figures.size(); ++k)
        if (figures[k] >= 0.0L && std::isfinite(figures[k])) factors[k] = figures[k] / median;
    return factors;
}

std::vector<std::string> OrientationFitWarnings(const ProjectState& s) {
    const Matice* sigma = s.OrientationSigma0.get();
    if (!sigma || sigma->s < 1) return {};
    std::vector<long double> figures;
    for (int i = 1; i <= sigma->r; ++i) figures.push_back(sigma->GetPrvek(i, 1));
    // Figures too large to square make no warning rather than a wrong one.
    std::vector<std::string> out;
    const bool computed = GuardedComputation([&] {
        const std::string line = FitLine(figures, Floor(s), "přibližná orientace",
                                         "aposteriorní směrodatná odchylka jednotková");
        if (!line.empty()) out.push_back(line);
        return true;
    });
    return computed ? out : std::vector<std::string>{};
}

std::vector<std::string> AdjustmentFitWarnings(const ProjectState& s) {
    std::vector<std::string> out;
    const bool computed = GuardedComputation([&] {
        for (const bool withF : {false, true}) {
            const std::string line =
                FitLine(AdjustmentImageRms(s, withF), Floor(s),
                        withF ? "vyrovnání s konstantou komory" : "vyrovnání bez konstanty komory",
                        "střední oprava snímkových souřadnic");
            if (!line.empty()) out.push_back(line);
        }
        return true;
    });
    return computed ? out : std::vector<std::string>{};
}

}  // namespace pelvanor
