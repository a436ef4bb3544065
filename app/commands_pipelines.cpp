// The four computing commands of "Výpočty": the window runs the same
// Qt-free commands that the tests test and that any other front end runs.
// Each clears OrientationLogged first, so that the orientation's success
// lines reach the log once per command, then runs its pipeline, which writes
// its own log lines and switches the result items.
//
// They run on a thread of their own (see app/computation.h), so that the
// window paints and answers "Zrušit" and its close button however long they
// compute.  Half a second after the start the progress line and "Zrušit"
// appear under the protocol panel; until the command has ended the menu bar,
// the camera fields, the combo boxes and the buttons are disabled, so no
// second command starts and no input of the running one changes.

#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QComboBox>
#include <QGroupBox>
#include <QTimer>

#include "project/bundle_pipeline.h"
#include "project/camera_calibration_command.h"
#include "project/object_points_pipeline.h"
#include "project/orientation_pipeline.h"
#include "project/progress.h"
#include "app/tpelvanor.h"
#include "app/window_services.h"

namespace pelvanor {

namespace {

// How long a computation runs before its progress is shown.
constexpr auto kProgressDelay = std::chrono::milliseconds(500);

}  // namespace

// "Přibližná vnější orientace".
void TPelvanor::Piblinvnjorientace1Click() {
    RunComputation(ApproximateOrientationCommand);
}

// "Svazkové vyrovnání".
void TPelvanor::Svazkovvyrovnn1Click() {
    RunComputation(BundleCommand);
}

// "Souřadnice XYZ".
void TPelvanor::SouadniceXYZ1Click() {
    RunComputation(ObjectPointsCommand);
}

// "Kalibrace kamery": the bundle pipeline, then the self-calibration.
void TPelvanor::Kalibracekamery1Click() {
    RunComputation(CalibrationCommand);
}

void TPelvanor::RunComputation(const std::function<bool(ProjectState&, CommandHost&)>& command) {
    if (computing_) return;
    monitor_.Reset();
    bit_btn2_enabled_ = bit_btn2_->isEnabled();
    computing_ = true;
    computation_ended_ = false;
    close_pending_ = false;
    SetCommandInputEnabled(false);
    cancel_button_->setEnabled(true);
    computation_started_ = std::chrono::steady_clock::now();
    progress_timer_->start();

    ForwardingHost host(*this, *this, monitor_);
    std::exception_ptr failure;
    try {
        RunOffThread(
            *this, computation_ended_, [&] { command(state_, host); },
            [this] {
                if (!when_running_) return;
                const std::function<void()> action = std::move(when_running_);
                when_running_ = nullptr;
                action();
            });
    } catch (...) {
        failure = std::current_exception();
    }

    progress_timer_->stop();
    progress_label_->hide();
    cancel_button_->hide();
    computing_ = false;
    SetCommandInputEnabled(true);
    bit_btn2_->setEnabled(bit_btn2_enabled_);
    // A protocol of inputs loaded before this computation's is gone: it
    // belongs to no result the state holds now.
    if (panel_holds_results_ && panel_inputs_ != inputs_loaded_) ResetProtocol();
    // A close asked for during the computation: the state is free now.
    if (close_pending_) {
        close_pending_ = false;
        close();
        return;
    }
    if (failure) std::rethrow_exception(failure);
}

void TPelvanor::SetCommandInputEnabled(bool enabled) {
    // The menu bar's own items, so that no menu opens.  Disabling the menu
    // bar itself would not do: a menu follows its widget's enabled state
    // into its item in the parent menu, and the enabled state of the items
    // under "Výsledky" is the commands' record of what has been computed.
    if (!enabled) {
        held_menus_.clear();
        for (QAction* menu : menuBar()->actions()) {
            held_menus_.emplace_back(menu, menu->isEnabled());
            menu->setEnabled(false);
        }
    } else {
        const auto held = std::move(held_menus_);
        held_menus_.clear();
        for (const auto& [menu, state] : held) menu->setEnabled(state);
    }
    group_box1_->setEnabled(enabled);
    combo_box1_->setEnabled(enabled);
    combo_box2_->setEnabled(enabled);
    save_button_->setEnabled(enabled);
    if (!enabled) bit_btn2_->setEnabled(false);
}

void TPelvanor::CancelComputation() {
    if (!Computing()) return;
    monitor_.RequestCancel();
    cancel_button_->setEnabled(false);
}

void TPelvanor::UpdateProgress() {
    if (!Computing()) return;
    if (progress_label_->isHidden()) {
        if (std::chrono::steady_clock::now() - computation_started_ < kProgressDelay) return;
        progress_label_->show();
        cancel_button_->show();
    }
    // The time it has run shows that it lives also where a pass lasts long.
    progress_label_->setText(FromUtf8(ProgressText(monitor_.Latest(), UiDecimalSeparator())) +
                             QStringLiteral(" – ") +
                             ElapsedText(std::chrono::steady_clock::now() - computation_started_));
}

}  // namespace pelvanor
