// The "Soubor" commands: loading and saving the camera file, loading the
// control point files and the image coordinate files.  The loads are the
// Qt-free commands of project/loaders.h after the window's file dialogs.

#include <QDir>
#include <QFileInfo>

#include <string>
#include <vector>

#include "app/labeled_edit.h"
#include "app/tpelvanor.h"
#include "app/window_services.h"
#include "input/camera_file.h"
#include "project/loaders.h"

namespace pelvanor {

namespace {

// File names as the core reads them, in the order given.
std::vector<std::string> FileNames(const QStringList& files) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(files.size()));
    for (const QString& file : files) names.push_back(ToUtf8(file));
    return names;
}

// File names in the order the images are numbered.
std::vector<std::string> SortedFileNames(QStringList files) {
    SortFileNames(files);
    return FileNames(files);
}

}  // namespace

// ---------------------------------------------------------------------------
// "Načíst kameru"

void TPelvanor::Nastkameru1Click() {
    QString file;
    if (!ChooseOpenFile(FileDialogId::OpenDialog1, file)) return;
    LoadCameraFrom(file);
}

void TPelvanor::LoadCameraFrom(const QString& file) {
    if (LoadCameraCommand(ToUtf8(file), state_, *this)) ++inputs_loaded_;
}

// ---------------------------------------------------------------------------
// "Uložit kameru"

void TPelvanor::Uloitkameru1Click() {
    const QString refused = QStringLiteral("Chyba - Špatně zadané hodnoty parametrů kamery");
    const char decimal = DecimalSeparator();
    CameraFieldTexts texts;
    for (int i = 0; i < 8; ++i) texts[static_cast<std::size_t>(i)] = ToUtf8(CameraField(i + 1)->text());
    // Every field must read as a number in the user's notation before a file
    // is asked for; nothing is stored.
    if (!CameraTextsSavable(texts, decimal)) {
        WriteLog(refused);
        return;
    }
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog1, file)) return;
    if (!WriteCameraFile(ToUtf8(file), texts, decimal)) {
        WriteLog(refused);
        return;
    }
    WriteLog(QStringLiteral("Uložen soubor: ") + file);
}

// ---------------------------------------------------------------------------
// "Načíst orientaci"

void TPelvanor::Nastorientaci1Click() {
    QStringList files;
    if (!ChooseOpenFiles(FileDialogId::OpenDialog3, files)) return;
    LoadControlPointsFrom(files);
}

void TPelvanor::LoadControlPointsFrom(const QStringList& files) {
    if (LoadControlPointsCommand(FileNames(files), SortedFileNames(files), state_, *this).status ==
        ControlLoadResult::Status::Loaded)
        ++inputs_loaded_;
}

// ---------------------------------------------------------------------------
// "Načíst snímkové souřadnice"

void TPelvanor::Nastsnmkovsouadnice1Click() {
    QStringList files;
    if (!ChooseOpenFiles(FileDialogId::OpenDialog2, files)) return;
    LoadImagePointsFrom(files);
}

void TPelvanor::LoadImagePointsFrom(const QStringList& files) {
    if (LoadImagePointsCommand(FileNames(files), SortedFileNames(files), state_, *this)) {
        ++inputs_loaded_;
        // The folder of the measurements names the project in the pictures' title.
        project_name_ = QFileInfo(files.front()).absoluteDir().dirName();
    }
}

}  // namespace pelvanor
