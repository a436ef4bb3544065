#pragma once
// The main window: the camera fields, the two combo boxes of the approximate
// orientation, the protocol panel, the log list and the menu of every
// command.  It owns the one ProjectState and serves the Qt-free commands as
// their CommandHost.
//
// The command handlers are members named after their menu items; each group
// of commands lives in its own file (commands_input.cpp, commands_distortion.cpp,
// commands_pipelines.cpp, commands_results.cpp), so a command is added or
// completed without touching the window's construction.

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/computation.h"
#include "app/dialogs.h"
#include "project/command_host.h"
#include "project/project_state.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QTimer;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace pelvanor {

class LabeledEdit;
class TForm2;
class TForm3;
class TForm5;
class TForm6;
class TForm7;
class TForm8;

class TPelvanor : public QMainWindow, public CommandHost {
    Q_OBJECT
public:
    // `dialogs` answers the file dialogs, message boxes and modal dialogs;
    // null gives the real ones.
    explicit TPelvanor(std::unique_ptr<UiDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TPelvanor() override;

    // CommandHost.
    void WriteLog(const std::string& message) override;
    void SetItemEnabled(UiItem item, bool enabled) override;
    bool IsItemEnabled(UiItem item) const override;
    bool ReadCameraFields() override;
    void ShowCameraFields(const CameraFieldTexts& texts) override;
    int OrientationMethod() const override;
    void ShowImageList(int images) override;
    char DecimalSeparator() const override;

    // One log line: the time of day in the locale's long format, ": " and
    // the message, inserted at the top; the list keeps the eleven newest.
    void WriteLog(const QString& message);
    // A UTF-8 literal.
    void WriteLog(const char* message) { WriteLog(QString::fromUtf8(message)); }

    ProjectState& State() { return state_; }
    const ProjectState& State() const { return state_; }
    UiDialogs& Dialogs() { return *dialogs_; }

    // The protocol panel: clearing leaves no line at all, ProtocolLine adds
    // one line at the end.  A results display clears it first, which marks
    // the panel as showing results of the inputs loaded now.
    void ClearProtocol();
    // The panel as at the start: one empty line, no results shown.
    void ResetProtocol();
    void ProtocolLine(const std::string& text);
    void ProtocolLines(const std::vector<std::string>& lines);
    // The panel's lines as the user sees them (UTF-8).
    std::vector<std::string> ProtocolPanelLines() const;

    // Every message passed to WriteLog since the window was created, oldest
    // first, without the time.
    const std::vector<std::string>& LogHistory() const { return log_history_; }
    // The log list as shown, top line first.
    QStringList LogListLines() const;

    // Window elements, for the commands and for tests.
    LabeledEdit* CameraField(int number) const;  // LabeledEdit1 .. LabeledEdit8
    QComboBox* ComboBox1() const { return combo_box1_; }
    QComboBox* ComboBox2() const { return combo_box2_; }
    QPushButton* BitBtn2() const { return bit_btn2_; }
    QPushButton* SaveProtocolButton() const { return save_button_; }
    QPlainTextEdit* Memo2() const { return memo2_; }
    QListWidget* ListBox1() const { return list_box1_; }
    QAction* MenuAction(UiItem item) const;
    TForm2& Form2() { return *form2_; }
    TForm3& Form3() { return *form3_; }
    TForm5& Form5() { return *form5_; }
    // The pictures' window once "Grafy" has opened it, else null.
    TForm6* Form6() const { return form6_; }
    // The tables' window once "Tabulka výsledků" has opened it, else null.
    TForm7* Form7() const { return form7_; }
    // The user guide's window once it has been opened, else null.
    TForm8* Form8() const { return form8_; }

    // A computing command runs on its own thread ("Přibližná vnější
    // orientace", "Svazkové vyrovnání", "Souřadnice XYZ", "Kalibrace kamery"
    // of "Výpočty"):
    // true until it has ended.
    bool Computing() const { return computing_ && !computation_ended_; }
    // The progress line under the protocol panel and its "Zrušit" button,
    // shown once a computation has run for half a second.
    QLabel* ProgressLabel() const { return progress_label_; }
    // Called once on the window's thread as soon as the next computation
    // runs, while it runs (the scripted driver acts then).
    void WhenNextComputationRuns(std::function<void()> action) { when_running_ = std::move(action); }

public slots:
    // "Soubor".
    void Nastkameru1Click();
    void Uloitkameru1Click();
    void Nastorientaci1Click();
    void Nastsnmkovsouadnice1Click();
    // "Načíst projekt": the three loads above from one folder.
    void Nastprojekt1Click();
    // "Načíst přesnost vlícovacích bodů": the control accuracy file.
    void Nastpesnost1Click();
    void Konec1Click();
    // "Výpočty".
    void N1Click();
    void Snmkovsouadnice1Click();
    void Orientace1Click();
    void Piblinvnjorientace1Click();
    void Svazkovvyrovnn1Click();
    void SouadniceXYZ1Click();
    void Kalibracekamery1Click();
    // "Výsledky".
    void Snmkovsouadnice2Click();
    void Orientace2Click();
    void Piblineenvnjorientace1Click();
    void Svazkovvyrovnn2Click();
    void SouadniceXYZ2Click();
    void Kompletn1Click();
    void Pouzesouadnice1Click();
    // "Výsledky" > "Kalibrace kamery", "Protokoly" > "Kalibrace kamery",
    // "Převzít kalibrovanou kameru".
    void Kalibracekamery2Click();
    void Kalibracekamery3Click();
    void Pevztkalibrovanoukameru1Click();
    // "Grafy": the pictures' window, opened or brought to the front.
    void Grafy1Click();
    void Kontrolnbody1Click();
    void Kontrolnbody2Click();
    // "Tabulka výsledků": the tables' window, opened or brought to the front.
    void Tabulkavsledk1Click();
    // "Exportovat body": the computed points as CSV, DXF or PLY.
    void Exportovatbody1Click();
    // "O programu".
    void Help1Click();
    // "Nápověda" > "Uživatelská příručka", F1 anywhere and the about box's
    // link: the user guide in the program's own window.
    void UserGuideClick();
    // Buttons.
    void BitBtn2Click();
    void Ulozprotokol1Click();
    // "Zrušit": asks the running computation to stop.
    void CancelComputation();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // Runs a command; an error it does not catch itself (a file that cannot
    // be written) is shown in a message box with its text and ends it.
    // While a computation runs no command starts, except "Konec", which
    // closes the window.
    void RunCommand(void (TPelvanor::*handler)());
    // Runs a computing command off the window's thread and returns when it
    // has ended; meanwhile the window paints, shows the progress and offers
    // "Zrušit", and everything that starts a command is disabled.
    void RunComputation(const std::function<bool(ProjectState&, CommandHost&)>& command);

    // The file dialogs; false when the user cancels.  Names are absolute.
    bool ChooseOpenFile(FileDialogId id, QString& file);
    bool ChooseOpenFiles(FileDialogId id, QStringList& files);
    bool ChooseSaveFile(FileDialogId id, QString& file);
    void ShowMessage(const QString& text);
    // A notice a computation shows while it goes on (modal message box).
    void ShowMessage(const std::string& text) override;

private:
    void BuildMenu();
    void BuildElements();
    // Everything the user could start a command or change its input with:
    // the menu bar, the camera fields, the combo boxes and the buttons.
    void SetCommandInputEnabled(bool enabled);
    void UpdateProgress();
    void FormCreate();
    QAction* AddCommand(QMenu* menu, UiItem item, const QString& caption, bool enabled,
                        void (TPelvanor::*handler)());

    // The three loads after their dialogs, shared with "Načíst projekt".
    void LoadCameraFrom(const QString& file);
    void LoadControlPointsFrom(const QStringList& files);
    void LoadImagePointsFrom(const QStringList& files);

    std::unique_ptr<UiDialogs> dialogs_;
    ProjectState state_;
    std::vector<std::string> log_history_;
    bool panel_has_no_lines_ = false;
    // Every successful load counts as new inputs.  The panel remembers the
    // count of the results it shows, so that a computation on other inputs
    // never leaves an earlier project's protocol behind "Ulož protokol".
    unsigned inputs_loaded_ = 0;
    unsigned panel_inputs_ = 0;
    bool panel_holds_results_ = false;
    bool centred_ = false;

    std::array<QAction*, static_cast<std::size_t>(UiItem::BitBtn2) + 1> actions_{};
    QGroupBox* group_box1_ = nullptr;
    std::array<LabeledEdit*, 8> camera_fields_{};
    QComboBox* combo_box1_ = nullptr;
    QComboBox* combo_box2_ = nullptr;
    QPushButton* bit_btn2_ = nullptr;
    QPushButton* save_button_ = nullptr;
    QPlainTextEdit* memo2_ = nullptr;
    QListWidget* list_box1_ = nullptr;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<TForm5> form5_;

    // The running computation.
    bool computing_ = false;
    bool computation_ended_ = false;
    bool close_pending_ = false;
    // The menus of the menu bar, "O programu" and "Vybrat body" as the
    // commands set them, while the computation keeps them off.
    std::vector<std::pair<QAction*, bool>> held_menus_;
    bool bit_btn2_enabled_ = false;
    ComputationMonitor monitor_;
    QLabel* progress_label_ = nullptr;
    QPushButton* cancel_button_ = nullptr;
    QTimer* progress_timer_ = nullptr;
    std::chrono::steady_clock::time_point computation_started_;
    std::function<void()> when_running_;
    TForm6* form6_ = nullptr;  // a child window, made on first use
    TForm7* form7_ = nullptr;  // the same
    TForm8* form8_ = nullptr;  // the same
    QString project_name_;
};

}  // namespace pelvanor
