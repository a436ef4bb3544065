#pragma once
// The loop the two four-point resections share: image i takes rows
// 4i-3 .. 4i of the selected control points and gets row i of a 16-column
// orientation table.

#include <functional>

#include "matrix/matice.h"

namespace pelvanor::detail {

// Creates `orientations` (one row of 16 per image of `rowCounts`) and fills
// row i with what `resect` computes from image i's four points (a 4 x 6
// copy it may change).  False as soon as one image fails; the rows before
// it stay.  Faults pass to the caller's guard.
bool ResectEveryImage(const Matice& selected, const Matice& rowCounts, MatPtr& orientations,
                      const std::function<bool(Matice& points, MatPtr& row)>& resect);

}  // namespace pelvanor::detail
