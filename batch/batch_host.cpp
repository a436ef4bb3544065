#include "batch/batch_host.h"

#include "batch/stop_signals.h"
#include "matrix/fp_guard.h"
#include "project/loaders.h"
#include "protocol/number_format.h"
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
    // The line shows each pass once, when it has ended, with its own m0.
    if (progress.pass > 0 && !progress.passDone) return;
    if (!terminal_) return;
    progress_ = "\r" + ProgressText(progress, decimal_) + "\033[K";
    std::fputs(progress_.c_str(), err_);
    std::fflush(err_);
}

void BatchHost::EndProgress() {
    if (progress_.empty()) return;
    std::fputs("\r\033[K", err_);
    std::fflush(err_);
    progress_.clear();
}

std::string ProgressText(const ComputationProgress& progress, char decimal) {
    switch (progress.stage) {
        case ComputationStage::Orientation: return "Přibližná orientace ...";
        case ComputationStage::ObjectPoints: return "Souřadnice XYZ ...";
        case ComputationStage::Adjustment: break;
    }
    const int k = AdjustmentNumber(progress);
    if (k == 0) return "Svazkové vyrovnání ...";
    // Short enough for one line of an 80-column terminal.
    static const char* const kNames[] = {"bez f", "s f", "bez f, bez odlehlých bodů", "s f, bez odlehlých bodů"};
    std::string text = std::string("Svazkové vyrovnání (") + kNames[k - 1] + ")";
    if (progress.pass > 0)
        text += ", iterace " + std::to_string(progress.pass) + ", m0 = " +
                FormatPattern("0.000000", progress.m0, decimal);
    return text;
}

}  // namespace pelvanor::batch
