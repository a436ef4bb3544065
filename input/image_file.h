#pragma once
// Image coordinate files: one file per image, one measured point per line,
// four numbers per line (point number, x, y, a fourth number that is only
// carried), "." as the decimal separator.
//
// How the window uses it ("Načíst snímkové souřadnice"):
//   1. OpenDialog2 (several files); on cancel nothing happens.
//   2. For each chosen name in dialog order log "Načten soubor: " + name.
//   3. Sort the names ascending by full path, ignoring case, in the locale's
//      collation (QCollator); image i is the i-th sorted name.
//   4. LoadImagePoints(sorted names, state) (project/loaders.h).
//      true:  log "Snímkové souřadnice načteny do programu" and enable the
//             menu items for loaded image coordinates.
//      false: log "Chyba - Snímkové souřadnice nenačteny" and disable
//             "Výpočty" > "Oprava distorze" > "Snímkové souřadnice".
//
// Text rules shared with the control point files: a line ends at LF, CR LF
// or a lone CR; every line counts as a row, also an empty one and a last
// line without a line end; numbers end at a blank, a tab or a line end and
// are at most 64 characters long; the rest of a line after the last number
// of a row is ignored; a number missing at the end of the file reads as 0.

#include <cstdint>
#include <string>
#include <vector>

#include "input/read_report.h"
#include "matrix/matice.h"

namespace pelvanor {

// Number of lines of a text file.  False (count 0) when it cannot be opened
// or is not a regular file, false with the count so far on a read error.
bool CountLines(const std::string& path, long long& count);

// Reads `rows` lines of four numbers into a new rows x 4 matrix.  A file that
// cannot be opened returns false with `matrix` untouched; a text that is not
// a number returns false and the rows read before it stay, the rest are 0.
bool ReadImageFile(const std::string& path, MatPtr& matrix, std::uint16_t rows);

// The whole load of the files of all images, in the given (already sorted)
// order: counts (n x 1), ranges (n x 2: first and last row of each image's
// block, last = first - 1 for an empty file) and points (N x 4) are
// replaced.  False when a file could not be counted or read; the matrices
// then hold what was read.  A load of more than 65535 lines in total (the
// row limit of a matrix), or of no files, is refused: false with the three
// matrices untouched.  `report` (optional) receives the first failure
// (file, line, token) and the lines of every file read.
bool LoadImageFiles(const std::vector<std::string>& files, MatPtr& points, MatPtr& counts, MatPtr& ranges,
                    FileSetReport* report = nullptr);

}  // namespace pelvanor
