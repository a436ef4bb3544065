#pragma once
// The user's locale as both Qt front ends (the window and the batch
// command) read it, on Qt Core only: the decimal separator of the protocol
// numbers, the long time format of the log lines and the collation that
// numbers the images by their file names.  One definition, so that the
// window and the batch command agree byte for byte.

#include <QLocale>
#include <QString>
#include <QStringList>

namespace pelvanor {

// The user's locale: QLocale::system() unless a test has set a default
// locale with QLocale::setDefault (the programs themselves never do).
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

// The regular files of `folder` whose names match `pattern` (a wildcard,
// case as written), as clean absolute paths in the order SortFileNames
// gives: the project folder's files as both front ends load them.
QStringList ProjectFolderFiles(const QString& folder, const QString& pattern);

}  // namespace pelvanor
