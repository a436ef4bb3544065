#pragma once
// The file commands of "Soubor" on the whole project, without their file
// dialogs: the three loads read their files through input/, store what they
// read in the project state, write their log lines and switch the menu
// items; "Uložit kameru" writes the camera fields to a file.

#include <functional>
#include <string>
#include <vector>

#include "input/camera_file.h"
#include "input/read_report.h"
#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// The values as the camera fields show them: the general number format with
// the locale's decimal separator, in window order.
CameraFieldTexts CameraFieldTextsOf(const CameraParameters& camera, char decimal);

// The camera fields read back: each text a number in the notation of
// `decimal` (leading and trailing blanks allowed), in window order, each
// stored as soon as it is read.  False at the first text that is not a
// number; the values after it keep their old contents.
bool ReadCameraFieldTexts(const CameraFieldTexts& texts, char decimal, CameraParameters& camera);

// ReadCameraFile into state.Camera; sets state.CameraLoaded to the result.
// `error` (when given) receives why and where a failed read failed.
bool LoadCameraFile(const std::string& path, ProjectState& state, ReadError* error = nullptr);

// Why a load of control points or image coordinates was refused, where the
// failure line alone would not tell.
struct LoadProblem {
    enum class Cause {
        None,
        Memory,               // an allocation failed
        PointNumberTooLarge,  // a point number beyond kLargestPointNumber in magnitude
    };
    Cause cause = Cause::None;
    std::string file;          // PointNumberTooLarge: the file holding the number
    long double number = 0.0L;  // PointNumberTooLarge: the number
};

// The log line that names the cause (empty for Cause::None); the command's
// failure line follows it.
std::string LoadProblemLine(const LoadProblem& problem);

struct ControlLoadResult {
    enum class Status {
        Loaded,        // state updated, ControlPointsLoaded set
        Failed,        // a file could not be read, or the load was refused
        TooFewPoints,  // image `image` has fewer than four lines
    };
    Status status = Status::Failed;
    int image = 0;  // TooFewPoints: the first such image, 1-based
    LoadProblem problem;  // Failed: the cause, when the program knows it
    FileSetReport read;   // what the reader reported of the files
};

// The load of "Načíst orientaci" without its window work:
//   - LoadControlFiles into ControlPoints, ControlPointCounts,
//     ControlPointRanges;
//   - the minimum check: the first image with fewer than four rows gives
//     TooFewPoints;
//   - a point number beyond kLargestPointNumber is refused (Failed);
//   - on success SelectedOrientationPoints (4n x 1) receives the point
//     numbers of the first four lines of every image and ControlPointsLoaded
//     is set.
// A load that is not Loaded changes nothing in the state: the previous
// tables, counts, ranges, selection and ControlPointsLoaded stay, so every
// later computation works on one consistent project.
ControlLoadResult LoadControlPoints(const std::vector<std::string>& files, ProjectState& state);

// LoadImageFiles into state.ImagePoints, state.ImagePointCounts and
// state.ImagePointRanges and sets state.ImagePointsLoaded.  A failed load
// (a file that cannot be read, a point number beyond kLargestPointNumber,
// memory) changes nothing in the state; `problem` receives its cause and
// `read` what the reader reported of the files.
bool LoadImagePoints(const std::vector<std::string>& files, ProjectState& state,
                     LoadProblem* problem = nullptr, FileSetReport* read = nullptr);

// The commands behind the three loading items of "Soubor", after their file
// dialogs.  `chosen` are the full file names in the order the dialog gave
// them (they are logged in that order); `sorted` the same names in the
// order the images are numbered: ascending, ignoring case, in the
// collation of the user's locale (SortFileNames of uilocale/locale_services.h).

// "Načíst kameru": on success the camera fields show the values
// (host.ShowCameraFields), then "Načten soubor: " with the name and
// "Parametry kamery načteny" are logged and the items a loaded camera
// enables are switched on; on failure "Chyba - Parametry kamery nenačteny"
// and nothing else changes.
bool LoadCameraCommand(const std::string& file, ProjectState& state, CommandHost& host);

// "Uložit kameru": `texts` are the eight camera fields in window order.
// When one of them is not a number in the notation of
// host.DecimalSeparator(), logs "Chyba - Špatně zadané hodnoty parametrů
// kamery" without asking for a file.  Otherwise `chooseFile` (the save
// dialog) names the file, full path; false there (cancelled) ends the
// command without a word.  The file receives the texts as typed with the
// decimal separator replaced by "." (WriteCameraFile, written whole or not
// at all), then "Uložen soubor: " with the name is logged; a file that
// cannot be written logs the refusal line above.  True when the file was
// written.
bool SaveCameraCommand(const CameraFieldTexts& texts, const std::function<bool(std::string& file)>& chooseFile,
                       CommandHost& host);

// "Načíst orientaci": logs each chosen file, runs LoadControlPoints, shows
// the message of an image with too few control points and, on success,
// lists the images (host.ShowImageList) and switches the items on; on
// failure logs "Chyba - Vlícovací body nenačteny do programu" and switches
// off "Vybrat body" and the control point correction.
ControlLoadResult LoadControlPointsCommand(const std::vector<std::string>& chosen,
                                           const std::vector<std::string>& sorted, ProjectState& state,
                                           CommandHost& host);

// "Načíst snímkové souřadnice": logs each chosen file, runs LoadImagePoints
// and switches the items; on failure logs "Chyba - Snímkové souřadnice
// nenačteny" and switches off the image coordinate correction.
bool LoadImagePointsCommand(const std::vector<std::string>& chosen, const std::vector<std::string>& sorted,
                            ProjectState& state, CommandHost& host);

}  // namespace pelvanor
