#pragma once
// Everything the program keeps between two commands.  Plain data, no Qt:
// the computing pipelines work on it and are tested without a window.

#include <cstdint>
#include <string>

#include "matrix/matice.h"
#include "matrix/project_parameters.h"

namespace pelvanor {

struct ProjectState {
    CameraParameters Camera;
    AdjustmentSettings Settings;

    bool CameraLoaded = false;
    bool ControlPointsLoaded = false;
    bool ImagePointsLoaded = false;
    bool OrientationLogged = false;

    long double RefinementIterations = 0.0L;
    std::int32_t BundleRedundancy = 0;
    std::int32_t BundleRedundancyF = 0;
    std::int32_t BundleIterations = 0;
    std::int32_t BundleIterationsF = 0;
    long double BundleSigma0 = 0.0L;
    long double BundleSigma0F = 0.0L;
    // Whether the last run of each bundle adjustment ended on its pass limit
    // with the change test unmet; read by the warnings after a command.
    bool BundlePassLimitReached = false;
    bool BundlePassLimitReachedF = false;

    // Input data.
    MatPtr ImagePoints;
    MatPtr ImagePointCounts;
    MatPtr ImagePointRanges;
    MatPtr ControlPoints;
    MatPtr ControlPointCounts;
    MatPtr ControlPointRanges;
    MatPtr SelectedOrientationPoints;

    // Corrected data.
    MatPtr ImagePointsCorrected;
    MatPtr ControlPointsCorrected;

    // Approximate orientation.
    MatPtr ImagePointIds;
    MatPtr ControlPointIds;
    MatPtr TiePointImageCounts;
    MatPtr TiePointOccurrences;
    MatPtr ControlPointImageCounts;
    MatPtr ControlPointOccurrences;
    MatPtr OrientationMinimal;
    MatPtr OrientationRefined;
    MatPtr OrientationSigma0;

    // Bundle adjustment and object coordinates.
    MatPtr ApproxObjectPoints;
    MatPtr BundlePointOccurrences;
    MatPtr BundlePointImageCounts;
    MatPtr RobustPointOccurrences;
    MatPtr RobustPointImageCounts;
    MatPtr RobustOutliers;
    MatPtr BundleWeights;
    MatPtr BundleWeightsF;
    MatPtr BundleUnknowns;
    MatPtr BundleUnknownsF;
    MatPtr BundleImageIndex;
    MatPtr BundleImageIndexF;
    MatPtr BundleObservationTable;
    MatPtr BundlePointIndex;
    MatPtr ObjectPoints;
    MatPtr FTestResults;
    MatPtr FTestPassed;

    // Releases every matrix in the order the program uses when the main
    // window closes, then the ones that would otherwise end with the process.
    void ReleaseAll();
};

}  // namespace pelvanor
