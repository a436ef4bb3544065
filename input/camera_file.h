#pragma once
// The camera parameter file: eight numbers, one per line, in the order
// f, x0, y0, k1, k2, k3, p1, p2, with "." as the decimal separator.
//
// How the window uses it:
//   "Načíst kameru": after the open dialog, LoadCameraFile(name, state)
//     (project/loaders.h).
//     true:  put CameraFieldTextsOf(state.Camera, separator) (project/loaders.h) into LabeledEdit1..8,
//            log "Načten soubor: " + name, then "Parametry kamery načteny",
//            enable the menu items for a loaded camera.
//     false: log "Chyba - Parametry kamery nenačteny"; fields and menu unchanged.
//   "Uložit kameru": SaveCameraCommand(LabeledEdit1..8, save dialog, host)
//     (project/loaders.h):
//     CameraTextsSavable(texts, separator) false: log
//            "Chyba - Špatně zadané hodnoty parametrů kamery", no dialog.
//     Otherwise SaveDialog1 (extension "txt", filter "*.txt|*.txt"), then
//     WriteCameraFile(name, texts, separator): true logs "Uložen soubor: " + name,
//     false logs "Chyba - Špatně zadané hodnoty parametrů kamery".

#include <array>
#include <string>
#include <vector>

#include "input/read_report.h"
#include "matrix/project_parameters.h"

namespace pelvanor {

// Texts of the eight camera fields in window order: LabeledEdit1 (f),
// LabeledEdit2 (x0), LabeledEdit3 (y0), LabeledEdit4..8 (k1, k2, k3, p1, p2).
using CameraFieldTexts = std::array<std::string, 8>;

// Reads the eight values into `camera`, each stored as soon as it is read.
// Missing values (the file ends early) read as 0.  False when the file
// cannot be opened (also a folder) or a value is not a number; the values
// stored before stay, and `error` (when given) receives why and where.
bool ReadCameraFile(const std::string& path, CameraParameters& camera, ReadError* error = nullptr);

// True when every field is a number in the locale's notation (as the
// computations parse them) and can be written to the file so that it reads
// back: the number without its surrounding blanks is at most 64 characters.
bool CameraTextsSavable(const CameraFieldTexts& texts, char decimal);

// The eight file lines: each field text as typed, its decimal separator
// (a "," or `decimal`) replaced by ".".
std::vector<std::string> CameraFileLines(const CameraFieldTexts& texts, char decimal);

// Creates or replaces the file with CameraFileLines, CR LF after each line.
// False when the file cannot be written.
bool WriteCameraFile(const std::string& path, const CameraFieldTexts& texts, char decimal);

}  // namespace pelvanor
