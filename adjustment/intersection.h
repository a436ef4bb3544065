#pragma once
// Spatial intersection: the object coordinates of every point measured on two
// or more images, with the orientations of the bundle adjustment held fixed,
// by Gauss-Newton passes on the collinearity equations of each point alone.

#include <cstdint>

#include "matrix/matice.h"

namespace pelvanor {

// Orientation table (r11 .. r33, X0, Y0, Z0 per image) from the unknowns of
// BundleAdjust (six per image from imageIndex(i, 1) on), then the ray
// intersection of every point of the index table (ApproximateObjectPoints)
// with x0, y0, f into `start`.
bool ApproximatePointsFromBundle(const Matice* index, const Matice* counts,
                                 const Matice* imageTable, const Matice* unknowns,
                                 const Matice* imageIndex, long double x0, long double y0,
                                 long double f, MatPtr& start);

// Point o (row o of the index, counts and start tables) is refined from the
// start coordinates in start(o, 2..4), which are updated in place, until m0
// changes by at most `tolerance` percent between passes, or after
// maxIterations + 1 passes (the last pass's values are kept).  result: rows of
// the index table x 8: number, X, Y, Z, m0, Mx, My, Mz of the last pass.  An
// index table without points (the 1 x 1 zero table) is a failure: there is
// nothing to compute.  False on a missing or misshaped input or any fault,
// including an exact fit (m0 = 0 makes the relative change 0/0); the rows
// already computed stay in the result.
bool IntersectPoints(const Matice* imageTable, const Matice* index, const Matice* counts,
                     Matice* start, const Matice* unknowns, const Matice* imageIndex,
                     long double tolerance, long double x0, long double y0, long double f,
                     std::int32_t maxIterations, MatPtr& result);

// The same with the unknowns of BundleAdjustWithF: every image uses its own
// camera constant, the seventh of its unknowns.
bool IntersectPointsWithF(const Matice* imageTable, const Matice* index, const Matice* counts,
                          Matice* start, const Matice* unknowns, const Matice* imageIndex,
                          long double tolerance, long double x0, long double y0,
                          std::int32_t maxIterations, MatPtr& result);

}  // namespace pelvanor
