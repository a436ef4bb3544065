#include "app/computation.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <cfenv>
#include <chrono>
#include <exception>
#include <thread>

#include "matrix/fp_guard.h"

namespace pelvanor {

void RunOffThread(QObject& context, bool& ended, const std::function<void()>& work,
                  const std::function<void()>& running) {
    fenv_t environment;
    fegetenv(&environment);
    std::exception_ptr failure;
    ended = false;
    std::thread worker([&] {
        fesetenv(&environment);
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Posted after every call the work made, so delivered after them.
        QMetaObject::invokeMethod(&context, [&ended] { ended = true; }, Qt::QueuedConnection);
    });
    if (running) running();
    while (!ended) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

void ComputationMonitor::Reset() {
    const std::lock_guard<std::mutex> lock(mutex_);
    latest_ = ComputationProgress{};
    cancel_.store(false);
}

void ComputationMonitor::Store(const ComputationProgress& progress) {
    const std::lock_guard<std::mutex> lock(mutex_);
    latest_ = progress;
}

ComputationProgress ComputationMonitor::Latest() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
}

void ForwardingHost::OnWindowThread(const std::function<void()>& call) const {
    const FpScope keepFlags;
    QMetaObject::invokeMethod(&context_, call, Qt::BlockingQueuedConnection);
}

void ForwardingHost::WriteLog(const std::string& message) {
    OnWindowThread([&] { window_.WriteLog(message); });
}

void ForwardingHost::SetItemEnabled(UiItem item, bool enabled) {
    OnWindowThread([&] { window_.SetItemEnabled(item, enabled); });
}

bool ForwardingHost::IsItemEnabled(UiItem item) const {
    bool enabled = false;
    OnWindowThread([&] { enabled = window_.IsItemEnabled(item); });
    return enabled;
}

bool ForwardingHost::ReadCameraFields() {
    bool ok = false;
    OnWindowThread([&] { ok = window_.ReadCameraFields(); });
    return ok;
}

int ForwardingHost::OrientationMethod() const {
    int method = 0;
    OnWindowThread([&] { method = window_.OrientationMethod(); });
    return method;
}

char ForwardingHost::DecimalSeparator() const {
    char decimal = '.';
    OnWindowThread([&] { decimal = window_.DecimalSeparator(); });
    return decimal;
}

void ForwardingHost::ShowMessage(const std::string& text) {
    OnWindowThread([&] { window_.ShowMessage(text); });
}

void ForwardingHost::ReportProgress(const ComputationProgress& progress) {
    // The line shows the pass that runs; the end-of-pass reports would show
    // the same pass again with the m0 that the next start reports anyway.
    if (progress.passDone || progress.passesEnded) return;
    const FpScope keepFlags;
    monitor_.Store(progress);
}

QString ElapsedText(std::chrono::steady_clock::duration elapsed) {
    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    const QChar zero = QLatin1Char('0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, zero).arg(seconds % 60, 2, 10, zero);
}

}  // namespace pelvanor
