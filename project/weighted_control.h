#pragma once
// Surveyed control with its accuracy on the whole project: the weighting
// an adjustment runs with (the settings and the control accuracy file),
// the load of that file, and the adjusted control points that the bundle
// protocols, the check point report and the summary show.

#include <string>
#include <vector>

#include "project/command_host.h"
#include "project/project_state.h"
#include "protocol/check_point_report.h"

namespace pelvanor {

// The control accuracy file of a project folder.
inline constexpr const char* kControlAccuracyFileName = "presnost.txt";

// The weighting of the settings (ImageSigma, ControlSigmaXY, ControlSigmaZ)
// with the lines of the loaded control accuracy file.
ControlWeighting ControlWeightingOf(const ProjectState& state);

// Reads a control accuracy file into state.ControlAccuracy and
// state.ControlAccuracyFile.  A file that cannot be read or holds a bad line
// changes nothing; `error` then receives the Czech line naming the file and
// the line.
bool LoadControlAccuracy(const std::string& path, ProjectState& state, std::string& error);

// "Soubor" > "Načíst přesnost vlícovacích bodů" after its dialog: logs
// "Načten soubor: " with the name, then "Přesnost vlícovacích bodů načtena
// do programu", or the error line and "Chyba - Přesnost vlícovacích bodů
// nenačtena" (and shows the error line as a message).
bool LoadControlAccuracyCommand(const std::string& file, ProjectState& state, CommandHost& host);

// The weighted control points of the adjustment without (with) the camera
// constant that the state holds, as its last run weighted them, in the
// order of the point list: surveyed and adjusted coordinates and sigmas.
// Empty when that run weighted no control point or its results are gone.
std::vector<WeightedControlRowValues> WeightedControlPoints(const ProjectState& state, bool withCameraConstant);

// Root mean squares and the largest of the shifts of those points.
CheckPointStatistics WeightedControlStatistics(const std::vector<WeightedControlRowValues>& points);

// The block both bundle protocols add after the block of an adjustment
// when its control was weighted: heading, the a priori sigma of an image
// coordinate, m0 relative to it, the adjusted control points with their
// shifts and sigmas, and the summary of the shifts.  Empty otherwise.
std::vector<std::string> WeightedControlBlockLines(const ProjectState& state, bool withCameraConstant,
                                                   char decimal);

}  // namespace pelvanor
