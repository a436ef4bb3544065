#pragma once
// The close the bundle adjustment and object coordinate pipelines share.

#include <functional>
#include <span>

#include "project/command_host.h"

namespace pelvanor::detail {

// Writes `doneLine` and runs `onDone` on success, `failedLine` and
// `onFailed` otherwise, then switches the result items the pipeline feeds
// to the result.
inline void EndPipeline(CommandHost& host, bool result, const char* doneLine, const char* failedLine,
                        std::span<const UiItem> items, const std::function<void()>& onDone,
                        const std::function<void()>& onFailed) {
    host.WriteLog(result ? doneLine : failedLine);
    (result ? onDone : onFailed)();
    for (UiItem item : items) host.SetItemEnabled(item, result);
}

}  // namespace pelvanor::detail
