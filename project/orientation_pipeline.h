#pragma once
// The approximate exterior orientation: distortion correction, matching of
// the measurements, the four-point orientation of every image and its
// refinement, recomputed from the loaded tables and the current camera
// fields on every run.  Also the command that shows its protocol.

#include <string>
#include <vector>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// The pipeline, also the first step of the bundle adjustment and object
// coordinate pipelines.  Logs its outcome (the two success lines only while
// state.OrientationLogged is false), switches the result items and, on
// failure, releases the orientation results.  True when every step ran
// without failure and no stop was asked for (CommandHost::CancelRequested);
// a stopped run takes the failure path with the one line kCancelledLine
// in place of its failure lines.
bool ApproximateOrientation(ProjectState& state, CommandHost& host);

// Menu handler Piblinvnjorientace1Click ("Výpočty" > "Přibližná vnější
// orientace"): clears OrientationLogged and CancelLogged, then runs the
// pipeline; then the cause of a failure and the warnings
// (ReportAfterComputation).
bool ApproximateOrientationCommand(ProjectState& state, CommandHost& host);

// Menu handler Piblineenvnjorientace1Click ("Výsledky" > "Přibližné řešení
// vnější orientace"): the new lines of the protocol panel, which the window
// clears first; empty (the panel stays) when no orientation is held.
std::vector<std::string> ShowOrientationResults(const ProjectState& state, const CommandHost& host);

}  // namespace pelvanor
