#pragma once
// What a long command reports while it runs, for a host that shows its
// progress (the batch command's one line on a terminal).  Reporting reads
// nothing back and changes no result.

#include <cstdint>

namespace pelvanor {

struct Progress {
    enum class Stage { Orientation, BundleAdjustment, ObjectPoints };
    Stage stage = Stage::Orientation;
    // Within the bundle adjustment, which of its adjustments runs: 1 without
    // and 2 with a camera constant per image, 3 and 4 the same again without
    // the outliers of the robust estimation; 0 outside an adjustment.
    int adjustment = 0;
    // 0 when the stage or the adjustment begins, otherwise the pass just
    // finished, with its a-posteriori unit standard deviation.
    std::int32_t pass = 0;
    long double m0 = 0.0L;
};

}  // namespace pelvanor
