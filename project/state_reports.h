#pragma once
// The panel reports that read the whole project state: the bundle
// adjustment protocol and the summary of the object coordinates.  Their
// rows and number formats come from protocol/.

#include <string>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

// The panel lines of the bundle adjustment protocol, title first.  The
// outlier block and the block with the camera constant follow the current
// settings; a block whose results do not exist (the setting was switched on
// after the last adjustment) is left out, and one line saying why stands in
// place of the block of an adjustment whose last run failed.
std::vector<std::string> BundleReportLines(const ProjectState& state, char decimal);

// The panel summary shown after the file of all points is written: the
// significance level, the number of computed points and of passing ones.
std::vector<std::string> CoordinateSummaryLines(const ProjectState& state, char decimal);

}  // namespace pelvanor
