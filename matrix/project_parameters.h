#pragma once
// The interior orientation record and the adjustment settings: plain values
// that the file readers and writers, the computations and the whole-project
// state share, kept at the bottom so that none of them needs the state.

#include <cstdint>

namespace pelvanor {

// Interior orientation and lens distortion, in the units of the image
// coordinates (the program converts nothing).
struct CameraParameters {
    long double x0 = 0.0L;
    long double y0 = 0.0L;
    long double f = 0.0L;
    long double k1 = 0.0L;
    long double k2 = 0.0L;
    long double k3 = 0.0L;
    long double p1 = 0.0L;
    long double p2 = 0.0L;
};

// How each pass of the bundle adjustment solves its normal equations.
enum class NormalSolve {
    Svd,     // pseudo-inverse of the bordered normal matrix
    Sparse,  // point elimination, the pseudo-inverse where it is not safe
    Auto,    // Svd while the bordered matrix is small, Sparse above
};

struct AdjustmentSettings {
    std::int32_t PointPercent = 50;
    std::int32_t FixedPointCount = 4;
    std::int32_t RobustWeightPercent = 50;
    std::int32_t SignificancePercent = 5;
    std::int32_t MaxIterations = 20;
    long double Tolerance = 0.1L;
    bool RobustEstimation = true;
    bool AdjustCameraConstant = true;
    NormalSolve NormalEquations = NormalSolve::Auto;
    // Which camera parameters "Kalibrace kamery" estimates, one switch per
    // group; a parameter left out keeps the value of its camera field.
    bool CalibrateF = true;
    bool CalibratePrincipalPoint = true;  // x0 and y0
    bool CalibrateK1 = true;
    bool CalibrateK2 = true;
    bool CalibrateK3 = true;
    bool CalibrateDecentring = true;      // p1 and p2
    // A priori standard deviation of an image coordinate, in the units of the
    // image coordinates.  It scales the weights of surveyed control, so that
    // the unit standard deviation stays in image units.
    long double ImageSigma = 1.0L;
    // Standard deviations of the surveyed control coordinates in metres,
    // in X and Y together and in Z.  0: the coordinate carries no weight,
    // and a control point with no weight at all is either fixed (one of the
    // first FixedPointCount) or adjusted as a free unknown.
    long double ControlSigmaXY = 0.0L;
    long double ControlSigmaZ = 0.0L;
};

}  // namespace pelvanor
