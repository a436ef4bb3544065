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
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "project/command_host.h"
#include "project/project_state.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace pelvanor {

class LabeledEdit;
class TForm2;
class TForm3;
class TForm5;

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
    int OrientationMethod() const override;
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
    // one line at the end.
    void ClearProtocol();
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

public slots:
    // "Soubor".
    void Nastkameru1Click();
    void Uloitkameru1Click();
    void Nastorientaci1Click();
    void Nastsnmkovsouadnice1Click();
    void Konec1Click();
    // "Výpočty".
    void N1Click();
    void Snmkovsouadnice1Click();
    void Orientace1Click();
    void Piblinvnjorientace1Click();
    void Svazkovvyrovnn1Click();
    void SouadniceXYZ1Click();
    // "Výsledky".
    void Snmkovsouadnice2Click();
    void Orientace2Click();
    void Piblineenvnjorientace1Click();
    void Svazkovvyrovnn2Click();
    void SouadniceXYZ2Click();
    void Kompletn1Click();
    void Pouzesouadnice1Click();
    void Kontrolnbody1Click();
    void Kontrolnbody2Click();
    // "O programu".
    void Help1Click();
    // Buttons.
    void BitBtn2Click();
    void Ulozprotokol1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // Runs a command; an error it does not catch itself (a file that cannot
    // be written) is shown in a message box with its text and ends it.
    void RunCommand(void (TPelvanor::*handler)());

    // The file dialogs; false when the user cancels.  Names are absolute.
    bool ChooseOpenFile(FileDialogId id, QString& file);
    bool ChooseOpenFiles(FileDialogId id, QStringList& files);
    bool ChooseSaveFile(FileDialogId id, QString& file);
    void ShowMessage(const QString& text);
    // A notice a computation shows while it goes on (modal message box).
    void ShowMessage(const std::string& text) override;
    // Repaints between the passes of an adjustment; user input waits.
    void KeepResponsive() override;

private:
    void BuildMenu();
    void BuildElements();
    void FormCreate();
    QAction* AddCommand(QMenu* menu, UiItem item, const QString& caption, bool enabled,
                        void (TPelvanor::*handler)());

    // Menu enabling after the loading commands.
    void EnableAfterCameraLoad();
    void EnableAfterControlPointLoad();
    void EnableAfterImagePointLoad();

    std::unique_ptr<UiDialogs> dialogs_;
    ProjectState state_;
    std::vector<std::string> log_history_;
    bool panel_has_no_lines_ = false;
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
};

}  // namespace pelvanor
