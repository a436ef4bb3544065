#pragma once
// Check points: the accuracy of a block judged against surveyed coordinates
// that did not fix its datum.
//
// The datum of an adjustment is fixed by the first FixedPointCount control
// points of its point list; every further control point measured on two or
// more images is adjusted like a tie point, its surveyed X, Y, Z being only
// its start values.  Its adjusted coordinates against the surveyed ones are
// an independent check of the block, and an error that every point shares
// (a wrong camera constant, a tilted block) shows there, where the F-test,
// which compares the points with each other, cannot see it.
//
// A control point may also stand in the image coordinate files under its
// own number (many measuring systems write every measured point there).
// Intersected with the adjusted orientations, it tells how the rays of the
// block meet the surveyed point; the report lists these in a second table.

#include <string>
#include <vector>

#include "project/project_state.h"
#include "protocol/check_point_report.h"

namespace pelvanor {

// The check points of one adjustment (without or with the camera constant).
struct CheckPointBlock {
    bool withCameraConstant = false;
    // Not None: the adjustment's last run failed and its results were
    // released; the tables are empty.
    AdjustmentFailure failure = AdjustmentFailure::None;
    // Control points beyond the fixed ones, adjusted as unknowns, in the
    // order of the adjustment's point list: with weighted control those
    // without weight, and exactly the check points when the control
    // accuracy file names any.
    std::vector<CheckPointRowValues> adjusted;
    // Control points measured in the image coordinate files on two or more
    // images, intersected with the adjustment's orientations, in the order
    // of the tie point index.
    std::vector<CheckPointRowValues> intersected;
    // Control points weighted by their survey, with their shifts and sigmas.
    std::vector<WeightedControlRowValues> weighted;
};

// The blocks of the adjustments the state holds: without the camera
// constant, and with it when that setting is on and the adjustment ran.
std::vector<CheckPointBlock> CheckPointBlocks(const ProjectState& state);

// Root mean squares and the largest difference of a set of check points.
CheckPointStatistics CheckPointStatisticsOf(const std::vector<CheckPointRowValues>& points);

// The check point protocol, title first, for the panel and for the file
// ("Protokoly" > "Kontrolní body"); the numbers use `decimal`.  A project
// without any check point gets one line saying so.
std::vector<std::string> CheckPointReportLines(const ProjectState& state, char decimal);

}  // namespace pelvanor
