#include "app/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QCoreApplication>
#include <QDir>
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

QString ResolveSampleProjectsFolder(const QString& programFolder, const QString& dataFromProgram,
                                    const QString& buildFolder, const QString& sourceExamples) {
    auto holdsSamples = [](const QString& folder) {
        return !folder.isEmpty() && QFileInfo(folder + QStringLiteral("/fasada")).isDir();
    };
    const QString installed =
        QDir::cleanPath(programFolder + QLatin1Char('/') + dataFromProgram + QStringLiteral("/examples"));
    if (holdsSamples(installed)) return installed;
    const QString program = QDir::cleanPath(programFolder) + QLatin1Char('/');
    const QString build = QDir::cleanPath(buildFolder) + QLatin1Char('/');
    if (!buildFolder.isEmpty() && program.startsWith(build) && holdsSamples(sourceExamples))
        return QDir::cleanPath(sourceExamples);
    return QString();
}

QString SampleProjectsFolder() {
    return ResolveSampleProjectsFolder(QCoreApplication::applicationDirPath(),
                                       QStringLiteral(PELVANOR_DATA_FROM_PROGRAM),
                                       QStringLiteral(PELVANOR_BUILD_DIR),
                                       QStringLiteral(PELVANOR_SOURCE_EXAMPLES));
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
