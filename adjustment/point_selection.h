#pragma once
// The tie points that enter the bundle adjustment, and the points that the
// robust weights of an adjustment mark as outliers.

#include <cstdint>

#include "matrix/matice.h"

namespace pelvanor {

// Rows k, 2k, 3k, ... of the row-aligned index and counts tables, with
// k = round(100 / percent) (ties to even): 50 % takes every second point.
// False for percent 0.  When no point is taken (k < 1, fewer rows than k,
// or the empty 1 x 1 input table) both outputs are the 1 x 1 zero table and
// the call succeeds: the adjustment then runs on the control points alone.
bool SelectBundlePoints(const Matice* index, const Matice* counts, std::int32_t percent,
                        MatPtr& selectedIndex, MatPtr& selectedCounts);

// Every observation row whose final weight is below weightPercent / 100
// marks the point of the point list whose measurement produced that row (the
// rows of point i follow those of points 1 .. i-1, two per measurement, as
// the adjustment assembles them).  outliers: q x 2 (number, row in the point
// list), in order of the first low-weight row, each number once; the 1 x 1
// zero matrix when there is none.  The cleaned tables are the rows of the
// selected index and counts tables whose number is not an outlier (copies
// when there is none); control points can be outliers but are not removed.
// `imageRows`, `controlCounts` and `fixedCount` are accepted for the call
// sites.  False on missing inputs, a weight vector whose length differs from
// the point list's observation rows, a fault, or cleaned tables left without
// any point by the removal (an input that was already empty stays empty).
bool SelectOutliers(const Matice* pointList, const Matice* selectedIndex, const Matice* imageRows,
                    long double weightPercent, const Matice* selectedCounts,
                    const Matice* controlCounts, const Matice* weights, std::int32_t fixedCount,
                    MatPtr& cleanedIndex, MatPtr& cleanedCounts, MatPtr& outliers);

}  // namespace pelvanor
