#pragma once
// Running the pelvanor-drive executable from a test: where it is, how it is
// started (offscreen, in a chosen locale) and how its output files are read.

#include <string>
#include <vector>

namespace pelvanor::test {

// The driver executable: $PELVANOR_DRIVE, else next to the tests in the build tree.
std::string DrivePath();

struct DriveRun {
    int status = -1;  // exit code; -1 not run, -2 crashed
    std::string err;  // standard error
};

// Runs the driver on `script` with LANG and LC_ALL set to `lang`, on the
// given Qt platform (with its options, e.g. a virtual screen).
DriveRun RunDrive(const std::string& script, const char* lang, const std::string& platform = "offscreen");

// The lines of a text file, without their line ends ("\n").
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace pelvanor::test
