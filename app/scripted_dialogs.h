#pragma once
// UiDialogs answered from a queue, for the GUI tests and the scripted
// driver.  Nothing is shown except the modal dialogs, which run their real
// event loop while a queued action works them.

#include <deque>
#include <functional>

#include "app/dialogs.h"

namespace pelvanor {

class ScriptedDialogs : public UiDialogs {
public:
    // The next file dialog returns these files (an open dialog; a folder
    // dialog takes one folder) ...
    void AnswerOpen(const QStringList& files);
    // ... or this file (a save dialog) ...
    void AnswerSave(const QString& file);
    // ... or is cancelled (either kind).
    void AnswerCancel();
    // Runs inside the next modal dialog once its event loop is running.  A
    // dialog still open afterwards is closed with reject(), as by Escape.  A
    // modal dialog with no queued action is rejected at once.
    void ActInNextModal(std::function<void(QDialog&)> action);

    // Every message box text shown, in order.
    const QStringList& Messages() const { return messages_; }
    // Dialogs the queue could not answer (none queued, or an answer of the
    // other kind); such a dialog is cancelled.
    const QStringList& Problems() const { return problems_; }
    std::size_t PendingAnswers() const { return answers_.size(); }
    // Drops queued modal actions no dialog took (e.g. after a click on a
    // disabled button).
    void DropModalActions() { actions_.clear(); }

    bool GetOpenFileName(QWidget* parent, FileDialogId id, QString& file) override;
    bool GetOpenFileNames(QWidget* parent, FileDialogId id, QStringList& files) override;
    bool GetSaveFileName(QWidget* parent, FileDialogId id, QString& file) override;
    bool GetExistingFolder(QWidget* parent, FileDialogId id, QString& folder) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    int ExecModal(QDialog& dialog) override;

private:
    enum class Kind { Open, Save, Cancel };
    struct Answer {
        Kind kind;
        QStringList files;
    };
    bool Take(Kind wanted, FileDialogId id, QStringList& files);

    std::deque<Answer> answers_;
    std::deque<std::function<void(QDialog&)>> actions_;
    QStringList messages_;
    QStringList problems_;
};

}  // namespace pelvanor
