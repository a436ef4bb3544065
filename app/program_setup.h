#pragma once
// What the program does around its main window: Qt's own Czech texts, the
// terminal options --help and --version, the installed user guide and the
// start position on the screen.

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdio>

class QTranslator;

namespace pelvanor {

// The program's version (the build's project version).
QString ProgramVersion();

// In a Czech locale, installs Qt's own Czech translation (qtbase_cs.qm from
// Qt's translations folder) so that the file dialogs, message box buttons
// and context menus speak Czech as the rest of the window does.  The
// installed translator (owned by the application), or null when the locale
// is not Czech or no translation is installed.
QTranslator* InstallQtTranslation();

// Handles --help/-h and --version/-v before any window exists (they must
// work on a terminal without a display): prints to `out` and gives the exit
// status; -1 when the program is to start normally.
int HandleInfoOptions(int argc, char** argv, std::FILE* out);

// The folders the user guide is looked for in, in order: the documentation
// folder under the program's own prefix (share/doc/pelvanor beside its
// bin/), the system's, and the source tree's docs/ for a program run from
// its build folder.  The guide's pictures lie in img/ beside it.
QStringList UserGuideFolders();
// The first navod.md of those folders; empty when none holds one.
QString UserGuideFile();

// Where a window with the given frame starts on a screen with the given
// available area: centred, but moved right and down so that its top-left
// corner, its menu and its first fields, stay on the screen when the screen
// is smaller than the window.
QPoint StartPosition(const QRect& frame, const QRect& available);

}  // namespace pelvanor
