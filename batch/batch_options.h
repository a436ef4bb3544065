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

enum class Command { Orientation, Bundle, Xyz };

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

}  // namespace pelvanor::batch
