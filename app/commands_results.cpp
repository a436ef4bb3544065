// The "Výsledky" commands that show protocols or save result files, and the
// button "Ulož protokol".

#include <QFileInfo>
#include <QString>

#include "project/camera_calibration_command.h"
#include "project/orientation_pipeline.h"
#include "project/point_export.h"
#include "project/result_commands.h"
#include "app/tpelvanor.h"
#include "app/window_services.h"

namespace pelvanor {

// "Přibližné řešení vnější orientace": the orientation protocol in the panel.
void TPelvanor::Piblineenvnjorientace1Click() {
    const auto lines = ShowOrientationResults(state_, *this);
    ClearProtocol();
    ProtocolLines(lines);
}

// "Svazkové vyrovnání" under "Výsledky": the adjustment protocol in the panel.
void TPelvanor::Svazkovvyrovnn2Click() {
    const auto lines = ShowBundleResults(state_, *this);
    ClearProtocol();
    ProtocolLines(lines);
}

// "Souřadnice XYZ" under "Výsledky": every computed point with its F-test.
void TPelvanor::SouadniceXYZ2Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog2, file)) return;
    const auto lines = SaveCoordinatesWithFTest(state_, *this, ToUtf8(file));
    if (lines.empty()) return;
    ClearProtocol();
    ProtocolLines(lines);
}

// "Protokoly" > "Kompletní".
void TPelvanor::Kompletn1Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog2, file)) return;
    SaveCompleteProtocol(state_, *this, ToUtf8(file));
}

// "Protokoly" > "Souřadnice": the points that pass the F-test.
void TPelvanor::Pouzesouadnice1Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog2, file)) return;
    SavePassedCoordinates(state_, *this, ToUtf8(file));
}

// "Kontrolní body" under "Výsledky": the check point protocol in the panel.
void TPelvanor::Kontrolnbody1Click() {
    const auto lines = ShowCheckPoints(state_, *this);
    ClearProtocol();
    ProtocolLines(lines);
}

// "Protokoly" > "Kontrolní body": the check point protocol as a file.
void TPelvanor::Kontrolnbody2Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog2, file)) return;
    SaveCheckPoints(state_, *this, ToUtf8(file));
}

// "Exportovat body": the computed points for CAD, GIS or point cloud
// software, in the format of the chosen name's extension.
void TPelvanor::Exportovatbody1Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog4, file)) return;
    const QString extension = QFileInfo(file).suffix().toLower();
    for (const PointExportFormat format : {PointExportFormat::Csv, PointExportFormat::Dxf, PointExportFormat::Ply}) {
        if (extension == QLatin1String(ExportExtension(format))) {
            ExportPoints(state_, format, *this, ToUtf8(file));
            return;
        }
    }
    ShowMessage(QStringLiteral("Body lze exportovat jen jako CSV, DXF nebo PLY: ") + file);
}

// "Kalibrace kamery" under "Výsledky": the calibration protocol in the panel.
void TPelvanor::Kalibracekamery2Click() {
    const auto lines = ShowCalibrationResults(state_, *this);
    ClearProtocol();
    ProtocolLines(lines);
}

// "Protokoly" > "Kalibrace kamery": the calibration protocol as a file.
void TPelvanor::Kalibracekamery3Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog2, file)) return;
    SaveCalibrationProtocol(state_, *this, ToUtf8(file));
}

// "Převzít kalibrovanou kameru": the calibrated values into the camera
// fields, so that "Uložit kameru" saves them and every later computation
// uses them.
void TPelvanor::Pevztkalibrovanoukameru1Click() { AdoptCalibratedCameraCommand(state_, *this); }

// "Ulož protokol": the panel's lines as they stand, the user's edits
// included, replace the chosen file.  A write error reaches RunCommand's
// message box, and then no log line is written.
void TPelvanor::Ulozprotokol1Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog2, file)) return;
    SaveProtocolPanel(ProtocolPanelLines(), *this, ToUtf8(file));
}

}  // namespace pelvanor
