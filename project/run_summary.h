#pragma once
// The figures of a computed project that a script wants without reading
// the protocols: counts, the values of the bundle adjustment, the outliers
// and the points that fail the F-test.  Read from the state as the
// protocols read it, so the two always tell the same.

#include <cstdint>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

struct RunSummary {
    // Inputs.
    int images = 0;            // images of the control point load
    int controlPointRows = 0;  // rows of ControlPoints
    int imagePointRows = 0;    // rows of ImagePoints (0 when none are loaded)

    // Approximate orientation (when held).
    bool hasOrientation = false;
    long double refinementIterations = 0.0L;
    std::vector<long double> orientationSigma0;  // per image

    // Bundle adjustment (when held): the values the protocol prints.
    struct Adjustment {
        long double m0 = 0.0L;
        std::int32_t redundancy = 0;
        std::int32_t iterations = 0;
    };
    bool hasBundle = false;
    int bundlePoints = 0;  // tie points selected to enter it
    // False when the adjustment without the camera constant failed in a
    // bundle adjustment kept for the other kind (its results are released).
    bool hasWithoutCameraConstant = false;
    Adjustment withoutCameraConstant;
    bool hasCameraConstant = false;
    Adjustment withCameraConstant;
    std::vector<long double> outliers;  // point numbers removed by the robust estimation

    // Object coordinates (when held).
    struct FailedPoint {
        long double point = 0.0L;
        long double criterion = 0.0L;
        long double quantile = 0.0L;
    };
    bool hasCoordinates = false;
    int computedPoints = 0;
    int passedPoints = 0;
    std::vector<FailedPoint> failedFTest;  // computed points missing from FTestPassed
};

RunSummary SummarizeRun(const ProjectState& state);

}  // namespace pelvanor
