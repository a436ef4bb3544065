#pragma once
// First exterior orientation of every image from four control points in the
// plane Z = 0, without start values and without iteration: the linear
// projective mapping between the plane and the image bundle, with the
// interior orientation (x0, y0, f) known.

#include "matrix/matice.h"

namespace pelvanor {

// points: 4 x 6 (number, X, Y, Z, x, y; Z is not read).  orientation: 1 x 16,
// r11 .. r33, X0, Y0, Z0, 1, lambda2, lambda3, lambda4 (the depth of points
// 2..4 relative to point 1).  The scale is taken positive, which holds for
// points in front of the camera (W < 0).
bool PlaneResectionImage(const Matice& points, MatPtr& orientation, long double x0, long double y0,
                         long double f);

// selected: 4 rows per image (rows 4i-3..4i for image i), 6 columns; only the
// row count of rowCounts (the number of images n) is used.  orientations:
// n x 16, created first and owned by the caller also on failure.
bool PlaneResection(const Matice* selected, const Matice* rowCounts, MatPtr& orientations,
                    long double x0, long double y0, long double f);

}  // namespace pelvanor
