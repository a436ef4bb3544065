#pragma once
// Control point files: one file per image, one control point per line, six
// numbers per line (point number, object X, Y, Z in metres, image x, y),
// "." as the decimal separator.  Text rules as for the image coordinate
// files (input/image_file.h).
//
// How the window uses it ("Načíst orientaci"):
//   1. OpenDialog3 (several files); on cancel nothing happens.
//   2. For each chosen name in dialog order log "Načten soubor: " + name and
//      enable the button "Vybrat body" (BitBtn2).
//   3. Sort the names ascending by full path, ignoring case, in the locale's
//      collation (QCollator); image i is the i-th sorted name.
//   4. result = LoadControlPoints(sorted names, state) (project/loaders.h),
//      then by result.status:
//      TooFewPoints: message box "Chyba v minimálním počtu vlícovacích bodů - snímek "
//                    + result.image, then as Failed;
//      Failed:       log "Chyba - Vlícovací body nenačteny do programu", disable
//                    "Vybrat body" and "Výpočty" > "Oprava distorze" > "Orientace";
//      Loaded:       fill ComboBox2 with "Snimek 1" .. "Snimek n" (n = number of
//                    files), select the first, log "Vlícovací body načteny do
//                    programu" and enable the menu items for loaded control points.
//   The state (matrices, SelectedOrientationPoints, ControlPointsLoaded) is
//   already updated by LoadControlPoints.

#include <cstdint>
#include <string>
#include <vector>

#include "input/read_report.h"
#include "matrix/matice.h"

namespace pelvanor {

// The smallest number of control points an image needs for its approximate
// orientation.
inline constexpr int kMinControlPointsPerImage = 4;

// Reads `rows` lines of six numbers into a new rows x 6 matrix; failures as
// ReadImageFile.
bool ReadControlFile(const std::string& path, MatPtr& matrix, std::uint16_t rows);

// The merge of all images' files, as LoadImageFiles with six columns.
bool LoadControlFiles(const std::vector<std::string>& files, MatPtr& points, MatPtr& counts, MatPtr& ranges,
                      FileSetReport* report = nullptr);

// The outcome of a load of several files: Refused when nothing was read
// and the outputs are untouched (no files, more than 65535 lines), Failed
// when a file could not be counted or read (the outputs hold what was read).
enum class FileSetOutcome { Loaded, Failed, Refused };

// LoadControlFiles with its outcome told apart.
FileSetOutcome LoadControlFileSet(const std::vector<std::string>& files, MatPtr& points,
                                  MatPtr& counts, MatPtr& ranges, FileSetReport* report = nullptr);

}  // namespace pelvanor
