#include "project/camera_constant_check.h"

#include <cmath>

#include "adjustment/image_precision.h"
#include "project/log_texts.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

// f of image j (1-based) of the adjustment with the camera constant; false
// when the tables do not hold it.
bool CameraConstantOf(const ProjectState& s, int j, long double& f) {
    const Matice* unknowns = s.BundleUnknownsF.get();
    const Matice* index = s.BundleImageIndexF.get();
    if (unknowns == nullptr || index == nullptr || j > index->r || index->s < 1) return false;
    const long long first = detail::IndexValue(index->GetPrvek(j, 1));
    if (first < 1 || first + 6 > unknowns->r) return false;
    f = unknowns->GetPrvek(static_cast<int>(first + 6), 1);
    return true;
}

// sigma_f / |f| of image j, or -1 when unknown.
long double RelativeDeviation(const ProjectState& s, int j) {
    const Matice* deviations = s.BundleDeviationsF.get();
    long double f = 0.0L;
    if (deviations == nullptr || j > deviations->r || deviations->s < 7 || !CameraConstantOf(s, j, f) ||
        f == 0.0L)
        return -1.0L;
    return deviations->GetPrvek(j, 7) / std::fabs(f);
}

}  // namespace

bool CameraConstantsDetermined(ProjectState& s, const Matice* weights) {
    s.BundleDeviationsF.reset();
    const int m = s.BundleImageIndexF ? s.BundleImageIndexF->r : 0;
    const long double camera = s.Camera.f;
    bool possible = true;
    for (int j = 1; j <= m; ++j) {
        long double f = 0.0L;
        // Also false for a NaN: not a camera constant.
        if (!CameraConstantOf(s, j, f) ||
            !(std::fabs(f - camera) <= kCameraConstantLargestMove * std::fabs(camera)))
            possible = false;
    }
    if (!ImageStandardDeviations(s.ControlPointsCorrected.get(), s.ImagePointsCorrected.get(),
                                 s.BundleObservationTable.get(), s.BundleUnknownsF.get(),
                                 s.BundleImageIndexF.get(), 7, s.Camera.x0, s.Camera.y0, camera,
                                 s.Settings.FixedPointCount, weights, &s.BundleWeighting, s.BundleSigma0F,
                                 s.BundleDeviationsF))
        s.BundleDeviationsF.reset();
    if (!possible) return false;
    if (s.BundlePassLimitReachedF) {
        for (int j = 1; j <= m; ++j)
            if (RelativeDeviation(s, j) > kUndeterminedCameraConstant) return false;
    }
    return true;
}

std::vector<std::string> CameraConstantWarnings(const ProjectState& s, char decimal) {
    if (!s.Settings.AdjustCameraConstant || !s.BundleUnknownsF || !s.BundleDeviationsF ||
        s.BundleFailureF != AdjustmentFailure::None)
        return {};
    std::vector<std::string> images;
    for (int j = 1; j <= s.BundleDeviationsF->r; ++j) {
        if (!(RelativeDeviation(s, j) > kPoorCameraConstant)) continue;
        long double f = 0.0L;
        CameraConstantOf(s, j, f);
        images.push_back(std::to_string(j) + " (f = " + FormatPattern("0.000", f, decimal) + " ± " +
                         FormatPattern("0.000", s.BundleDeviationsF->GetPrvek(j, 7), decimal) + ")");
    }
    if (images.empty()) return {};
    return {std::string(detail::kWarn) + "Konstanta komory je špatně určena " +
            (images.size() == 1 ? "na snímku " : "na snímcích ") + detail::ListText(images) +
            ": f a vzdálenost ve směru záběru zde nelze od sebe odlišit"};
}

}  // namespace pelvanor
