#pragma once
// The window's file dialogs, message boxes and modal dialogs behind one
// interface, so that tests and the scripted driver answer them.  QtDialogs
// shows the real ones; ScriptedDialogs (app/scripted_dialogs.h) answers
// from a queue.

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace pelvanor {

// The main window's dialogs.  Open dialogs show all files; the save dialogs
// add the extension "txt" to a name without one and filter "*.txt", except
// the pictures' dialog, which offers PNG, SVG and PDF, and the export's,
// which offers CSV, DXF and PLY; these add the chosen filter's extension.
enum class FileDialogId {
    OpenDialog1,  // one file: "Načíst kameru"
    OpenDialog2,  // several files: "Načíst snímkové souřadnice"
    OpenDialog3,  // several files: "Načíst orientaci"
    SaveDialog1,  // "Uložit kameru"
    SaveDialog2,  // result files and "Ulož protokol"
    OpenFolder,   // one folder: "Načíst projekt"
    SaveDialog3,  // pictures of "Grafy": PNG, SVG or PDF
    OpenDialog4,  // one file: "Načíst přesnost vlícovacích bodů"
    SaveDialog4,  // "Exportovat body": CSV, DXF or PLY (the last: QtDialogs counts to it)
};

// The folder of the sample projects for a program in `programFolder`: the
// installed copy beside it (`dataFromProgram`, the data folder relative to
// the program's folder, + "/examples"), or `sourceExamples` when the program
// runs from inside `buildFolder`; empty when neither holds a project.  The
// installed copy is found wherever the package put the program, so an
// installed program never points into a source tree or another prefix.
QString ResolveSampleProjectsFolder(const QString& programFolder, const QString& dataFromProgram,
                                    const QString& buildFolder, const QString& sourceExamples);
// The same for this program (QCoreApplication::applicationDirPath()).
QString SampleProjectsFolder();

class UiDialogs {
public:
    virtual ~UiDialogs() = default;
    // Each returns false when the user cancels.  File names are absolute.
    virtual bool GetOpenFileName(QWidget* parent, FileDialogId id, QString& file) = 0;
    virtual bool GetOpenFileNames(QWidget* parent, FileDialogId id, QStringList& files) = 0;
    virtual bool GetSaveFileName(QWidget* parent, FileDialogId id, QString& file) = 0;
    // An existing folder (absolute).
    virtual bool GetExistingFolder(QWidget* parent, FileDialogId id, QString& folder) = 0;
    // A modal message box with the text and an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // Shows a dialog modally until it is closed; QDialog::exec's result.
    virtual int ExecModal(QDialog& dialog) = 0;
};

// The real dialogs.  Each dialog remembers the folder it was last used in,
// also between runs (QSettings); the open dialogs start in the sample
// projects' folder until the user has chosen files elsewhere, so that a new
// user finds a project to load at once.  A load also moves the save dialogs
// to the loaded files' folder: results are saved next to their project.
class QtDialogs : public UiDialogs {
public:
    explicit QtDialogs(const QString& sampleFolder = SampleProjectsFolder());
    ~QtDialogs() override;
    // The folder the dialog opens in next time (empty: the working folder).
    QString Folder(FileDialogId id) const { return folders_[static_cast<int>(id)]; }

    bool GetOpenFileName(QWidget* parent, FileDialogId id, QString& file) override;
    bool GetOpenFileNames(QWidget* parent, FileDialogId id, QStringList& files) override;
    bool GetSaveFileName(QWidget* parent, FileDialogId id, QString& file) override;
    bool GetExistingFolder(QWidget* parent, FileDialogId id, QString& folder) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    int ExecModal(QDialog& dialog) override;

private:
    // After a dialog was answered: a load points the save dialogs to its
    // folder; every folder is stored for the next run.
    void Chosen(FileDialogId id);
    void Store() const;

    static constexpr int kDialogs = static_cast<int>(FileDialogId::SaveDialog4) + 1;
    QString folders_[kDialogs];
};

}  // namespace pelvanor
