#include "app/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

#include <iterator>

namespace pelvanor {

namespace {

bool IsSaveDialog(FileDialogId id) {
    return id == FileDialogId::SaveDialog1 || id == FileDialogId::SaveDialog2 || id == FileDialogId::SaveDialog3 ||
           id == FileDialogId::SaveDialog4;
}

const char* const kSettingKeys[] = {"OpenDialog1", "OpenDialog2", "OpenDialog3", "SaveDialog1",
                                    "SaveDialog2", "OpenFolder",  "SaveDialog3", "OpenDialog4",
                                    "SaveDialog4"};

QSettings ProgramSettings() { return QSettings(QStringLiteral("pelvanor"), QStringLiteral("pelvanor")); }

bool RunFileDialog(QWidget* parent, FileDialogId id, QString& folder, QStringList& chosen) {
    QFileDialog dialog(parent);
    // Without a known folder a save dialog would open in the file system's
    // root view; the home folder is where a user can write.
    dialog.setDirectory(!folder.isEmpty() ? folder : IsSaveDialog(id) ? QDir::homePath() : QString());
    if (id == FileDialogId::OpenFolder) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    } else if (id == FileDialogId::SaveDialog3 || id == FileDialogId::SaveDialog4) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        const QStringList filters =
            id == FileDialogId::SaveDialog3
                ? QStringList{QStringLiteral("Obrázek PNG (*.png)"), QStringLiteral("Vektorový obrázek SVG (*.svg)"),
                              QStringLiteral("Dokument PDF (*.pdf)")}
                : QStringList{QStringLiteral("Tabulka CSV (*.csv)"), QStringLiteral("Výkres DXF (*.dxf)"),
                              QStringLiteral("Mračno bodů PLY (*.ply)")};
        const QStringList suffixes = id == FileDialogId::SaveDialog3
                                         ? QStringList{QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf")}
                                         : QStringList{QStringLiteral("csv"), QStringLiteral("dxf"), QStringLiteral("ply")};
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(suffixes.front());
        // A name without an extension takes the one of the chosen filter.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters, suffixes](const QString& filter) {
            const qsizetype i = filters.indexOf(filter);
            if (i >= 0) dialog.setDefaultSuffix(suffixes[i]);
        });
    } else if (IsSaveDialog(id)) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        dialog.setNameFilter(QStringLiteral("*.txt (*.txt)"));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(id == FileDialogId::OpenDialog1 || id == FileDialogId::OpenDialog4
                               ? QFileDialog::ExistingFile
                               : QFileDialog::ExistingFiles);
        dialog.setOption(QFileDialog::ReadOnly, false);
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    for (QString& name : chosen) name = QDir::cleanPath(QFileInfo(name).absoluteFilePath());
    folder = id == FileDialogId::OpenFolder ? chosen.front() : QFileInfo(chosen.front()).absolutePath();
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
    for (FileDialogId id : {FileDialogId::OpenDialog1, FileDialogId::OpenDialog2, FileDialogId::OpenDialog3,
                            FileDialogId::OpenFolder, FileDialogId::OpenDialog4})
        folders_[static_cast<int>(id)] = sampleFolder;
    // A remembered folder that is gone (a removed project, an unplugged
    // disk) leaves the default.
    QSettings settings = ProgramSettings();
    for (int i = 0; i < kDialogs; ++i) {
        const QString folder = settings.value(QStringLiteral("folders/") + QLatin1String(kSettingKeys[i])).toString();
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) folders_[i] = folder;
    }
}

QtDialogs::~QtDialogs() = default;

void QtDialogs::Chosen(FileDialogId id) {
    if (!IsSaveDialog(id)) {
        const QString project = folders_[static_cast<int>(id)];
        folders_[static_cast<int>(FileDialogId::SaveDialog1)] = project;
        folders_[static_cast<int>(FileDialogId::SaveDialog2)] = project;
        folders_[static_cast<int>(FileDialogId::SaveDialog3)] = project;
        folders_[static_cast<int>(FileDialogId::SaveDialog4)] = project;
    }
    Store();
}

void QtDialogs::Store() const {
    static_assert(std::size(kSettingKeys) == kDialogs, "one settings key per file dialog");
    QSettings settings = ProgramSettings();
    for (int i = 0; i < kDialogs; ++i) {
        if (!folders_[i].isEmpty()) settings.setValue(QStringLiteral("folders/") + QLatin1String(kSettingKeys[i]), folders_[i]);
    }
}

bool QtDialogs::GetOpenFileName(QWidget* parent, FileDialogId id, QString& file) {
    QStringList chosen;
    if (!RunFileDialog(parent, id, folders_[static_cast<int>(id)], chosen)) return false;
    file = chosen.front();
    Chosen(id);
    return true;
}

bool QtDialogs::GetOpenFileNames(QWidget* parent, FileDialogId id, QStringList& files) {
    QStringList chosen;
    if (!RunFileDialog(parent, id, folders_[static_cast<int>(id)], chosen)) return false;
    files = chosen;
    Chosen(id);
    return true;
}

bool QtDialogs::GetSaveFileName(QWidget* parent, FileDialogId id, QString& file) {
    QStringList chosen;
    if (!RunFileDialog(parent, id, folders_[static_cast<int>(id)], chosen)) return false;
    file = chosen.front();
    Chosen(id);
    return true;
}

bool QtDialogs::GetExistingFolder(QWidget* parent, FileDialogId id, QString& folder) {
    QStringList chosen;
    if (!RunFileDialog(parent, id, folders_[static_cast<int>(id)], chosen)) return false;
    folder = chosen.front();
    Chosen(id);
    return true;
}

void QtDialogs::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.exec();
}

int QtDialogs::ExecModal(QDialog& dialog) { return dialog.exec(); }

}  // namespace pelvanor
