#pragma once
// Running pelvanor-batch (and, for the comparison with the window,
// pelvanor-drive) from a test: where the programs are, how they are started
// in a chosen locale, and the files they leave in a folder.

#include <map>
#include <string>
#include <vector>

namespace pelvanor::test {

// The programs of the build tree; empty when not built.
std::string BatchPath();
std::string DrivePath();

struct ProgramRun {
    int status = -1;  // exit code; -1 not run, -2 crashed
    std::string out;  // standard output
    std::string err;  // standard error
};

struct ProgramCall {
    std::string program;
    std::vector<std::string> args;
    // No DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM in the environment, as
    // on a cluster node; otherwise QT_QPA_PLATFORM is offscreen.
    bool noDisplay = false;
};

// Runs the calls at the same time, each with LANG and LC_ALL set to `lang`
// and the standard streams captured (so not a terminal); waits for all.
std::vector<ProgramRun> RunAtOnce(const std::vector<ProgramCall>& calls, const char* lang);

// pelvanor-batch with `args`.
ProgramRun RunBatch(const std::vector<std::string>& args, const char* lang);

// Every regular file of a folder: name -> content.
std::map<std::string, std::string> FolderFiles(const std::string& dir);

// The two sample projects of examples/ and the orientation method each is
// made for: "space" for fasada, "plane" for rovina.
struct SampleProject {
    std::string name;
    std::string dir;
    std::string method;
};
std::vector<SampleProject> SampleProjects();

// The lines of a protocol file (CP1250, CR LF) in UTF-8 without line ends.
std::vector<std::string> ProtocolLines(const std::string& path);

}  // namespace pelvanor::test
