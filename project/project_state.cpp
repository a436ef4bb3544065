#include "project/project_state.h"

namespace pelvanor {

void ProjectState::ReleaseAll() {
    MatPtr* order[] = {
        &ImagePointRanges, &ImagePointCounts, &ImagePoints, &ControlPointRanges,
        &ControlPointCounts, &ControlPoints, &ImagePointsCorrected, &ControlPointsCorrected,
        &ImagePointIds, &ControlPointIds, &OrientationMinimal, &OrientationRefined,
        &OrientationSigma0, &TiePointImageCounts, &TiePointOccurrences,
        &ControlPointImageCounts, &ControlPointOccurrences, &BundlePointImageCounts,
        &BundlePointOccurrences, &ApproxObjectPoints, &BundleUnknowns,
        &BundleObservationTable, &BundleImageIndex, &BundlePointIndex, &BundleUnknownsF,
        &ObjectPoints, &FTestPassed, &FTestResults, &SelectedOrientationPoints,
        // Not released by the window in the original order; released here too
        // so that nothing outlives the window.
        &RobustPointOccurrences, &RobustPointImageCounts, &RobustOutliers, &BundleWeights,
        &BundleWeightsF, &BundleImageIndexF, &BundleResiduals, &BundleResidualsF, &BundleDeviationsF,
    };
    for (MatPtr* m : order) m->reset();
    Calibration.reset();
}

void ProjectState::ReleaseResults() {
    MatPtr* results[] = {
        &ImagePointsCorrected, &ControlPointsCorrected, &ImagePointIds, &ControlPointIds,
        &OrientationMinimal, &OrientationRefined, &OrientationSigma0, &TiePointImageCounts,
        &TiePointOccurrences, &ControlPointImageCounts, &ControlPointOccurrences,
        &BundlePointImageCounts, &BundlePointOccurrences, &ApproxObjectPoints, &BundleUnknowns,
        &BundleObservationTable, &BundleImageIndex, &BundlePointIndex, &BundleUnknownsF,
        &ObjectPoints, &FTestPassed, &FTestResults, &RobustPointOccurrences, &RobustPointImageCounts,
        &RobustOutliers, &BundleWeights, &BundleWeightsF, &BundleImageIndexF, &BundleResiduals,
        &BundleResidualsF, &BundleDeviationsF,
    };
    for (MatPtr* m : results) m->reset();
    Calibration.reset();
    BundleWeighting = ControlWeighting{};
    OrientationLogged = false;
    CancelLogged = false;
    FailureCauseLogged = false;
    RefinementIterations = 0.0L;
    BundleRedundancy = BundleRedundancyF = 0;
    BundleIterations = BundleIterationsF = 0;
    BundleSigma0 = BundleSigma0F = 0.0L;
    BundleByElimination = false;
    BundleFailure = BundleFailureF = AdjustmentFailure::None;
    BundlePassLimitReached = BundlePassLimitReachedF = false;
}

}  // namespace pelvanor
