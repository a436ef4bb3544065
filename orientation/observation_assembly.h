#pragma once
// Matching of measurements across images by point number: point lists,
// counts tables and index tables (point number, then one (row, image) pair
// per measurement; control-point image numbers negated), and the rows of the
// four control points chosen per image.
//
// Point numbers are whole numbers stored as reals and rounded to the nearest
// integer before every comparison.  An empty table is the 1 x 1 zero matrix;
// producing one is no failure.  Every operation creates its outputs, which
// the caller owns (also after a false result).

#include <cstdint>

#include "matrix/matice.h"

namespace pelvanor {

// rows (capacity x 1): the rows of table whose column 1 equals number, in
// increasing order, then zeros.  False when the number stands more than
// capacity times (no measurement is dropped silently).
bool RowsOfPoint(std::int64_t number, const Matice* table, MatPtr& rows, std::int32_t capacity);

// The image whose block holds `row`, from the cumulative row counts; 0 for a
// row outside 1..sum of counts.
bool ImageOfRow(const Matice* rowCounts, std::int32_t& image, long double row);

// The distinct positive point numbers of rows 1..last row of the last image,
// in order of first appearance (m x 1).
bool DistinctPoints(const Matice* table, const Matice* rowRanges, const Matice* rowCounts,
                    MatPtr& list);

// For the points of pointList measured on two or more images: counts table
// (point, c) and, row-aligned, index table m x (2n+1) (point, row1, image1,
// row2, image2, ... , zeros).  False when a point has more measurements than
// there are images.
bool TiePointIndex(const Matice* table, const Matice* rowCounts, const Matice* pointList,
                   MatPtr& countsTable, MatPtr& indexTable);

// As TiePointIndex for the control-point table, except that the counts table
// lists every point of pointList (also those measured once, so it is not
// row-aligned with the index table) and the image numbers are negated.
bool ControlPointIndex(const Matice* table, const Matice* rowCounts, const Matice* pointList,
                       MatPtr& countsTable, MatPtr& indexTable);

// The rows of the four selected control points of every image (selection:
// 4n x 1), rows 4i-3..4i for image i in block order, all columns.  False
// unless every image yields exactly four rows: a selected number missing
// from its block, named twice, or standing twice in the block would shift
// the four-point methods onto the rows of another image.
bool SelectedControlRows(const Matice* selection, const Matice* table, const Matice* rowCounts,
                         const Matice* rowRanges, MatPtr& selected);

}  // namespace pelvanor
