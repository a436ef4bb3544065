#include "app/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace pelvanor {

namespace {

bool IsSaveDialog(FileDialogId id) {
    return id == FileDialogId::SaveDialog1 || id == FileDialogId::SaveDialog2;
}

bool RunFileDialog(QWidget* parent, FileDialogId id, QString& folder, QStringList& chosen) {
    QFileDialog dialog(parent);
    dialog.setDirectory(folder);
    if (IsSaveDialog(id)) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        dialog.setNameFilter(QStringLiteral("*.txt (*.txt)"));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(id == FileDialogId::OpenDialog1 ? QFileDialog::ExistingFile
                                                           : QFileDialog::ExistingFiles);
        dialog.setOption(QFileDialog::ReadOnly, false);
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    for (QString& name : chosen) name = QFileInfo(name).absoluteFilePath();
    folder = QFileInfo(chosen.front()).absolutePath();
    return true;
}

}  // namespace

QString SampleProjectsFolder() {
    // The build passes both candidates; the installed copy wins so that an
    // installed program never points into a source tree.
    const QString candidates[] = {QStringLiteral(PELVANOR_INSTALLED_EXAMPLES),
                                  QStringLiteral(PELVANOR_SOURCE_EXAMPLES)};
    for (const QString& folder : candidates)
        if (QFileInfo(folder + QStringLiteral("/fasada")).isDir()) return folder;
    return QString();
}

QtDialogs::QtDialogs(const QString& sampleFolder) {
    for (FileDialogId id : {FileDialogId::OpenDialog1, FileDialogId::OpenDialog2, FileDialogId::OpenDialog3})
        folders_[static_cast<int>(id)] = sampleFolder;
}

bool QtDialogs::GetOpenFileName(QWidget* parent, FileDialogId id, QString& file) {
    QStringList chosen;
    if (!RunFileDialog(parent, id, folders_[static_cast<int>(id)], chosen)) return false;
    file = chosen.front();
    return true;
}

bool QtDialogs::GetOpenFileNames(QWidget* parent, FileDialogId id, QStringList& files) {
    QStringList chosen;
    if (!RunFileDialog(parent, id, folders_[static_cast<int>(id)], chosen)) return false;
    files = chosen;
    return true;
}

bool QtDialogs::GetSaveFileName(QWidget* parent, FileDialogId id, QString& file) {
    QStringList chosen;
    if (!RunFileDialog(parent, id, folders_[static_cast<int>(id)], chosen)) return false;
    file = chosen.front();
    return true;
}

void QtDialogs::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

int QtDialogs::ExecModal(QDialog& dialog) { return dialog.exec(); }

}  // namespace pelvanor
