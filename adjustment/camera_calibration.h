#pragma once
// Self-calibration: one camera shared by every image, its interior
// orientation and distortion estimated together with the exterior
// orientations and the object points.
//
// Observation model.  A measured raw image point (x, y), as the files hold
// it (y axis down), is corrected with the camera's unknown parameters,
//
//     xb = x - x0, yb = y - y0, r^2 = xb^2 + yb^2,
//     dr = k1 r^2 + k2 r^4 + k3 r^6,
//     dx = xb dr + p1 (r^2 + 2 xb^2) + 2 p1 xb yb,
//     dy = yb dr + p2 (r^2 + 2 yb^2) + 2 p2 xb yb,
//     x' = x + dx,  y' = -(y + dy),
//
// and equals the collinearity projection with the unknown camera constant
// and principal point,
//
//     xc = x0 - f U/W,  yc = -y0 - f V/W,  (U, V, W) = R^T (P - C).
//
// The misclosure is computed minus measured, (xc - x', yc - y'); both
// sides depend on x0 and y0, and the corrected side on k1..p2, so the
// design rows of the camera parameters are the derivatives of xc - x' and
// yc - y' (the measured x, y themselves are constants).
//
// Unknowns: X, Y, Z of every point of the point list (3i-2 .. 3i), then
// X0 Y0 Z0 alfa beta gama of every image, then the free camera parameters
// in the order f, x0, y0, k1, k2, k3, p1, p2.  Datum, change test and pass
// limit are those of the bundle adjustment: the first b control points'
// coordinates held by constraints, passes while m0 changes by more than
// the tolerance (in percent; the first pass counts 100), at most
// MaxIterations + 1 passes.  Corrections are applied whole, every
// observation has weight 1.  The camera parameters join the reduced system
// of the point elimination (BundleRows::globalWidth); the pseudo-inverse of
// the bordered matrix stays the fallback and the choice "SVD".  With
// weighted control the surveyed coordinates of the weighted points are
// further observations of their unknowns, weight (sigma_image / sigma)^2,
// as in the bundle adjustment; m0 stays in image units.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "adjustment/bundle_adjustment.h"
#include "matrix/matice.h"
#include "matrix/project_parameters.h"

namespace pelvanor {

// The camera parameters in the order of the camera file.
inline constexpr int kCameraParameterCount = 8;
enum CameraParameterIndex : int { kParamF = 0, kParamX0, kParamY0, kParamK1, kParamK2, kParamK3, kParamP1, kParamP2 };

// "f", "x0", "y0", "k1", "k2", "k3", "p1", "p2".
const char* CameraParameterName(int index);
long double CameraParameterValue(const CameraParameters& camera, int index);
void SetCameraParameterValue(CameraParameters& camera, int index, long double value);

using CameraParameterFlags = std::array<bool, kCameraParameterCount>;
using CameraParameterArray = std::array<long double, kCameraParameterCount>;

struct CalibrationOptions {
    // Which parameters are estimated; a fixed one keeps the start value.
    CameraParameterFlags Free = {true, true, true, true, true, true, true, true};
    std::int32_t MaxIterations = 20;  // at most MaxIterations + 1 passes
    long double Tolerance = 0.1L;     // relative change of m0 in percent
    // How each pass solves its normal equations (Auto as the bundle adjustment).
    NormalSolve Solve = NormalSolve::Auto;
    // Bytes the calibration may use; 0 asks the machine (AvailableMemory).
    long double MemoryLimit = 0.0L;
    // Surveyed control with its accuracy, as the bundle adjustment takes it
    // (control_weighting.h): the datum from the fixed points it leaves and
    // the weighted control points' surveyed coordinates as observations.
    // Null or inactive: the first fixedCount control points are fixed.
    const ControlWeighting* Weighting = nullptr;
    // Receives the user message kTooFewObservationsMessage.
    std::function<void(const std::string&)> Message;
    // Called at the start of every pass with its number and the m0 of the
    // pass before; false stops the calibration, which then fails.  It must
    // leave the floating-point fault flags as it found them.
    std::function<bool(std::int32_t pass, long double m0)> PassStarting;
    // Called after every pass with its number and m0 (same rule).
    std::function<void(std::int32_t pass, long double m0)> PassDone;
};

// One measurement of the calibration, in observation order (design rows
// 2h-1, 2h).
struct CalibrationObservation {
    long double point = 0.0L;  // point number
    std::int32_t listRow = 0;  // 1-based row of the point list (its unknowns 3i-2 .. 3i)
    std::int32_t image = 0;    // 1-based
    bool control = false;      // from the control point table
    long double x = 0.0L;      // raw measured coordinates (y down)
    long double y = 0.0L;
    // Residuals v = A d + l of the last pass, computed minus measured in
    // the corrected frame (y up), image units.
    long double vx = 0.0L;
    long double vy = 0.0L;
};

struct CalibrationSummary {
    // Why the calibration failed; None on success.
    AdjustmentFailure failure = AdjustmentFailure::None;
    // Why the passes stopped, or why it failed (English, for logs and tests).
    std::string message;
    // The passes ended on the pass limit with the change test unmet.
    bool limitReached = false;
    std::int32_t passes = 0;
    std::int32_t eliminatedPasses = 0;  // passes solved by the point elimination
    std::int32_t observations = 0;      // n, observation rows and surveyed coordinates
    std::int32_t unknowns = 0;          // u, with the free camera parameters
    std::int32_t redundancy = 0;        // n - u
    long double m0 = 0.0L;              // sqrt(v^T v / redundancy), image units
    CameraParameters camera;            // the calibrated camera (fixed values kept)
    CameraParameterFlags free{};
    // Standard deviations m0 sqrt(Q_ii) of the free parameters (0 for the
    // fixed ones), from the cofactor matrix of the last pass.
    CameraParameterArray sd{};
    // Correlations Q_ij / sqrt(Q_ii Q_jj) between free parameters (1 on the
    // diagonal of a free one, 0 where either is fixed).
    std::array<CameraParameterArray, kCameraParameterCount> correlation{};
    // Adjusted points and orientations, the layout of BundleUnknowns.
    std::vector<long double> adjusted;
    std::vector<CalibrationObservation> measurements;
};

// The distortion correction (dx, dy) of a camera at a raw point (x, y),
// image units: x' = x + dx, y' = -(y + dy).
void DistortionCorrection(const CameraParameters& camera, long double x, long double y, long double& dx,
                          long double& dy);

// The design rows and misclosure of one measurement: raw coordinates
// (x, y) of a point at (X, Y, Z) on an image with exterior orientation
// `image` = X0 Y0 Z0 alfa beta gama.  Columns: X, Y, Z, X0, Y0, Z0, alfa,
// beta, gama, then the free camera parameters in file order.  False on a
// floating-point fault (a point in the plane W = 0).
bool CalibrationObservationRows(long double X, long double Y, long double Z, long double x, long double y,
                                const std::array<long double, 6>& image, const CameraParameters& camera,
                                const CameraParameterFlags& free, std::vector<long double>& rowX,
                                std::vector<long double>& rowY, long double& lx, long double& ly);

// The calibration.  Inputs as the bundle pipeline leaves them: the raw
// tables ControlPoints (N x 6) and ImagePoints (N x 4), whose rows the point
// list names (the corrected tables have the same rows), the point list
// BundleObservationTable, the adjusted BundleUnknowns with BundleImageIndex
// (one row per image) and BundlePointIndex as start values, and the camera
// of the fields.  `summary` is reset first; on success it holds everything
// above, on failure `failure` and `message`.
bool CalibrateCamera(const Matice* controlPoints, const Matice* imagePoints, const Matice* pointList,
                     const Matice* startUnknowns, const Matice* imageIndex, const Matice* pointIndex,
                     const CameraParameters& start, std::int32_t fixedCount, const CalibrationOptions& options,
                     CalibrationSummary& summary);

}  // namespace pelvanor
