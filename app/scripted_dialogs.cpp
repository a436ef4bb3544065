#include "app/scripted_dialogs.h"

#include <QDialog>
#include <QTimer>

namespace pelvanor {

namespace {

QString DialogName(FileDialogId id) {
    switch (id) {
        case FileDialogId::OpenDialog1: return QStringLiteral("OpenDialog1");
        case FileDialogId::OpenDialog2: return QStringLiteral("OpenDialog2");
        case FileDialogId::OpenDialog3: return QStringLiteral("OpenDialog3");
        case FileDialogId::SaveDialog1: return QStringLiteral("SaveDialog1");
        case FileDialogId::SaveDialog2: return QStringLiteral("SaveDialog2");
        case FileDialogId::OpenFolder: return QStringLiteral("OpenFolder");
        case FileDialogId::SaveDialog3: return QStringLiteral("SaveDialog3");
        case FileDialogId::OpenDialog4: return QStringLiteral("OpenDialog4");
        case FileDialogId::SaveDialog4: return QStringLiteral("SaveDialog4");
    }
    return QString();
}

}  // namespace

void ScriptedDialogs::AnswerOpen(const QStringList& files) { answers_.push_back({Kind::Open, files}); }

void ScriptedDialogs::AnswerSave(const QString& file) { answers_.push_back({Kind::Save, {file}}); }

void ScriptedDialogs::AnswerCancel() { answers_.push_back({Kind::Cancel, {}}); }

void ScriptedDialogs::ActInNextModal(std::function<void(QDialog&)> action) {
    actions_.push_back(std::move(action));
}

bool ScriptedDialogs::Take(Kind wanted, FileDialogId id, QStringList& files) {
    if (answers_.empty()) {
        problems_ << DialogName(id) + QStringLiteral(" shown with no answer queued; cancelled");
        return false;
    }
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    if (answer.kind == Kind::Cancel) return false;
    if (answer.kind != wanted) {
        problems_ << DialogName(id) + QStringLiteral(" shown but the next answer is for the other kind of dialog; cancelled");
        return false;
    }
    const bool one = id == FileDialogId::OpenDialog1 || id == FileDialogId::OpenDialog4 ||
                     id == FileDialogId::OpenFolder;
    if (answer.files.isEmpty() || (one && answer.files.size() != 1)) {
        problems_ << DialogName(id) + (id == FileDialogId::OpenFolder ? QStringLiteral(" takes one folder; cancelled") : QStringLiteral(" takes one file; cancelled"));
        return false;
    }
    files = answer.files;
    return true;
}

bool ScriptedDialogs::GetOpenFileName(QWidget*, FileDialogId id, QString& file) {
    QStringList files;
    if (!Take(Kind::Open, id, files)) return false;
    file = files.front();
    return true;
}

bool ScriptedDialogs::GetOpenFileNames(QWidget*, FileDialogId id, QStringList& files) {
    return Take(Kind::Open, id, files);
}

bool ScriptedDialogs::GetSaveFileName(QWidget*, FileDialogId id, QString& file) {
    QStringList files;
    if (!Take(Kind::Save, id, files)) return false;
    file = files.front();
    return true;
}

bool ScriptedDialogs::GetExistingFolder(QWidget*, FileDialogId id, QString& folder) {
    QStringList files;
    if (!Take(Kind::Open, id, files)) return false;
    folder = files.front();
    return true;
}

void ScriptedDialogs::ShowMessage(QWidget*, const QString& text) { messages_ << text; }

int ScriptedDialogs::ExecModal(QDialog& dialog) {
    std::function<void(QDialog&)> action;
    if (!actions_.empty()) {
        action = std::move(actions_.front());
        actions_.pop_front();
    }
    // The action runs from the dialog's own event loop, as the user's
    // clicks would; whatever it leaves open is closed like Escape does.
    QTimer::singleShot(0, &dialog, [&dialog, action]() {
        if (action) action(dialog);
        if (dialog.isVisible()) dialog.reject();
    });
    return dialog.exec();
}

}  // namespace pelvanor
