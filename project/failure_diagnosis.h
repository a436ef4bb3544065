#pragma once
// The cause of a failed command, where the program knows it: one
// "Chyba - ..." line naming it (f = 0, a point number twice on an image, a
// chosen orientation point missing, unequal numbers of files of the two
// kinds, no point on two images, the line limit of a load, a file or a text
// that is not a number, a floating-point fault or a non-converging SVD in a
// named step).  The state is only read.

#include <string>

#include "input/read_report.h"
#include "project/command_host.h"
#include "project/computing_command.h"
#include "project/project_state.h"

namespace pelvanor {

// The one line naming why a computing command failed, or "" when the
// program does not know more than its failure line says.  Reads the camera
// fields through the host again and repeats the cheap steps of the failed
// stage on copies to find the first that fails; the state is not changed.
std::string ComputationFailureCause(ProjectState& state, CommandHost& host,
                                    ComputingCommand command);

// The line naming why a load failed, from the first failure its reader
// recorded: a file that is not there, a folder in its place, a file that
// cannot be read, more than 65 535 lines in all, or the first text that is
// not a number (file and line); "" for any other.
std::string LoadFailureCause(const ReadError& error);

}  // namespace pelvanor
