#pragma once
// Warnings on settings that lie outside the range in which the computation
// means something (the dialog stores whatever was typed): "Upozornění - ..."
// lines naming the setting, its value and the range.

#include <string>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

// The settings outside their sense.  `decimal` formats the tolerance.
std::vector<std::string> SettingsWarnings(const AdjustmentSettings& settings, char decimal);

}  // namespace pelvanor
