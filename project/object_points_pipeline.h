#pragma once
// "Výpočty" > "Souřadnice XYZ": the object coordinates of every point measured
// on two or more images, intersected with the orientations of a fresh bundle
// adjustment, and their F-test.

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// Runs the approximate orientation and the whole bundle adjustment pipeline,
// then the spatial intersection (with the camera constant of every image
// when that setting is on) and the F-test.  Writes its log line and switches
// the nine result items, the protocol items among them (and the two of the
// check points).  True when the
// coordinates were computed and tested; a project without any point
// measured on two images has none to compute and fails.  On failure the
// approximate and final object coordinates and the test results are
// released.  A stop the host reports (CommandHost::CancelRequested) ends it
// through that failure path with the one line kCancelledLine in place of
// its failure lines.
bool ObjectPointsPipeline(ProjectState& state, CommandHost& host);

// The menu command: clears OrientationLogged and CancelLogged and runs
// ObjectPointsPipeline; then the cause of a failure and the warnings
// (ReportAfterComputation).
bool ObjectPointsCommand(ProjectState& state, CommandHost& host);

}  // namespace pelvanor
