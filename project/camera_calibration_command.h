#pragma once
// "Kalibrace kamery": the camera calibrated from the project itself.  The
// command runs what "Svazkové vyrovnání" runs (distortion correction with
// the current camera fields, approximate orientation, the bundle pipeline
// with robust estimation and outlier removal as set) and then one more
// adjustment on the observations the bundle pipeline kept, in which every
// image shares one camera whose free parameters are estimated with the
// orientations and points (CalibrateCamera).  The result stays in
// ProjectState::Calibration; nothing changes the camera fields but
// AdoptCalibratedCameraCommand.
//
// What the window calls (all without Qt):
//   "Výpočty" > "Kalibrace kamery"            CalibrationCommand(state, host)
//   "Výsledky" > "Kalibrace kamery"           ShowCalibrationResults(state, host) -> panel lines
//   "Výsledky" > "Protokoly" > "Kalibrace kamery"
//                                             SaveCalibrationProtocol(state, host, file)
//   "Výsledky" > "Převzít kalibrovanou kameru" AdoptCalibratedCameraCommand(state, host)
//   "Grafy" > "Zkreslení objektivu"           state.Calibration (raw positions, residuals,
//                                             cameras before and after) and DistortionCorrection
//                                             (adjustment/camera_calibration.h)
// and the items: UiItem::Kalibracekamery1 (enabled by the loaders with
// "Svazkové vyrovnání"), kCalibrationResultItems (switched by the command).

#include <string>
#include <vector>

#include "adjustment/camera_calibration.h"
#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// The result items a calibration enables on success and disables on failure:
// "Výsledky" > "Kalibrace kamery", "Výsledky" > "Protokoly" > "Kalibrace
// kamery" and "Výsledky" > "Převzít kalibrovanou kameru".  On success the
// submenu "Protokoly" is enabled too (it is not disabled on failure: it
// holds the protocols of "Souřadnice XYZ" as well).
inline constexpr UiItem kCalibrationResultItems[] = {
    UiItem::Kalibracekamery2, UiItem::Kalibracekamery3, UiItem::Pevztkalibrovanoukameru1};

// Log lines of the command.
inline constexpr const char* kCalibrationDoneLine = "Kalibrace kamery - výpočet proveden";
inline constexpr const char* kCalibrationAdoptedLine = "Kalibrovaná kamera převzata do parametrů kamery";

// The free parameters the settings choose, in file order.
CameraParameterFlags CalibrationFreeParameters(const AdjustmentSettings& settings);

// The menu command.  Clears OrientationLogged, CancelLogged and
// FailureCauseLogged, runs BundlePipeline (its own log lines, items and
// warnings, ReportAfterComputation), then the calibration.  Success:
// ProjectState::Calibration holds the result, "Kalibrace kamery - výpočet
// proveden" is logged, then the calibration's warnings
// (CalibrationWarnings), and the result items are enabled.  Failure: one
// line "Chyba - Kalibrace kamery nelze provést - ..." with its cause,
// Calibration is emptied and the result items are disabled.  A stop asked
// for by the host ends it through the failure path after kCancelledLine.
bool CalibrationCommand(ProjectState& state, CommandHost& host);

// "Výsledky" > "Převzít kalibrovanou kameru": the calibrated values into
// state.Camera and, through CommandHost::ShowCameraFields, into the eight
// camera fields; logs kCalibrationAdoptedLine.  False (nothing changed,
// nothing logged) without a calibration result.
bool AdoptCalibratedCameraCommand(ProjectState& state, CommandHost& host);

// "Výsledky" > "Kalibrace kamery": the protocol's lines for the panel
// (empty without a result).
std::vector<std::string> ShowCalibrationResults(const ProjectState& state, const CommandHost& host);

// "Výsledky" > "Protokoly" > "Kalibrace kamery": the protocol written to the
// file (CP1250, CR LF, replacing one of that name), then "Uložen protokol
// kalibrace kamery: " and the name are logged.  A file that cannot be
// written raises FileError.
void SaveCalibrationProtocol(const ProjectState& state, CommandHost& host, const std::string& chosenFileName);

// The calibrated camera as a camera file (eight lines f x0 y0 k1 k2 k3 p1
// p2, "." decimals, CR LF), then "Uložen soubor: " and the name are logged.
// False (nothing logged) without a result or when the file cannot be
// written.
bool SaveCalibratedCamera(const ProjectState& state, CommandHost& host, const std::string& chosenFileName);

}  // namespace pelvanor
