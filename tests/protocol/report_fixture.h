#pragma once
// A small hand-made project with every result of a full computation: two
// images, two control-point blocks, two tie points, one robust outlier and
// both bundle adjustments.  The values are chosen so that every number
// format has an exact, unambiguous text.

#include "app/state/project_state.h"

namespace pelvanor::test {

// Default settings (robust estimation and camera constant on).
ProjectState MakeReportProject();

}  // namespace pelvanor::test
