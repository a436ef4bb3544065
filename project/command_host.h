#pragma once
// The port the front ends implement: what a command needs from the window
// (or from any other host), without Qt.

#include <string>

#include "input/camera_file.h"
#include "project/progress.h"

namespace pelvanor {

// Menu items and buttons whose enabled state the commands switch.
enum class UiItem {
    Nastkameru1, Uloitkameru1, Nastorientaci1, Nastsnmkovsouadnice1, Konec1,
    N1, Opravadistorze1, Snmkovsouadnice1, Orientace1, Piblinvnjorientace1,
    Svazkovvyrovnn1, SouadniceXYZ1,
    Opravensnmkovsouadnice1, Snmkovsouadnice2, Orientace2, Piblineenvnjorientace1,
    Svazkovvyrovnn2, SouadniceXYZ2, Protokoly1, Kompletn1, Pouzesouadnice1,
    Grafy1,
    // "Výsledky" > "Kontrolní body" and "Výsledky" > "Protokoly" > "Kontrolní body".
    Kontrolnbody1, Kontrolnbody2,
    // "Výpočty" > "Kalibrace kamery", "Výsledky" > "Kalibrace kamery",
    // "Výsledky" > "Protokoly" > "Kalibrace kamery" and "Výsledky" >
    // "Převzít kalibrovanou kameru".
    Kalibracekamery1, Kalibracekamery2, Kalibracekamery3, Pevztkalibrovanoukameru1,
    // "Výsledky" > "Tabulka výsledků" and "Výsledky" > "Exportovat body".
    Tabulkavsledk1, Exportovatbody1,
    Help1, BitBtn2,
};

// What a command needs from the window, without Qt: the log writer, the
// enabled state of the menu items, the camera fields, the method combo box
// and the image list.  The main window and the batch command implement it;
// tests use a fake.
class CommandHost {
public:
    virtual ~CommandHost() = default;
    // One log line (UTF-8); the window adds the time and repaints.
    virtual void WriteLog(const std::string& message) = 0;
    virtual void SetItemEnabled(UiItem item, bool enabled) = 0;
    virtual bool IsItemEnabled(UiItem item) const = 0;
    // Parses the eight camera fields into state.Camera (partial update on
    // failure, see ReadCameraFields).
    virtual bool ReadCameraFields() = 0;
    // A successful camera load puts the values into the eight camera fields,
    // as texts in window order (CameraFieldTextsOf).
    virtual void ShowCameraFields(const CameraFieldTexts& texts) { (void)texts; }
    // Index of ComboBox1: 0 four points in the plane Z = 0, 1 in space.
    virtual int OrientationMethod() const = 0;
    // A successful control point load lists its images for the choice of
    // the orientation points: "Snimek 1" .. "Snimek n", the first selected.
    virtual void ShowImageList(int images) { (void)images; }
    // The locale's decimal separator for the protocol numbers.
    virtual char DecimalSeparator() const = 0;
    // A modal message box with the text (UTF-8), such as the bundle
    // adjustment's notice of more unknowns than observations; the command
    // goes on after it.  Hosts without a window may ignore it.
    virtual void ShowMessage(const std::string& text) { (void)text; }
    // Where the running command stands: at the start of each stage and of
    // every pass of an adjustment.  Called on the thread that computes,
    // which goes on at once; the host keeps the newest report for its
    // display.  Hosts without a display ignore it.
    virtual void ReportProgress(const ComputationProgress& progress) { (void)progress; }
    // True once the user has asked to stop the running command.  Asked on
    // the thread that computes, at the start of every pass and between the
    // steps of the long kernels, so it must be cheap and safe to call from
    // there.  The command then ends through its failure path after the one
    // log line kCancelledLine.
    virtual bool CancelRequested() const { return false; }
    // The one log line of a stopped command: kCancelledLine where the user
    // pressed "Zrušit"; a host stopped otherwise (a signal) names that.
    virtual std::string CancelledLine() const { return kCancelledLine; }
};

}  // namespace pelvanor
