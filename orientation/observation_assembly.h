#pragma once
// Matching of measurements across images by point number: point lists,
// counts tables and index tables (point number, then one (row, image) pair
// per measurement; control-point image numbers negated), and the rows of the
// four control points chosen per image.

#include <cstdint>

#include "matrix/matice.h"

namespace pelvanor {

bool RowsOfPoint(std::int32_t number, const Matice* table, MatPtr& rows, std::int32_t capacity);
bool ImageOfRow(const Matice* rowCounts, std::int32_t& image, long double row);
bool DistinctPoints(const Matice* table, const Matice* rowRanges, const Matice* rowCounts,
                    MatPtr& list);
bool TiePointIndex(const Matice* table, const Matice* rowCounts, const Matice* pointList,
                   MatPtr& countsTable, MatPtr& indexTable);
bool ControlPointIndex(const Matice* table, const Matice* rowCounts, const Matice* pointList,
                       MatPtr& countsTable, MatPtr& indexTable);
bool SelectedControlRows(const Matice* selection, const Matice* table, const Matice* rowCounts,
                         const Matice* rowRanges, MatPtr& selected);

}  // namespace pelvanor
