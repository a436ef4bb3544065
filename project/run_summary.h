#pragma once
// The figures of a computed project that a script wants without reading
// the protocols: counts, the values of the bundle adjustment, the outliers
// and the points that fail the F-test.  Read from the state as the
// protocols read it, so the two always tell the same.

#include <cstdint>
#include <string>
#include <vector>

#include "project/project_state.h"
#include "protocol/check_point_report.h"

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
        // Shifts (adjusted minus surveyed) of the weighted control points;
        // count 0 when the adjustment weighted none.
        CheckPointStatistics controlShifts;
    };
    // The weighting of the control in force: the settings and the control
    // accuracy file (its name, empty for none, and its lines).
    struct ControlWeightingUsed {
        long double imageSigma = 1.0L;
        long double sigmaXY = 0.0L;
        long double sigmaZ = 0.0L;
        std::string accuracyFile;
        int accuracyLines = 0;
        std::vector<long double> checkPoints;  // the points the file makes check points
    };
    ControlWeightingUsed controlWeighting;
    bool hasBundle = false;
    int bundlePoints = 0;  // tie points selected to enter it
    // False when the adjustment without the camera constant failed in a
    // bundle adjustment kept for the other kind (its results are released).
    bool hasWithoutCameraConstant = false;
    Adjustment withoutCameraConstant;
    bool hasCameraConstant = false;
    Adjustment withCameraConstant;
    std::vector<long double> outliers;  // point numbers removed by the robust estimation
    // Whether a pass took its correction from the point elimination (the
    // protocols then carry the line that says so).
    bool byElimination = false;

    // Check points ("Kontrolní body"), one entry per adjustment the report
    // has a block for, in its order; the statistics are those the report's
    // summary lines print.  A released adjustment has its failure instead
    // and empty statistics.
    struct CheckPoints {
        bool withCameraConstant = false;
        AdjustmentFailure failure = AdjustmentFailure::None;
        CheckPointStatistics adjusted;     // control points adjusted as unknowns
        CheckPointStatistics intersected;  // control points intersected from the image coordinate files
    };
    std::vector<CheckPoints> checkPoints;  // empty without bundle adjustment results

    // Object coordinates (when held).
    struct FailedPoint {
        long double point = 0.0L;
        long double criterion = 0.0L;
        long double quantile = 0.0L;
    };
    // Camera calibration (when held): every parameter in file order, m0,
    // redundancy, passes, the correlations above 0.9 in absolute value and
    // the residual RMS per coordinate over all images (image units).
    struct CalibrationParameter {
        const char* name = "";
        long double value = 0.0L;
        long double sd = 0.0L;  // 0 for a fixed parameter
        bool free = false;
        bool significant = false;
    };
    struct CalibrationCorrelation {
        const char* a = "";
        const char* b = "";
        long double r = 0.0L;
    };
    bool hasCalibration = false;
    std::vector<CalibrationParameter> calibrationParameters;
    long double calibrationM0 = 0.0L;
    std::int32_t calibrationRedundancy = 0;
    std::int32_t calibrationIterations = 0;
    std::vector<CalibrationCorrelation> calibrationCorrelations;
    long double calibrationResidualRms = 0.0L;

    bool hasCoordinates = false;
    int computedPoints = 0;
    int passedPoints = 0;
    std::vector<FailedPoint> failedFTest;  // computed points missing from FTestPassed
};

RunSummary SummarizeRun(const ProjectState& state);

}  // namespace pelvanor
