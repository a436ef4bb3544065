#pragma once
// The warning for control point marks that stand in both kinds of files.
//
// Two conventions meet here.  In one, the control point files carry the
// control points' image coordinates and the image coordinate files only the
// further points; in the other, the image coordinate files list every mark
// of the image, the control points' included.  The program follows the
// first: the observation assembly takes every line of an image coordinate
// file as a tie point measurement, so a control point's mark repeated there
// enters the adjustment twice, once for the control point and once for a
// tie point of the same number.  The computation stays as it is (both
// readings are legitimate inputs); the warning says that those marks count
// twice, so that the user can decide.

#include <string>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

// After a successful load of `files` (control point files or image
// coordinate files, in image order) while
// the other kind is loaded: one line naming the control points whose number
// stands on the same image in both kinds of files and the files of this
// load that repeat them; none when there is no such point.
std::vector<std::string> DoubleMarkWarnings(const std::vector<std::string>& files, const ProjectState& state);

}  // namespace pelvanor
