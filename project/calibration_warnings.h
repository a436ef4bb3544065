#pragma once
// The warnings after a successful "Kalibrace kamery" ("Upozornění - ..."):
// what the adjustment cannot tell by itself is wrong with a calibration.
//
//   - a free parameter that is not significant (|value| / sd below the
//     t quantile at "Hladina významnosti"): it is estimated from noise;
//   - two camera parameters correlated above kStrongCameraCorrelation in
//     absolute value: the data cannot tell them apart (typically k2 and
//     k3); the line names both and suggests fixing the later one;
//   - a principal point moved by more than kPrincipalPointShiftShare of the
//     diagonal of the measured area, or a distortion correction changed
//     somewhere in the measured area by more than kDistortionChangeShare of
//     that diagonal, both said in image units: a lens does not do that; the
//     usual cause is an over-parametrised model trading the principal point
//     against the exterior orientation, or wrong start values;
//   - with f free: fewer than kMinCalibrationImages images, or neither depth
//     in the object (relative depth range of every image below
//     kMinDepthShare) nor convergent views (largest angle between two
//     viewing directions below kMinViewAngleDegrees): f then trades against
//     the distance to the object;
//   - the passes ended on the pass limit with m0 still changing.

#include <string>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

inline constexpr long double kStrongCameraCorrelation = 0.95L;
inline constexpr long double kPrincipalPointShiftShare = 0.05L;
inline constexpr long double kDistortionChangeShare = 0.10L;
inline constexpr int kMinCalibrationImages = 3;
inline constexpr long double kMinDepthShare = 0.05L;
inline constexpr long double kMinViewAngleDegrees = 10.0L;

// The warning lines on state.Calibration (none without a result).
std::vector<std::string> CalibrationWarnings(const ProjectState& state, char decimal);

}  // namespace pelvanor
