#pragma once
// Orientation refinement: an iterated least-squares resection of every image
// over all its control points, with the linearised collinearity equations,
// from the four-point orientation.  Images are adjusted independently; they
// share only the stop test, the absolute value of the sum of the signed
// relative changes (in percent) of their unit standard deviations.

#include <cstdint>

#include "matrix/matice.h"

namespace pelvanor {

// control: N x 6 (number, X, Y, Z, x, y) grouped by image; rowCounts n x 1,
// rowRanges n x 2 (first, last row).  start: n x 12 or n x 16 (r11 .. r33,
// X0, Y0, Z0 in columns 1..12).  Iterates while the change exceeds
// `tolerance` and fewer than `maxIterations` iterations ran; every image of
// an iteration is linearised at the previous iteration's orientation.
//
// refined: n x 12, or a copy of start (all its columns) when no iteration
// ran; iterations: the count; sigma0: n x 1, each image's unit standard
// deviation in the last iteration (zeros without iteration).  All outputs
// are the caller's, also after a false result.
bool RefineOrientation(const Matice* control, const Matice* rowCounts, const Matice* rowRanges,
                       const Matice* start, long double x0, long double y0, long double f,
                       long double tolerance, std::int32_t maxIterations, MatPtr& refined,
                       long double& iterations, MatPtr& sigma0);

}  // namespace pelvanor
