#pragma once
// The protocol "Kalibrace kamery": the panel's lines and, saved, the file's
// (the same lines, CP1250 and CR LF).
//
// Layout (numbers in the locale's notation; columns padded with spaces to
// fixed widths, so that they line up in the fixed-pitch panel):
//   title "Kalibrace kamery - program Pelvanor", its row of "*", blank;
//   counts (images, points, measurements, fixed points), blank;
//   "Parametry kamery": one row per parameter f, x0, y0, k1, k2, k3, p1,
//     p2 with the value before (general format) and after (an estimated
//     one to two digits beyond the first digit of its standard deviation,
//     a fixed one in full), the standard deviation (three significant
//     digits), |value| / sd ("0.0"), whether
//     it was estimated and whether it is significant; then the criterion;
//   "Korelace parametrů kamery": the lower triangle of the correlations of
//     the estimated parameters ("0.000", signed), |r| > 0,9 marked "*";
//   "Výsledek vyrovnání": m0, redundancy, passes (and the pass limit line);
//   the residual RMS per image and over all ("0.000000", image units);
//   the ten largest residuals with point and image;
//   the largest distortion correction over the measured area, before and
//   after the calibration.

#include <string>
#include <vector>

#include "project/calibration_result.h"

namespace pelvanor {

std::vector<std::string> CalibrationReportLines(const CameraCalibrationResult& result, char decimal);

}  // namespace pelvanor
