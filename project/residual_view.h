#pragma once
// The image residual view ("Rezidua snímku"): the measurements of one image
// in the measuring system of its files (y growing downwards), inside the
// image frame, with the residual vectors of the kept bundle adjustment and,
// for points left out of it, those of the spatial intersection, all
// magnified alike on every image.

#include <string>

#include "project/plot_scene.h"

namespace pelvanor {

// The scene of image request.image; a note says why nothing is drawn.
PlotScene ResidualScene(const ProjectState& state, const PlotRequest& request, char decimal,
                        const std::string& projectName);

}  // namespace pelvanor
