#pragma once
// The warning for an image that does not fit the block.
//
// An image whose files belong to another image (a control file paired with
// the wrong image coordinate file) or whose measurements are wrong still
// takes part in an adjustment that converges: with the camera constant off
// nothing else may look amiss, every point may pass the F-test, and the
// points are metres off.  Its residuals give it away: they are of the size
// of the misfit, hundreds of times those of the other images.  So after
// the approximate orientation and after each adjustment every image's root
// mean square residual is compared with the median of all images.

#include <string>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

// An image is named when its figure exceeds the median of the images by
// this factor.  Measured (largest image / median; default settings and the
// variants of the method and of the two switches):
//   right pairings - the calibration sheet (21 images; raw, exact, without
//   the repeated control marks): ray agreement at most 1.67, orientation
//   sigma0 2.72, adjustment residuals 1.84; the aerial blocks (5 images, also
//   in their large original coordinates and with 365 automatic tie points):
//   1.41, 2.55 and 5.81 (the large coordinates, robust estimation off); the
//   two examples: 1.38, 1.44 and 2.34; twelve generated projects of 4 to 12
//   images, four of them with two gross errors: 2.30, 1.57 and 8.68 (12
//   images, one gross error of half a percent of the frame on one image);
//   the calibration sheet's control of images 1 to 3 with the measurements
//   of images 1, 2 and 5 (plane method, camera constant off): ray agreement
//   3424 for image 3 (1.0 for the others), while the residuals of the
//   adjustment, which the wrong image spreads over all three, give only
//   1.71; the sheet with the space method on its plane control, where three
//   images get no usable orientation: ray agreement up to 5239, orientation
//   sigma0 14065.
// Twenty stands more than twice above every sound block, gross errors
// included, and two orders of magnitude below a mix-up of files.
inline constexpr long double kImageFitFactor = 20.0L;

// The root mean square residual (per coordinate, computed minus measured)
// of every image in the adjustment without (`withF` false) or with the
// camera constant of its own, in image order; a negative value for an image
// without measurements in it.  Empty when that adjustment has no residuals.
std::vector<long double> AdjustmentImageRms(const ProjectState& state, bool withF);

// How well the tie points of every image agree with the other images under
// the approximate orientation, in image units and image order (negative for
// an image that shares no tie point with another).  Each image is oriented
// on its own control, so a pair of images whose measurements belong to
// them intersects its rays up to the measuring error, and a pair with an
// image whose measurements belong to another image misses by the size of
// the mix-up.  For every pair of images the median over their common tie
// points of the rays' disagreement (the rays intersected and the point
// projected back: root mean square of the four residuals); an image's
// figure is that of the partner it agrees with best.  Unlike the residuals
// of an adjustment, which a wrong image spreads over a small block, this
// names the wrong image even among three.
std::vector<long double> TieRayAgreement(const ProjectState& state);

// Each image's figure divided by the median of the images' figures (images
// without a figure left out of the median and given 0); empty with fewer
// than three images or a median of zero.
std::vector<long double> FitFactors(const std::vector<long double>& figures);

// "Upozornění - Snímek 3 nezapadá do bloku (přibližná orientace): ..." for
// the images whose a-posteriori unit standard deviation of the approximate
// orientation, and (a second line) whose TieRayAgreement, exceeds
// kImageFitFactor times the images' median; none when there is none.
std::vector<std::string> OrientationFitWarnings(const ProjectState& state);

// The same for the residuals of the kept adjustments, one line for each of
// the two (without and with the camera constant) that names images.
std::vector<std::string> AdjustmentFitWarnings(const ProjectState& state);

}  // namespace pelvanor
