#pragma once
// Warnings where a computation succeeded but its result is very probably
// wrong, which the computation itself cannot tell: an adjustment stopped by
// its pass limit, projection centres or points far beyond the control,
// images without a base between them, residuals larger than the measured
// image, zero standard deviations.  The state is only read; every line names
// the adjustment, image or point concerned.

#include <string>
#include <vector>

#include "project/computing_command.h"
#include "project/project_state.h"

namespace pelvanor {

// The warnings on what a successful computing command left in the state:
// for the orientation its refined projection centres; for the bundle
// adjustment the adjustments kept (pass limit, projection centres, the
// adjusted points and their residuals); for the object coordinates the
// adjustments' pass limit and projection centres and the computed points
// (position, residuals, standard deviations).
std::vector<std::string> ResultWarnings(const ProjectState& state, ComputingCommand command);

}  // namespace pelvanor
