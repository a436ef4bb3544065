#pragma once
// The close the bundle adjustment and object coordinate pipelines share, and
// how the computing pipelines stop when the user asks them to.

#include <functional>
#include <span>

#include "matrix/cancellation.h"
#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor::detail {

// Writes `doneLine` and runs `onDone` on success, `failedLine` (left out
// after a stop the user asked for, see FailureLine) and `onFailed`
// otherwise, then switches the result items the pipeline feeds to the
// result.
inline void EndPipeline(const ProjectState& state, CommandHost& host, bool result, const char* doneLine,
                        const char* failedLine, std::span<const UiItem> items,
                        const std::function<void()>& onDone, const std::function<void()>& onFailed) {
    if (result || !state.CancelLogged) host.WriteLog(result ? doneLine : failedLine);
    (result ? onDone : onFailed)();
    for (UiItem item : items) host.SetItemEnabled(item, result);
}

// For the time of a pipeline, the long kernels it calls (the pseudo-inverse
// of every adjustment pass) ask the host whether to stop, and leave early
// when it says so; the guarded computation around them then fails.
class StopQuestion {
public:
    explicit StopQuestion(const CommandHost& host) : scope_([&host] { return host.CancelRequested(); }) {}

private:
    CancellationScope scope_;
};

// True when the user has asked to stop the command: the pipeline then takes
// its failure path.  The first call of a command that sees the request writes
// the one log line that says so, before any line of a failure path.
inline bool StopRequested(ProjectState& state, CommandHost& host) {
    if (!host.CancelRequested()) return false;
    if (!state.CancelLogged) {
        state.CancelLogged = true;
        host.WriteLog(host.CancelledLine());
    }
    return true;
}

// A failure line of a pipeline ("Chyba - ...", "... nelze provést").  A
// command the user stopped fails through the same path, but its one line is
// kCancelledLine: the lines a failure of the data would give are left out,
// so that nobody looks for a fault in the project that is not there.
inline void FailureLine(ProjectState& state, CommandHost& host, const char* line) {
    if (StopRequested(state, host)) return;
    host.WriteLog(line);
}

}  // namespace pelvanor::detail
