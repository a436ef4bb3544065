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
        &BundleWeightsF, &BundleImageIndexF, &BundleResiduals, &BundleResidualsF,
    };
    for (MatPtr* m : order) m->reset();
    Calibration.reset();
}

}  // namespace pelvanor
