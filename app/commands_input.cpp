// The "Soubor" commands: loading and saving the camera file, loading the
// control point files and the image coordinate files, and the menu items
// that the loaded inputs switch on.

#include <QComboBox>
#include <QPushButton>

#include <string>
#include <vector>

#include "app/labeled_edit.h"
#include "app/tpelvanor.h"
#include "app/window_services.h"
#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "project/loaders.h"
#include "project/warnings.h"

namespace pelvanor {

namespace {

// File names in the order the images are numbered, as the core reads them.
std::vector<std::string> SortedFileNames(QStringList files) {
    SortFileNames(files);
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(files.size()));
    for (const QString& file : files) names.push_back(ToUtf8(file));
    return names;
}

}  // namespace

// ---------------------------------------------------------------------------
// Menu items switched on by the loaders.  Nothing here disables the
// computing commands once they are on.

void TPelvanor::EnableAfterCameraLoad() {
    if (!state_.ControlPointsLoaded) return;
    SetItemEnabled(UiItem::Opravadistorze1, true);
    SetItemEnabled(UiItem::Piblinvnjorientace1, true);
    if (state_.ImagePointsLoaded) {
        SetItemEnabled(UiItem::Svazkovvyrovnn1, true);
        SetItemEnabled(UiItem::SouadniceXYZ1, true);
    }
}

void TPelvanor::EnableAfterControlPointLoad() {
    SetItemEnabled(UiItem::Orientace1, true);
    if (!state_.CameraLoaded) return;
    SetItemEnabled(UiItem::Opravadistorze1, true);
    SetItemEnabled(UiItem::Piblinvnjorientace1, true);
    // "Snímkové souřadnice" is on exactly when the last image coordinate
    // load succeeded.
    if (IsItemEnabled(UiItem::Snmkovsouadnice1)) {
        SetItemEnabled(UiItem::Svazkovvyrovnn1, true);
        SetItemEnabled(UiItem::SouadniceXYZ1, true);
    }
}

void TPelvanor::EnableAfterImagePointLoad() {
    SetItemEnabled(UiItem::Snmkovsouadnice1, true);
    if (!state_.CameraLoaded) return;
    SetItemEnabled(UiItem::Opravadistorze1, true);
    // "Orientace" is on exactly when the last control point load succeeded.
    if (IsItemEnabled(UiItem::Orientace1)) {
        SetItemEnabled(UiItem::Piblinvnjorientace1, true);
        SetItemEnabled(UiItem::Svazkovvyrovnn1, true);
        SetItemEnabled(UiItem::SouadniceXYZ1, true);
    }
}

// ---------------------------------------------------------------------------
// "Načíst kameru"

void TPelvanor::Nastkameru1Click() {
    QString file;
    if (!ChooseOpenFile(FileDialogId::OpenDialog1, file)) return;
    // On failure the values read before the error stay in the record, the
    // fields and the menu stay as they were, and CameraLoaded is cleared.
    if (!LoadCameraFile(ToUtf8(file), state_)) {
        WriteLog(QStringLiteral("Chyba - Parametry kamery nenačteny"));
        return;
    }
    const CameraFieldTexts texts = CameraFieldTextsOf(state_.Camera, DecimalSeparator());
    for (int i = 0; i < 8; ++i) CameraField(i + 1)->setText(FromUtf8(texts[static_cast<std::size_t>(i)]));
    WriteLog(QStringLiteral("Načten soubor: ") + file);
    WriteLog(QStringLiteral("Parametry kamery načteny"));
    EnableAfterCameraLoad();
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
    for (const QString& file : files) {
        WriteLog(QStringLiteral("Načten soubor: ") + file);
        bit_btn2_->setEnabled(true);
    }
    // Fills the control point tables, checks that every image has four
    // control points and presets the first four of each as its orientation
    // points.
    const ControlLoadResult result = LoadControlPoints(SortedFileNames(files), state_);
    if (result.status == ControlLoadResult::Status::TooFewPoints) {
        ShowMessage(QStringLiteral("Chyba v minimálním počtu vlícovacích bodů - snímek ") + QString::number(result.image));
    }
    if (result.status != ControlLoadResult::Status::Loaded) {
        WriteLog(QStringLiteral("Chyba - Vlícovací body nenačteny do programu"));
        bit_btn2_->setEnabled(false);
        SetItemEnabled(UiItem::Orientace1, false);
        ReportAfterLoad(SortedFileNames(files), true, false, state_, *this);
        return;
    }
    combo_box2_->clear();
    for (qsizetype k = 1; k <= files.size(); ++k) combo_box2_->addItem(QStringLiteral("Snimek ") + QString::number(k));
    combo_box2_->setCurrentIndex(0);
    WriteLog(QStringLiteral("Vlícovací body načteny do programu"));
    EnableAfterControlPointLoad();
    ReportAfterLoad(SortedFileNames(files), true, true, state_, *this);
}

// ---------------------------------------------------------------------------
// "Načíst snímkové souřadnice"

void TPelvanor::Nastsnmkovsouadnice1Click() {
    QStringList files;
    if (!ChooseOpenFiles(FileDialogId::OpenDialog2, files)) return;
    for (const QString& file : files) WriteLog(QStringLiteral("Načten soubor: ") + file);
    // On failure the matrices keep what was read and ImagePointsLoaded keeps
    // its value.
    if (!LoadImagePoints(SortedFileNames(files), state_)) {
        WriteLog(QStringLiteral("Chyba - Snímkové souřadnice nenačteny"));
        SetItemEnabled(UiItem::Snmkovsouadnice1, false);
        ReportAfterLoad(SortedFileNames(files), false, false, state_, *this);
        return;
    }
    WriteLog(QStringLiteral("Snímkové souřadnice načteny do programu"));
    EnableAfterImagePointLoad();
    ReportAfterLoad(SortedFileNames(files), false, true, state_, *this);
}

}  // namespace pelvanor
