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
// this factor.  Measured (ratio of the largest image to the median):
//   right pairings - the calibration sheet (21 images, raw and exact, both
//   methods) at most 2.4 in the adjustments and 3.5 in the approximate
//   orientation; the aerial blocks (5 images) at most 2.5 and 2.3; the two
//   examples at most 1.6 and 2.0; generated projects with 4 to 12 images
//   and a gross error at most 3.1;
//   the calibration sheet's control of images 1 to 3 with the measurements
//   of images 1, 2 and 5 (plane method, camera constant off): 133 and 390.
// Ten is clear of every sound block by a factor of three and an order of
// magnitude below the mispairing.  The residuals of a good image scatter
// around the median by less than a factor of two or three (they estimate one
// measuring precision); a factor of ten is a misfit of at least three times
// the largest residuals a sound image shows.
inline constexpr long double kImageFitFactor = 10.0L;

// The root mean square residual (per coordinate, computed minus measured)
// of every image in the adjustment without (`withF` false) or with the
// camera constant of its own, in image order; a negative value for an image
// without measurements in it.  Empty when that adjustment has no residuals.
std::vector<long double> AdjustmentImageRms(const ProjectState& state, bool withF);

// Each image's figure divided by the median of the images' figures (images
// without a figure left out of the median and given 0); empty with fewer
// than three images or a median of zero.
std::vector<long double> FitFactors(const std::vector<long double>& figures);

// "Upozornění - Snímek 3 nezapadá do bloku (...)" for the images whose
// a-posteriori unit standard deviation of the approximate orientation
// exceeds kImageFitFactor times the images' median; none when there is
// none.
std::vector<std::string> OrientationFitWarnings(const ProjectState& state);

// The same for the residuals of the kept adjustments, one line for each of
// the two (without and with the camera constant) that names images.
std::vector<std::string> AdjustmentFitWarnings(const ProjectState& state);

}  // namespace pelvanor
