#include "batch/batch_host.h"

#include <sys/ioctl.h>

#include "batch/stop_signals.h"
#include "matrix/fp_guard.h"
#include "project/loaders.h"
#include "project/progress.h"
#include "uilocale/locale_services.h"

namespace pelvanor::batch {

BatchHost::BatchHost(ProjectState& state, char decimal, int method, bool terminal, std::FILE* err)
    : state_(state), decimal_(decimal), method_(method), terminal_(terminal), err_(err) {}

void BatchHost::Line(const std::string& text) {
    // A drawn progress line is taken away first and drawn again below.
    if (!progress_.empty()) std::fputs("\r\033[K", err_);
    std::fputs(text.c_str(), err_);
    std::fputc('\n', err_);
    if (!progress_.empty()) std::fputs(progress_.c_str(), err_);
    std::fflush(err_);
}

void BatchHost::WriteLog(const std::string& message) {
    if (message.rfind("Upozornění", 0) == 0) warnings_.push_back(message);
    if (message.rfind("Chyba", 0) == 0) errors_.push_back(message);
    Line(CurrentLongTime().toStdString() + ": " + message);
}

bool BatchHost::CancelRequested() const { return StopSignal() != 0; }

std::string BatchHost::CancelledLine() const { return "Výpočet přerušen (" + StopSignalName(StopSignal()) + ")"; }

void BatchHost::SetItemEnabled(UiItem item, bool enabled) { items_[item] = enabled; }

bool BatchHost::IsItemEnabled(UiItem item) const {
    const auto it = items_.find(item);
    return it != items_.end() && it->second;
}

bool BatchHost::ReadCameraFields() { return ReadCameraFieldTexts(fields_, decimal_, state_.Camera); }

void BatchHost::ShowCameraFields(const CameraFieldTexts& texts) { fields_ = texts; }

void BatchHost::ShowMessage(const std::string& text) { WriteLog(text); }

namespace {

// The adjustment's number 1..4 (see AdjustmentRun), 0 outside one.
int AdjustmentNumber(const ComputationProgress& progress) {
    if (progress.adjustment == AdjustmentKind::None) return 0;
    return (progress.adjustment == AdjustmentKind::WithCameraConstant ? 2 : 1) + (progress.withoutOutliers ? 2 : 0);
}

// Characters that fit on one line of the terminal `stream` shows, one fewer
// than its width so that the cursor never wraps; 79 when the width is not
// known.
std::size_t TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col - 1U;
    return 79;
}

}  // namespace

void BatchHost::ReportProgress(const ComputationProgress& progress) {
    // Called from inside the computations: whatever the formatting and the
    // output do to the floating-point flags stays here.
    FpScope scope;
    if (progress.passesEnded) {
        if (!adjustments_.empty()) adjustments_.back().converged = progress.converged;
        return;
    }
    if (progress.stage == ComputationStage::Adjustment) {
        const int adjustment = AdjustmentNumber(progress);
        if (adjustment == 0) {
            adjustments_.clear();
        } else if (progress.pass == 0) {
            adjustments_.push_back({adjustment, 0, 0.0L});
        } else if (progress.passDone && !adjustments_.empty()) {
            adjustments_.back().passes = progress.pass;
            adjustments_.back().m0 = progress.m0;
        }
    }
    // The line shows the pass that runs and the m0 of the pass before, as
    // the window's does.
    if (progress.passDone || !terminal_) return;
    progress_ = "\r" + ProgressText(progress, decimal_, TerminalColumns(err_)) + "\033[K";
    std::fputs(progress_.c_str(), err_);
    std::fflush(err_);
}

void BatchHost::EndProgress() {
    if (progress_.empty()) return;
    std::fputs("\r\033[K", err_);
    std::fflush(err_);
    progress_.clear();
}

}  // namespace pelvanor::batch
