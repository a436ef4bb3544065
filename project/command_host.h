#pragma once
// The port the front ends implement: what a command needs from the window
// (or from any other host), without Qt.

#include <string>

namespace pelvanor {

// Menu items and buttons whose enabled state the commands switch.
enum class UiItem {
    Nastkameru1, Uloitkameru1, Nastorientaci1, Nastsnmkovsouadnice1, Konec1,
    N1, Opravadistorze1, Snmkovsouadnice1, Orientace1, Piblinvnjorientace1,
    Svazkovvyrovnn1, SouadniceXYZ1,
    Opravensnmkovsouadnice1, Snmkovsouadnice2, Orientace2, Piblineenvnjorientace1,
    Svazkovvyrovnn2, SouadniceXYZ2, Protokoly1, Kompletn1, Pouzesouadnice1,
    // "Výsledky" > "Kontrolní body" and "Výsledky" > "Protokoly" > "Kontrolní body".
    Kontrolnbody1, Kontrolnbody2,
    Help1, BitBtn2,
};

// What a command needs from the window, without Qt: the log writer, the
// enabled state of the menu items, the camera fields and the method combo
// box.  The main window implements it; tests use a fake.
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
    // Index of ComboBox1: 0 four points in the plane Z = 0, 1 in space.
    virtual int OrientationMethod() const = 0;
    // The locale's decimal separator for the protocol numbers.
    virtual char DecimalSeparator() const = 0;
    // A modal message box with the text (UTF-8), such as the bundle
    // adjustment's notice of more unknowns than observations; the command
    // goes on after it.  Hosts without a window may ignore it.
    virtual void ShowMessage(const std::string& text) { (void)text; }
    // Called between the passes of a long computation so that the window
    // can repaint; must leave the floating-point fault flags as it found
    // them.  Hosts without a window do nothing.
    virtual void KeepResponsive() {}
};

}  // namespace pelvanor
