#pragma once
// The command line of pelvanor-batch and the settings file a project folder
// may carry: parsed and checked completely before anything runs, so that a
// bad value never starts a computation.

#include <string>
#include <vector>

#include "matrix/project_parameters.h"
#include "project/point_export.h"

namespace pelvanor::batch {

// Exit statuses.
inline constexpr int kExitDone = 0;        // the command succeeded, its files are written
inline constexpr int kExitFailed = 1;      // the command failed (its failure line is in the log)
inline constexpr int kExitBadUsage = 2;    // bad usage or unreadable input: nothing was computed

enum class Command { Orientation, Bundle, Xyz, Calibration };

// The settings file read from a project folder when --settings is not given.
inline constexpr const char* kProjectSettingsFile = "nastaveni.ini";
// The output folder inside the project folder when --out is not given.
inline constexpr const char* kDefaultOutFolder = "vysledky";

struct BatchOptions {
    std::string projectDir;               // PROJECT_DIR, may be empty
    std::string camera;                   // --camera
    std::vector<std::string> control;     // --control (repeated)
    std::vector<std::string> images;      // --images (repeated)
    Command command = Command::Xyz;
    std::string outDir;                   // --out, or PROJECT_DIR/vysledky
    std::string jsonFile;                 // --json, empty: none
    std::string plotDir;                  // --plots, empty: no pictures
    std::vector<PointExportFormat> exports;  // --export csv,dxf,ply: body.csv, body.dxf, body.ply
    std::string settingsFile;             // the settings file read, empty: none
    std::string controlAccuracy;          // --control-accuracy, empty: PROJECT_DIR/presnost.txt when it exists
    char decimal = '.';                   // --decimal, or the locale's
    int method = 1;                       // --method: 0 plane (Z = 0), 1 space
    AdjustmentSettings settings;
};

struct ParseResult {
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Error;
    std::string text;  // Help: the help text; Version: the version line; Error: the message
};

// Whether the texts for the user (help and usage messages) are Czech: in a
// Czech locale; English otherwise.  The log lines are always Czech.
bool CzechTexts();

// Parses the arguments (argv[0] first).  `localeDecimal` is the locale's
// decimal separator, the default of --decimal.  Settings: the defaults,
// then the settings file (--settings FILE, or PROJECT_DIR/nastaveni.ini
// when it exists), then the options; every value by the rules of the
// settings dialog.  Usage errors name the option (or the file, line and
// key) and the value with the form expected.  --json is taken first, so
// that options.jsonFile names the summary also when the rest is refused.
ParseResult ParseArguments(const std::vector<std::string>& arguments, char localeDecimal, BatchOptions& options);

// The help text in the language of CzechTexts().
std::string HelpText();

// Whether the arguments (argv[0] first) ask for the pictures (--plots): the
// program then needs a QGuiApplication, made before the arguments are
// parsed.
bool WantsPlots(const std::vector<std::string>& arguments);

// The name of a command as the option writes it.
const char* CommandName(Command command);

// The camera parameters --calibrate (and the key calibrate of the settings
// file) frees: a comma-separated list of f, x0, y0, k1, k2, k3, p1, p2
// (blanks allowed around the names), or "none" to fix all.  A group is free
// exactly when it is named: x0 and y0 (the principal point) and p1 and p2
// (the decentring) are each one switch, so a list naming one of a pair
// without the other is refused rather than read as freeing both.  False
// with the reason in `problem` (the names, not the option).
bool ParseCalibrateList(const std::string& list, AdjustmentSettings& settings, std::string& problem);

// The free parameters of the settings as --calibrate writes them:
// "f,x0,y0,k1,k2,k3,p1,p2" in that order, "none" when all are fixed.
std::string CalibrateList(const AdjustmentSettings& settings);

}  // namespace pelvanor::batch
