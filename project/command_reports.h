#pragma once
// The hooks the front ends call after a command's own log lines: the cause
// of a failure where the program knows it, and the warnings where every
// step succeeded but the result or the input is very probably wrong.  The
// lines go to the same CommandHost log, so every front end prints the same
// ones.

#include <string>
#include <vector>

#include "input/read_report.h"
#include "project/command_host.h"
#include "project/computing_command.h"
#include "project/project_state.h"

namespace pelvanor {

// After a computing command: the failure cause (when `ok` is false), the
// settings warnings and, after a success, the result warnings.
void ReportAfterComputation(ProjectState& state, CommandHost& host, ComputingCommand command,
                            bool ok);
// After a load of control points (`controlFiles`) or image coordinates:
// the failure cause from what the load reported, or the load warnings.
// `state` is the project after the load.
void ReportAfterLoad(const FileSetReport& read, bool controlFiles, bool ok, const ProjectState& state,
                     CommandHost& host);

}  // namespace pelvanor
