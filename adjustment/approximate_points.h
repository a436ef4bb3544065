#pragma once
// Start values of object coordinates from oriented images: every measurement
// of a point defines a projection ray, and the point is placed where its rays
// come closest together in the least-squares sense.

#include "matrix/matice.h"

namespace pelvanor {

// The ray of one measurement.  measurement: 1 x 3 (number, x, y);
// orientation: 1 x 12 (r11 .. r33, X0, Y0, Z0).  direction (3 x 1) receives
// d(i) = ri1 (x - x0) + ri2 (y + y0) - ri3 f, centre (3 x 1) receives
// (X0, Y0, Z0).  The principal point enters as x - x0 but y + y0: this
// inverts xc = x0 - f U/W, yc = -y0 - f V/W, so that d = (-f/W) (P - C).
bool RayOfObservation(const Matice* measurement, const Matice* orientation, MatPtr& direction,
                      long double x0, long double y0, long double f, MatPtr& centre);

// Least-squares intersection of the rays of every point of an index table
// (point number, then (row in imageTable, image) pairs) whose counts-table
// entry exceeds 1.  Each ray t contributes -P + lambda_t d_t = -C_t; the
// 3k x (k + 3) system is solved by SolveNormal.
//
// result: rows of the index table x 8: number, X, Y, Z, m0, Mx, My, Mz, filled
// from row 1 on, one row per processed point; rows of skipped points stay
// zero at the end.  An index table without any processed point (such as the
// 1 x 1 zero table) is no error: the result is all zero and the call
// succeeds.  False on a missing or misshaped input, an entry that points
// outside a table, or a floating-point fault; the result created so far
// stays with the caller.
bool ApproximateObjectPoints(const Matice* index, const Matice* counts, const Matice* imageTable,
                             const Matice* orientations, long double x0, long double y0,
                             long double f, MatPtr& result);

}  // namespace pelvanor
