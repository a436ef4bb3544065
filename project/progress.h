#pragma once
// Where a long command stands, the one text that shows it, and the line
// that reports a command the user stopped.  No Qt: the window's progress
// line and the batch command's terminal line render the same words.

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelvanor {

// The log line written once when the user has stopped a command; the command
// then ends through its failure path.
inline constexpr const char* kCancelledLine = "Výpočet přerušen uživatelem";

enum class ComputationStage {
    Orientation,  // the approximate orientation, also as the first step of the others
    Adjustment,   // point selection, start coordinates and the bundle adjustments
    ObjectPoints, // intersection and F-test of "Souřadnice XYZ"
    Calibration,  // the self-calibrating adjustment of "Kalibrace kamery"
};

enum class AdjustmentKind {
    None,                   // outside an adjustment
    WithoutCameraConstant,  // six unknowns per image
    WithCameraConstant,     // seven: a camera constant per image
};

struct ComputationProgress {
    ComputationStage stage = ComputationStage::Orientation;
    AdjustmentKind adjustment = AdjustmentKind::None;
    // The adjustment runs again without the outliers of robust estimation.
    bool withoutOutliers = false;
    // The pass that starts (1, 2, ...), 0 outside an adjustment's passes.
    std::int32_t pass = 0;
    // m0 of the pass before, when pass > 1.
    long double m0 = 0.0L;
    // A report sent when a pass has ended rather than when it starts: pass
    // is the pass just finished and m0 its own.  Displays that show the
    // running pass ignore these; a summary of the passes uses them.
    bool passDone = false;
    // A report sent once when an adjustment's passes have ended (not after
    // a pass that failed), with pass 0: `converged` tells whether they ended
    // on the change test of the tolerance rather than on the pass limit.
    bool passesEnded = false;
    bool converged = false;
    // Inside a pass whose normal equations the pseudo-inverse solves: the
    // share of that solve done (0 to 1), reported as it goes on, so that a
    // pass of minutes shows that it moves; negative when not known.
    double passShare = -1.0;
};

// The words of a progress report, part by part (UTF-8); a part that does
// not apply is empty.
struct ProgressParts {
    std::string stage;       // "svazkové vyrovnání"
    std::string adjustment;  // "s konstantou komory (bez odlehlých měření)"
    std::string pass;        // "iterace 3": the pass that runs
    std::string m0;          // "m0 = 0,0123457": the pass before's, 6 significant digits
};

// The parts of `progress`, numbers with the decimal separator `decimal`.
// The m0 is left out before the second pass and when it is no number.
ProgressParts ProgressPartsOf(const ComputationProgress& progress, char decimal);

// The progress line: "Výpočet: ", the stage, the adjustment after a blank,
// the pass and the m0 after ", ", e.g. "Výpočet: svazkové vyrovnání bez
// konstanty komory, iterace 2, m0 = 0,0123457".  A line for a display at
// most `columns` characters wide leaves out what does not fit, first the
// heading "Výpočet: ", then the adjustment (stage, pass and m0 are what the
// user waits on), and as a last resort is cut at `columns`: a terminal line
// that wraps can no longer be redrawn in place.
std::string ProgressText(const ComputationProgress& progress, char decimal,
                         std::size_t columns = std::string::npos);

class CommandHost;

// The hooks of an adjustment's passes, for the computation `progress`
// describes.  The start of pass `pass` with the m0 of the pass before
// becomes `progress`'s pass and is reported; false when the user asked to
// stop.  The end of a pass is reported with its own m0, `progress` staying
// at the start.  Both leave the computation's floating-point flags as they
// found them, whatever the host does.
bool ReportPassStart(CommandHost& host, ComputationProgress& progress, std::int32_t pass, long double m0);
void ReportPassEnd(CommandHost& host, const ComputationProgress& progress, std::int32_t pass, long double m0);

}  // namespace pelvanor
