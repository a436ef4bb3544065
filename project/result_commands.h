#pragma once
// The result commands that show the bundle adjustment protocol and save the
// coordinate files and the complete protocol.  The window shows the save
// dialog and calls these with the chosen (full) file name; a cancelled
// dialog never reaches them.  They change nothing in ProjectState.  Each
// file is composed whole and saved in one atomic write: a file that cannot
// be written raises FileError, which the window shows in a message box; the
// command stops there, the earlier file of that name stays as it was, and no
// log line is written.

#include <string>
#include <vector>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// "Výsledky" > "Svazkové vyrovnání": the new lines of the protocol panel.
std::vector<std::string> ShowBundleResults(const ProjectState& state, const CommandHost& host);

// "Výsledky" > "Souřadnice XYZ": all computed points with the F-test columns;
// returns the new lines of the protocol panel (empty when nothing was
// computed: the panel then stays as it is).
std::vector<std::string> SaveCoordinatesWithFTest(const ProjectState& state, CommandHost& host,
                                                  const std::string& chosenFileName);

// "Výsledky" > "Protokoly" > "Souřadnice": the points that pass the F-test.
void SavePassedCoordinates(const ProjectState& state, CommandHost& host,
                           const std::string& chosenFileName);

// "Výsledky" > "Protokoly" > "Kompletní": the complete protocol.
void SaveCompleteProtocol(const ProjectState& state, CommandHost& host,
                          const std::string& chosenFileName);

// "Ulož protokol": the lines of the protocol panel, as they stand, replace
// the chosen file; then "Uložen protokol: " and the name are logged.
void SaveProtocolPanel(const std::vector<std::string>& lines, CommandHost& host,
                       const std::string& chosenFileName);

// "Výsledky" > "Kontrolní body": the check point protocol, the new lines of
// the protocol panel.
std::vector<std::string> ShowCheckPoints(const ProjectState& state, const CommandHost& host);

// "Výsledky" > "Protokoly" > "Kontrolní body": the check point protocol
// written to the file (replacing one of that name), then the log line
// "Uloženy kontrolní body: " and the file name.
void SaveCheckPoints(const ProjectState& state, CommandHost& host, const std::string& chosenFileName);

}  // namespace pelvanor
