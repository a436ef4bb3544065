#pragma once
// Locale and font services of the window: the user's locale for decimal
// separators, the log's time of day and the order of file names, and the
// fonts the window's layout was drawn for.

#include <QFont>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace pelvanor {

// The user's locale: QLocale::system() unless a test has set a default
// locale with QLocale::setDefault (the program itself never does).
QLocale UiLocale();

// The locale's decimal separator as one character for the number formats
// and parsers; "." when the locale's separator is not a single ASCII
// character.
char UiDecimalSeparator();

// The locale's long time format with its time-zone field removed: "H:mm:ss"
// in Czech, "h:mm:ss AP" in US English.
QString LongTimeFormatWithoutZone(const QLocale& locale);

// Current local time of day in that format.
QString CurrentLongTime();

// Sorts full path names ascending, ignoring case, in the collation order of
// the user's locale.  The position in this order is the image number.
void SortFileNames(QStringList& names);

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
