#pragma once
// Whether the adjustment with a camera constant per image determined those
// camera constants.
//
// An image looking straight down at flat control gives the same image
// coordinates for f and Z0 - Z scaled together: the data cannot tell the
// camera constant from the distance along the viewing direction, and the
// adjustment with f lands wherever the rounding of its passes takes it
// (negative camera constants, several times the camera's, different on
// every processor).  Its standard deviations say so: sigma_f from the
// adjustment's own cofactor matrix is several hundred per cent of f there,
// a few per cent on an aerial block with tie points, some tenths of a per
// cent on the straight-down images of a calibration sheet, and below a
// tenth of a per cent on convergent images.  The correlation of f with Z0
// alone does not separate them (0.9987 on a good convergent block, 0.999996
// on a straight-down image of the sheet).
//
// So the adjustment with the camera constant is
//   - released like a failed adjustment when a camera constant is not a
//     camera constant at all (not within half of the camera's value: zero,
//     negative, or moved by more than half), or when the passes ended on
//     their limit while a camera constant is undetermined (sigma_f above
//     kUndeterminedCameraConstant of f);
//   - kept otherwise, and the images whose camera constant is poorly
//     determined (sigma_f above kPoorCameraConstant of f) are named in one
//     warning with f +- sigma_f.

#include <string>
#include <vector>

#include "matrix/matice.h"
#include "project/project_state.h"

namespace pelvanor {

// A camera constant farther than this fraction of the camera's value from
// it is not that camera's.
inline constexpr long double kCameraConstantLargestMove = 0.5L;

// sigma_f / f above which a camera constant counts as undetermined when the
// adjustment stops on its pass limit.  Measured with the default settings:
// the aerial block with tie points 0.049 to 0.053 (converged in two
// passes); everything else that keeps possible camera constants at most
// 0.015.  The aerial block without tie points ends on its pass limit with
// camera constants from -27970 to +263828 mm (the camera's 123.9) in every
// variant and method, released already as impossible (its sigma_f / f at
// those wrong solutions: 0.005 to 10).  0.1 lies a factor two above the
// block with tie points.
inline constexpr long double kUndeterminedCameraConstant = 0.1L;

// sigma_f / f above which a kept camera constant is named as poorly
// determined.  Measured with the default settings: calibration sheet
// (exact, exact_noctrl, raw; "4 body v rovině"), convergent images 1 to 16
// 0.00042 to 0.00066, the images 17 to 21 looking straight down 0.0036 to
// 0.0149; the aerial block with tie points 0.049 to 0.053; generated
// projects (tools/synth, 0.3 to 0.5 um noise on a 36 x 24 mm frame)
// convergent 0.00013 to 0.00035, with control in a plane 0.0007 to 0.0016,
// a weak one of four images and 16 points with 2 um noise 0.0026.  0.003
// lies a factor 1.9 above the generated flat blocks, 4.5 above the
// convergent images and 1.2 below the straight-down images of the sheet.
// Gross errors the robust weights do not catch inflate m0 and with it every
// sigma (a generated block with three 0.18 mm errors: 0.006 to 0.008): its
// camera constants are then named too, rightly poorly determined.
inline constexpr long double kPoorCameraConstant = 0.003L;

// After the adjustment with the camera constant succeeded: computes the
// standard deviations of its image unknowns into state.BundleDeviationsF
// (m0 of the adjustment, cofactors of its normal equations weighted with
// `weights`, null for unit weights) and says whether its results may be
// kept.  False when they must be released (the reason is
// AdjustmentFailure::CameraConstantUndetermined).  Standard deviations that
// cannot be computed release nothing but an impossible camera constant.
bool CameraConstantsDetermined(ProjectState& state, const Matice* weights);

// The warning naming the images of the kept adjustment with the camera
// constant whose camera constant is poorly determined, with f +- sigma_f
// in the image units ("" when there is none).  `decimal` formats the
// numbers.
std::vector<std::string> CameraConstantWarnings(const ProjectState& state, char decimal);

}  // namespace pelvanor
