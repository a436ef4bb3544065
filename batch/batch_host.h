#pragma once
// The batch command's CommandHost: the log lines go to the standard error
// with the time of day, as the window's log list shows them; the menu items
// are remembered so that the commands switch them as in the window; the
// camera fields hold the texts a camera load put there; on a terminal the
// progress of a long command stands on one line below the log.

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor::batch {

class BatchHost : public CommandHost {
public:
    // `terminal`: the standard error is a terminal, so a progress line may
    // be drawn and redrawn there.
    BatchHost(ProjectState& state, char decimal, int method, bool terminal, std::FILE* err = stderr);

    void WriteLog(const std::string& message) override;
    void SetItemEnabled(UiItem item, bool enabled) override;
    bool IsItemEnabled(UiItem item) const override;
    bool ReadCameraFields() override;
    void ShowCameraFields(const CameraFieldTexts& texts) override;
    int OrientationMethod() const override { return method_; }
    char DecimalSeparator() const override { return decimal_; }
    void ShowMessage(const std::string& text) override;
    void ReportProgress(const ComputationProgress& progress) override;
    // SIGINT or SIGTERM has arrived (see stop_signals.h).
    bool CancelRequested() const override;
    // "Výpočet přerušen (SIGTERM)".
    std::string CancelledLine() const override;

    // Removes the progress line, if one is drawn.
    void EndProgress();

    // The last pass of each adjustment of the latest bundle adjustment.
    struct AdjustmentRun {
        // 1 without and 2 with a camera constant per image, 3 and 4 the same
        // again without the outliers of the robust estimation.
        int adjustment = 0;
        std::int32_t passes = 0;
        long double m0 = 0.0L;
        // The passes ended on the change test, not on the pass limit (false
        // also for an adjustment that failed).
        bool converged = false;
    };
    const std::vector<AdjustmentRun>& Adjustments() const { return adjustments_; }

    // The log's warning lines ("Upozornění - ...") and failure lines
    // ("Chyba - ..."), in order.
    const std::vector<std::string>& Warnings() const { return warnings_; }
    const std::vector<std::string>& Errors() const { return errors_; }

private:
    void Line(const std::string& text);

    ProjectState& state_;
    char decimal_;
    int method_;
    bool terminal_;
    std::FILE* err_;
    std::map<UiItem, bool> items_;
    CameraFieldTexts fields_{};
    std::string progress_;  // the progress line as drawn, empty: none
    std::vector<AdjustmentRun> adjustments_;
    std::vector<std::string> warnings_;
    std::vector<std::string> errors_;
};

}  // namespace pelvanor::batch
