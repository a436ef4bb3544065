#pragma once
// The block plan ("Půdorys bloku"): object points, control points and the
// camera stations with their viewing direction projected onto one
// coordinate plane, with the standard deviation ellipses of the computed
// points.  Drawing units are object units (metres).

#include <string>

#include "project/plot_scene.h"

namespace pelvanor {

// "X–Y", "X–Z" or "Y–Z".
std::string PlaneName(PlanAxes axes);

// The scene of the plan onto request.axes; a note says why nothing is drawn.
PlotScene PlanScene(const ProjectState& state, const PlotRequest& request, char decimal,
                    const std::string& projectName);

}  // namespace pelvanor
