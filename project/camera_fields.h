#pragma once
// The camera fields as the computing commands take them.
//
// The camera constant f is the distance of the projection centre from the
// image plane: a length, positive.  The camera file and the fields accept
// any number (a file is loaded as it is written), but the collinearity
// equations with a negative f describe a camera turned through 180 degrees
// about its axis, for which the four-point methods and the refinement find
// orientations with the object behind or mirrored: an adjustment of such a
// project may converge, pass its F-test and be metres off.  So a negative f
// is refused as a bad camera value before anything is computed.  (f = 0
// reaches the computation, which fails on its first division, and the
// failure names it.)

#include <string>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// host.ReadCameraFields() (which stores the fields in state.Camera), and
// then false for a negative camera constant as for a field that is not a
// number.  The caller logs "Chyba - Špatné hodnoty parametrů kamery".
bool ReadComputableCameraFields(CommandHost& host, const ProjectState& state);

// The cause line of a refused negative camera constant, naming the value
// in the number format of the fields; "" when f is not negative.
std::string NegativeCameraConstantCause(const CameraParameters& camera, char decimal);

}  // namespace pelvanor
