#pragma once
// Running a computing command off the window's thread.
//
// The window's thread keeps processing its events (painting, the "Zrušit"
// button, the close button) while the command computes on a thread of its
// own.  The command reaches the window only through a CommandHost whose
// calls run on the window's thread while the computing thread waits for
// them, so the window's widgets are touched by their own thread alone and
// every call sees the window as it is at that moment, in the command's
// order.  The project state is the computing thread's while it runs: the
// window disables everything that could start another command and leaves
// the state alone until the command has ended.

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "project/command_host.h"

class QObject;

namespace pelvanor {

// Runs `work` on a new thread that starts with the calling thread's
// floating-point environment (the x87 and SSE control words with their
// precision and rounding, and the flags as they stand), so that it computes
// exactly as the calling thread would.  Meanwhile the calling thread's
// events are processed; `running` (if any) is called once on the calling
// thread just after the start.  `ended` turns true, on the calling thread,
// once `work` has ended and every call it posted to `context` has been
// delivered; then the function returns.  An exception of `work` is rethrown
// here.
void RunOffThread(QObject& context, bool& ended, const std::function<void()>& work,
                  const std::function<void()>& running);

// The newest progress report of a running command and the user's request to
// stop it, shared between the computing thread and the window's thread.
class ComputationMonitor {
public:
    void Reset();
    void Store(const ComputationProgress& progress);
    ComputationProgress Latest() const;
    void RequestCancel() { cancel_.store(true); }
    bool CancelRequested() const { return cancel_.load(); }

private:
    mutable std::mutex mutex_;
    ComputationProgress latest_;
    std::atomic<bool> cancel_{false};
};

// The CommandHost of a command that runs off the window's thread: every
// call of the window's host is made on the window's thread (`context`'s)
// while the caller waits; progress and the stop request go to `monitor`.
// The floating-point fault flags of the computing thread stay as they were
// across every call.
class ForwardingHost final : public CommandHost {
public:
    ForwardingHost(QObject& context, CommandHost& window, ComputationMonitor& monitor)
        : context_(context), window_(window), monitor_(monitor) {}

    void WriteLog(const std::string& message) override;
    void SetItemEnabled(UiItem item, bool enabled) override;
    bool IsItemEnabled(UiItem item) const override;
    bool ReadCameraFields() override;
    int OrientationMethod() const override;
    char DecimalSeparator() const override;
    void ShowMessage(const std::string& text) override;
    void ReportProgress(const ComputationProgress& progress) override;
    bool CancelRequested() const override { return monitor_.CancelRequested(); }

private:
    void OnWindowThread(const std::function<void()>& call) const;

    QObject& context_;
    CommandHost& window_;
    ComputationMonitor& monitor_;
};

// The time a computation has run: "0:07", "12:40", "1:02:03".
QString ElapsedText(std::chrono::steady_clock::duration elapsed);

}  // namespace pelvanor
