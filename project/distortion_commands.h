#pragma once
// The distortion correction commands of the "Výpočty" menu and the two
// result commands that save the corrected measurements.  The save commands
// receive the (full) file name chosen in the save dialog; a cancelled
// dialog never reaches them.  A file that cannot be written raises
// FileError, which the window shows in a message box: the command stops
// there, what was written stays, and no log line is written.

#include <string>
#include <vector>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// Menu handler Snmkovsouadnice1Click ("Výpočty" > "Oprava distorze" >
// "Snímkové souřadnice"): ImagePoints -> ImagePointsCorrected.
bool CorrectImagePointsCommand(ProjectState& state, CommandHost& host);

// Menu handler Orientace1Click ("Výpočty" > "Oprava distorze" > "Orientace"):
// ControlPoints -> ControlPointsCorrected.
bool CorrectControlPointsCommand(ProjectState& state, CommandHost& host);

// Menu handler Snmkovsouadnice2Click ("Výsledky" > "Oprava distorze" >
// "Snímkové souřadnice"): writes ImagePointsCorrected with image headers and
// returns the new lines of the protocol panel (the window clears it first);
// empty, with nothing written, when there is nothing to save.
std::vector<std::string> SaveCorrectedImagePoints(const ProjectState& state, CommandHost& host,
                                                  const std::string& fileName);

// Menu handler Orientace2Click ("Výsledky" > "Oprava distorze" >
// "Orientace"): the same for ControlPointsCorrected.
std::vector<std::string> SaveCorrectedControlPoints(const ProjectState& state, CommandHost& host,
                                                    const std::string& fileName);

}  // namespace pelvanor
