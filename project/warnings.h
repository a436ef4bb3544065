#pragma once
// Warnings where the computation itself cannot tell that its result is
// wrong, and the cause of a failed command where the program knows it.
//
// The computations themselves run unchanged; these checks only read the
// project state (and the chosen files) after a command has written its own
// log lines, and add lines of their own:
//   - "Upozornění - ..." for a result or an input that is very probably
//     wrong although every step succeeded (an adjustment stopped by its pass
//     limit, positions far beyond the control, residuals larger than the
//     image, images without a base, zero standard deviations, collinear
//     control, swapped or repeated files, settings outside their sense);
//   - one "Chyba - ..." line naming the cause after a failed command, when
//     it is known (f = 0, a point number twice on an image, a chosen
//     orientation point missing, unequal numbers of files of the two kinds,
//     no point on two images, the line limit of a load, a file or a text
//     that is not a number, a floating-point fault in a named step).
// Every line names the image, point, file or setting concerned.  The
// front ends call the Report... functions after the command; the lines go
// to the same CommandHost log, so every front end prints the same ones.

#include <string>
#include <vector>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

enum class ComputingCommand { Orientation, Bundle, ObjectPoints };

// The settings that lie outside the range in which the computation means
// something (the dialog stores whatever was typed).  `decimal` formats the
// tolerance.
std::vector<std::string> SettingsWarnings(const AdjustmentSettings& settings, char decimal);

// The warnings on what a successful computing command left in the state:
// for the orientation its refined projection centres; for the bundle
// adjustment the adjustments kept (pass limit, projection centres, the
// adjusted points and their residuals); for the object coordinates the
// adjustments' pass limit and projection centres and the computed points
// (position, residuals, standard deviations).
std::vector<std::string> ResultWarnings(const ProjectState& state, ComputingCommand command);

// The one line naming why a computing command failed, or "" when the
// program does not know more than its failure line says.  Reads the camera
// fields through the host again and repeats the cheap steps of the failed
// stage on copies to find the first that fails; the state is not changed.
std::string ComputationFailureCause(ProjectState& state, CommandHost& host,
                                    ComputingCommand command);

// The warnings on the files of a successful load ("Načíst orientaci" with
// `controlFiles` true, "Načíst snímkové souřadnice" otherwise), in the order
// the images are numbered: a control file without six numbers on a line, an
// image coordinate file with six (the two kinds swapped), a file chosen
// twice or two files of the same content, and, after a control point load,
// the images whose control points lie on a line.
std::vector<std::string> LoadWarnings(const std::vector<std::string>& files, bool controlFiles,
                                      const ProjectState& state);

// The line naming why a load of these files failed: a file that cannot be
// opened, more than 65 535 lines in all, or the first text that is not a
// number (file and line); "" when none of these is found.
std::string LoadFailureCause(const std::vector<std::string>& files, bool controlFiles);

// The hooks of the front ends, called after a command's own log lines:
// the failure cause (when `ok` is false), the settings warnings and, after a
// success, the result warnings.
void ReportAfterComputation(ProjectState& state, CommandHost& host, ComputingCommand command,
                            bool ok);
// After a load: the failure cause, or the load warnings.  `state` is the
// project after the load.
void ReportAfterLoad(const std::vector<std::string>& files, bool controlFiles, bool ok,
                     const ProjectState& state, CommandHost& host);

}  // namespace pelvanor
