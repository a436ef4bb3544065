#pragma once
// The user's locale as both Qt front ends (the window and the batch
// command) read it, on Qt Core only: the decimal separator of the protocol
// numbers, the long time format of the log lines and the collation that
// numbers the images by their file names; and the file names as both hand
// them to the Qt-free commands.  One definition, so that the window and the
// batch command agree byte for byte.

#include <QLocale>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

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

// File names as the Qt-free commands take them (UTF-8) and back, in the
// order given.
std::vector<std::string> ToUtf8Names(const QStringList& names);
QStringList FromUtf8Names(const std::vector<std::string>& names);

// The project's name in the title of its pictures: the name of the folder
// that holds `imageFile`, the first image coordinate file loaded (a relative
// name is taken from the current folder).
QString ProjectNameOf(const QString& imageFile);

}  // namespace pelvanor
