#pragma once
// Font services of the window, the fonts its layout was drawn for, and the
// user's locale (decimal separator, the log's time of day and the order of
// file names), which the window shares with the batch command.

#include <QFont>
#include <QString>

#include <string>

#include "uilocale/locale_services.h"

namespace pelvanor {

// Registers the Tahoma shipped with Wine (when installed) with the
// application's font database; safe to call more than once.
void RegisterApplicationFonts();

// Tahoma at the given point size (the dialogs' default font), falling back
// to a sans-serif face.
QFont TahomaFont(int point_size, bool bold = false);

// The fixed-pitch font of the protocol panel and the log list: Liberation
// Mono, which has the metrics of Courier New.
QFont MonospaceFont(int point_size);

// A menu caption as the user reads it: the accelerator marks ("&") removed,
// a doubled "&&" read as one "&".
QString WithoutMnemonic(const QString& caption);

// UTF-8 bytes of a QString and back; file names travel as UTF-8 through the
// Qt-free core.
std::string ToUtf8(const QString& text);
QString FromUtf8(const std::string& text);

}  // namespace pelvanor
