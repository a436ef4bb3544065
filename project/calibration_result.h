#pragma once
// What "Kalibrace kamery" keeps in the project state: the adjustment's own
// summary and the figures its protocol, its warnings and the picture of the
// distortion read, all computed once when the calibration succeeds.

#include <cstdint>
#include <vector>

#include "adjustment/camera_calibration.h"
#include "matrix/project_parameters.h"

namespace pelvanor {

// Residual root mean squares of a group of measurements, image units.
struct CalibrationResidualStatistics {
    std::int32_t image = 0;         // 1-based; 0 for all images together
    std::int32_t measurements = 0;  // measured points (two coordinates each)
    long double rmsX = 0.0L;
    long double rmsY = 0.0L;
    long double rms = 0.0L;         // per coordinate: sqrt(sum(vx^2 + vy^2) / (2 measurements))
};

// One large residual, for the list of the largest.
struct CalibrationResidual {
    long double point = 0.0L;  // point number
    std::int32_t image = 0;    // 1-based
    long double vx = 0.0L;     // computed minus measured, corrected frame (y up)
    long double vy = 0.0L;
    long double length = 0.0L; // sqrt(vx^2 + vy^2)
};

// The largest length of the distortion correction (dx, dy) of a camera over
// the measured area, and where it occurs (raw image coordinates).
struct DistortionMaximum {
    long double length = 0.0L;
    long double x = 0.0L;
    long double y = 0.0L;
};

struct CameraCalibrationResult {
    CameraParameters before;     // the camera fields the calibration started from
    CalibrationSummary summary;  // the calibrated camera (summary.camera), sd, correlations, m0, passes, residuals
    std::int32_t images = 0;
    std::int32_t points = 0;     // points of the point list
    std::int32_t fixedPoints = 0;  // b, control points holding the datum
    // |value| / sd of every free parameter, and whether it exceeds the
    // two-sided quantile of Student's t with the redundancy's degrees of
    // freedom at SignificancePercent (criticalRatio; t^2 = F(1, redundancy)).
    CameraParameterArray ratio{};
    CameraParameterFlags significant{};
    std::int32_t significancePercent = 5;
    long double criticalRatio = 0.0L;
    // Residual RMS per image (every image, in order) and over all.
    std::vector<CalibrationResidualStatistics> perImage;
    CalibrationResidualStatistics overall;
    // The ten largest residuals, largest first.
    std::vector<CalibrationResidual> largest;
    // The measured area: the bounding box of every raw measured coordinate
    // of the calibration, image units (y down as measured).
    long double areaXmin = 0.0L;
    long double areaXmax = 0.0L;
    long double areaYmin = 0.0L;
    long double areaYmax = 0.0L;
    DistortionMaximum distortionBefore;
    DistortionMaximum distortionAfter;
};

}  // namespace pelvanor
