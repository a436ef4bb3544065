#pragma once
// The coordinate files: the header lines written before the dumped points
// (all points with their F-test columns, or only the points that pass the
// test), and the 10-column table of all
// points with their test values.

#include <string>
#include <vector>

#include "matrix/matice.h"

namespace pelvanor {

// Column headers of the dumped point tables: point number, X Y Z, m0 and
// Mx My Mz; the second adds the test criterion and the F quantile (and
// ends in a space).
extern const std::string kPointsHeader;
extern const std::string kPointsHeaderFTest;

// Title, its row of "*" and the given column header.
std::vector<std::string> CoordinateFileHeaderLines(bool withFTest);

// Creates the file (replacing one of that name) with the header of the
// points that pass the F-test.  Throws FileError.
void CoordinateFileHeader(const std::string& file);
// Creates the file (replacing one of that name) with the header of all
// points and their F-test columns.  Throws FileError.
void CoordinateFileHeaderFTest(const std::string& file);

// Row i: the eight columns of `points` row i, then the two of `ftest` row i
// (zeros where `ftest` has no such row).
MatPtr CombinedCoordinateTable(const Matice& points, const Matice& ftest);

// The whole coordinate file as it is written (CP1250, CR LF): with
// `withFTest` the header of all points and every row of the 10-column
// `table`; otherwise the header of the points that pass the F-test and the
// rows of `table` as AppendPointRows writes them.  The commands save it
// in one atomic write, so that a failed save never leaves a header without
// its rows.
std::string CoordinateFileText(const Matice& table, bool withFTest);

// Appends the rows of a point table to the file, nothing for the empty-table
// marker (a 1 x 1 table holding 0), so that no point "0" ever appears among
// the results.  Throws FileError.
void AppendPointRows(const Matice& table, const std::string& file);

}  // namespace pelvanor
