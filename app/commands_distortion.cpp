// "Výpočty" > "Oprava distorze" and "Výsledky" > "Oprava distorze": the lens
// distortion correction of the loaded tables and the saving of its results.

#include "project/distortion_commands.h"
#include "app/tpelvanor.h"
#include "app/window_services.h"

namespace pelvanor {

// Corrects the image coordinates.
void TPelvanor::Snmkovsouadnice1Click() { CorrectImagePointsCommand(state_, *this); }

// Corrects the image coordinates of the control points.
void TPelvanor::Orientace1Click() { CorrectControlPointsCommand(state_, *this); }

// Saves the corrected image coordinates.  A write error reaches RunCommand's
// message box before the panel changes.
void TPelvanor::Snmkovsouadnice2Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog2, file)) return;
    const auto lines = SaveCorrectedImagePoints(state_, *this, ToUtf8(file));
    if (lines.empty()) return;
    ClearProtocol();
    ProtocolLines(lines);
}

// Saves the corrected control points.
void TPelvanor::Orientace2Click() {
    QString file;
    if (!ChooseSaveFile(FileDialogId::SaveDialog2, file)) return;
    const auto lines = SaveCorrectedControlPoints(state_, *this, ToUtf8(file));
    if (lines.empty()) return;
    ClearProtocol();
    ProtocolLines(lines);
}

}  // namespace pelvanor
