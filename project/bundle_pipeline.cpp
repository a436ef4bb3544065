#include "project/bundle_pipeline.h"

#include "project/pipeline_end.h"
#include "adjustment/approximate_points.h"
#include "adjustment/bundle_adjustment.h"
#include "adjustment/point_selection.h"
#include "project/orientation_pipeline.h"
#include "project/warnings.h"

namespace pelvanor {

namespace {

// The result items the bundle adjustment feeds.
constexpr UiItem kBundleResultItems[] = {
    UiItem::Svazkovvyrovnn2, UiItem::Piblineenvnjorientace1, UiItem::Opravensnmkovsouadnice1,
    UiItem::Snmkovsouadnice2, UiItem::Orientace2,
};

void ReleaseBundleResults(ProjectState& s) {
    MatPtr* order[] = {
        &s.BundlePointOccurrences, &s.BundlePointImageCounts, &s.ApproxObjectPoints,
        &s.BundleUnknowns,         &s.BundleObservationTable, &s.BundleImageIndex,
        &s.BundlePointIndex,       &s.BundleWeights,          &s.BundleUnknownsF,
        &s.BundleImageIndexF,      &s.RobustPointOccurrences, &s.RobustPointImageCounts,
        &s.RobustOutliers,
    };
    // BundleWeightsF and the scalars stay as they are.
    for (MatPtr* m : order) m->reset();
}

// The results of the blocks this run left out (robust estimation or the
// camera constant switched off) would otherwise stay from an earlier run and
// be printed beside the new ones when the setting is switched on again
// before the next adjustment; without them the protocols leave the block
// out.
void ReleaseResultsNotComputed(ProjectState& s) {
    if (!s.Settings.AdjustCameraConstant) {
        s.BundleUnknownsF.reset();
        s.BundleImageIndexF.reset();
    }
    if (!s.Settings.RobustEstimation) {
        s.RobustOutliers.reset();
        s.RobustPointOccurrences.reset();
        s.RobustPointImageCounts.reset();
    }
}

// Adjustment without a camera constant on the given tie points; the eight
// results replace those of an earlier run.
bool AdjustWithoutF(ProjectState& s, bool robust, const Matice* tieIndex, const Matice* tieCounts,
                    const BundleControl& control) {
    const CameraParameters& c = s.Camera;
    return BundleAdjust(robust, s.ControlPointsCorrected.get(), s.ImagePointsCorrected.get(), tieIndex,
                        tieCounts, s.ControlPointOccurrences.get(), s.ControlPointImageCounts.get(),
                        s.ControlPointCounts.get(), s.ApproxObjectPoints.get(),
                        s.OrientationRefined.get(), c.x0, c.y0, c.f, s.Settings.FixedPointCount,
                        control, s.BundleUnknowns, s.BundleIterations, s.BundleSigma0,
                        s.BundleObservationTable, s.BundleImageIndex, s.BundlePointIndex,
                        s.BundleWeights, s.BundleRedundancy);
}

// Adjustment with a camera constant per image, started from the current
// result without it; its weights go to `weights`.
bool AdjustWithF(ProjectState& s, bool robust, const Matice* tieCounts, MatPtr& weights,
                 const BundleControl& control) {
    const CameraParameters& c = s.Camera;
    return BundleAdjustWithF(robust, s.ControlPointsCorrected.get(), s.ImagePointsCorrected.get(),
                             s.BundleUnknowns.get(), s.ControlPointCounts.get(),
                             s.BundleObservationTable.get(), s.BundleImageIndex.get(),
                             s.BundlePointIndex.get(), tieCounts, c.x0, c.y0, c.f,
                             s.Settings.Tolerance, s.Settings.FixedPointCount,
                             s.BundleWeights.get(), control, s.BundleUnknownsF, s.BundleIterationsF,
                             s.BundleSigma0F, s.BundleImageIndexF, weights, s.BundleRedundancyF);
}

}  // namespace

bool BundlePipeline(ProjectState& s, CommandHost& host) {
    const bool fieldsOk = host.ReadCameraFields();
    // The orientation runs also with unreadable fields; it logs its own lines.
    const bool orientationOk = ApproximateOrientation(s, host);

    bool result = false;
    if (!fieldsOk) {
        host.WriteLog("Chyba - Špatné hodnoty parametrů kamery");
    } else if (!orientationOk) {
        host.WriteLog("Chyba - Přibližná orientace - výpočet nelze provést");
    } else {
        const AdjustmentSettings& set = s.Settings;
        const CameraParameters& c = s.Camera;
        BundleControl control;
        control.MaxIterations = set.MaxIterations;
        control.Tolerance = set.Tolerance;
        control.Message = [&host](const std::string& text) { host.ShowMessage(text); };
        control.KeepResponsive = [&host]() { host.KeepResponsive(); };
        s.BundlePassLimitReached = s.BundlePassLimitReachedF = false;
        control.PassesEnded = [&s](bool withF, bool limit) {
            (withF ? s.BundlePassLimitReachedF : s.BundlePassLimitReached) = limit;
        };

        const bool sel = SelectBundlePoints(s.TiePointOccurrences.get(), s.TiePointImageCounts.get(),
                                            set.PointPercent, s.BundlePointOccurrences,
                                            s.BundlePointImageCounts);
        const bool app = ApproximateObjectPoints(s.BundlePointOccurrences.get(),
                                                 s.BundlePointImageCounts.get(),
                                                 s.ImagePointsCorrected.get(), s.OrientationRefined.get(),
                                                 c.x0, c.y0, c.f, s.ApproxObjectPoints);
        const bool adj = AdjustWithoutF(s, set.RobustEstimation, s.BundlePointOccurrences.get(),
                                        s.BundlePointImageCounts.get(), control);
        if (sel && app && adj) result = true;

        // With robust estimation this run takes the weights of the first one.
        if (set.AdjustCameraConstant &&
            AdjustWithF(s, set.RobustEstimation, s.BundlePointImageCounts.get(), s.BundleWeightsF, control))
            result = true;

        if (set.RobustEstimation) {
            const bool out = SelectOutliers(
                s.BundleObservationTable.get(), s.BundlePointOccurrences.get(), s.ControlPointCounts.get(),
                static_cast<long double>(set.RobustWeightPercent), s.BundlePointImageCounts.get(),
                s.ControlPointImageCounts.get(), s.BundleWeights.get(), set.FixedPointCount,
                s.RobustPointOccurrences, s.RobustPointImageCounts, s.RobustOutliers);
            // Without the outliers the remaining observations get unit weights;
            // every remaining tie point keeps its start coordinates.
            const bool adj2 = AdjustWithoutF(s, false, s.RobustPointOccurrences.get(),
                                             s.RobustPointImageCounts.get(), control);
            if (out && adj2) result = true;
            if (set.AdjustCameraConstant &&
                AdjustWithF(s, false, s.RobustPointImageCounts.get(), s.BundleWeights, control))
                result = true;
        }
    }

    detail::EndPipeline(host, result, "Svazkové vyrovnání - výpočet proveden",
                        "Svazkové vyrovnání - výpočet nelze provést", kBundleResultItems,
                        [&s] { ReleaseResultsNotComputed(s); }, [&s] { ReleaseBundleResults(s); });
    return result;
}

bool BundleCommand(ProjectState& state, CommandHost& host) {
    state.OrientationLogged = false;
    const bool ok = BundlePipeline(state, host);
    ReportAfterComputation(state, host, ComputingCommand::Bundle, ok);
    return ok;
}

}  // namespace pelvanor
