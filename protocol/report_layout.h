#pragma once
// Layout pieces every protocol shares: rules of "*", "-" or "x" under and
// around headings, the blank line, image numbers of table rows and the
// count of a point table that may be the empty-table marker.

#include <string>

#include "matrix/matice.h"

namespace pelvanor {

// A blank protocol line holds one space, never nothing, so that the saved
// text keeps every line when it is read back by line-oriented tools.
inline const std::string kBlankLine = " ";

// `count` copies of `c` (the rows of "*", "-" and "x" of the protocols).
inline std::string Rule(char c, int count) { return std::string(static_cast<std::size_t>(count), c); }

// `count` spaces, for spelling out the column headers.
inline std::string Spaces(int count) { return std::string(static_cast<std::size_t>(count), ' '); }

// Image number of a table row in the pattern "  00#".
std::string ImageNumber(int image, char decimal);

// Rows of a matrix, 0 for a missing one.
int RowCount(const Matice* m);

// Entries of a point table: its row count, except that the 1 x 1 table
// holding 0 (how the program writes "no entries") counts 0.  A missing
// table counts 0 too.
int TableEntryCount(const Matice* m);

}  // namespace pelvanor
