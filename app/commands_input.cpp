// The "Soubor" commands: loading and saving the camera file, loading the
// control point files and the image coordinate files: the Qt-free commands
// of project/loaders.h with the window's file dialogs.

#include <string>
#include <vector>

#include "app/labeled_edit.h"
#include "app/tpelvanor.h"
#include "app/window_services.h"
#include "project/loaders.h"
#include "project/weighted_control.h"

namespace pelvanor {

namespace {

// File names in the order the images are numbered.
std::vector<std::string> SortedFileNames(QStringList files) {
    SortFileNames(files);
    return ToUtf8Names(files);
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
    CameraFieldTexts texts;
    for (int i = 0; i < 8; ++i) texts[static_cast<std::size_t>(i)] = ToUtf8(CameraField(i + 1)->text());
    SaveCameraCommand(
        texts,
        [this](std::string& file) {
            QString chosen;
            if (!ChooseSaveFile(FileDialogId::SaveDialog1, chosen)) return false;
            file = ToUtf8(chosen);
            return true;
        },
        *this);
}

// ---------------------------------------------------------------------------
// "Načíst orientaci"

void TPelvanor::Nastorientaci1Click() {
    QStringList files;
    if (!ChooseOpenFiles(FileDialogId::OpenDialog3, files)) return;
    LoadControlPointsFrom(files);
}

void TPelvanor::LoadControlPointsFrom(const QStringList& files) {
    if (LoadControlPointsCommand(ToUtf8Names(files), SortedFileNames(files), state_, *this).status ==
        ControlLoadResult::Status::Loaded)
        ++inputs_loaded_;
}

// ---------------------------------------------------------------------------
// "Načíst přesnost vlícovacích bodů"

void TPelvanor::Nastpesnost1Click() {
    QString file;
    if (!ChooseOpenFile(FileDialogId::OpenDialog4, file)) return;
    LoadControlAccuracyCommand(ToUtf8(file), state_, *this);
}

// ---------------------------------------------------------------------------
// "Načíst snímkové souřadnice"

void TPelvanor::Nastsnmkovsouadnice1Click() {
    QStringList files;
    if (!ChooseOpenFiles(FileDialogId::OpenDialog2, files)) return;
    LoadImagePointsFrom(files);
}

void TPelvanor::LoadImagePointsFrom(const QStringList& files) {
    if (LoadImagePointsCommand(ToUtf8Names(files), SortedFileNames(files), state_, *this)) {
        ++inputs_loaded_;
        // The folder of the measurements names the project in the pictures' title.
        project_name_ = ProjectNameOf(files.front());
    }
}

}  // namespace pelvanor
