// "Soubor" > "Načíst projekt": a project kept in one folder loaded in one
// step.  It begins a new project: every result of the project before is
// released, the protocol panel is as at the start and the result items are
// disabled (the log keeps its lines).  Then the folder's camera.txt,
// ctrl_*.txt and img_*.txt go through the same loads as "Načíst kameru",
// "Načíst orientaci" and "Načíst snímkové souřadnice", in that order, so the
// log, the state and the failures are those of the three commands.
// The folder's files must pair first (image k of one kind is image k of the
// other): a folder that does not pair is refused with its causes, and
// nothing of it is loaded.

#include <QDir>
#include <QFileInfo>

#include "app/tpelvanor.h"
#include "app/window_services.h"
#include "project/new_project.h"
#include "project/weighted_control.h"
#include "uilocale/project_folder.h"

namespace pelvanor {

void TPelvanor::Nastprojekt1Click() {
    QString chosen;
    if (!dialogs_->GetExistingFolder(this, FileDialogId::OpenFolder, chosen)) return;
    const QDir folder(chosen);
    const QString camera = QDir::cleanPath(folder.absoluteFilePath(QStringLiteral("camera.txt")));
    const bool has_camera = QFileInfo(camera).isFile();
    const ProjectFolderPairs pairs = PairProjectFolder(chosen);
    if (!pairs.refusal.isEmpty()) {
        for (const QString& cause : pairs.refusal) WriteLog(QStringLiteral("Chyba - ") + cause);
        WriteLog(QStringLiteral("Chyba - Projekt nenačten: ") + folder.absolutePath());
        return;
    }
    const QStringList& control = pairs.control;
    const QStringList& images = pairs.images;
    if (!has_camera && control.isEmpty() && images.isEmpty()) {
        WriteLog(QStringLiteral("Chyba - Ve složce není camera.txt, ctrl_*.txt ani img_*.txt: ") + folder.absolutePath());
        return;
    }
    StartNewProject(state_, *this);
    ResetProtocol();
    // A kind of file the folder lacks is skipped, as a cancelled dialog
    // would be: what was loaded before stays.
    if (has_camera) LoadCameraFrom(camera);
    if (!control.isEmpty()) {
        LoadControlPointsFrom(control);
        // The control accuracy belongs to the folder's control points: its
        // presnost.txt, or none, so that the accuracies of another project
        // never weight these points.
        const QString accuracy = QDir::cleanPath(folder.absoluteFilePath(QString::fromLatin1(kControlAccuracyFileName)));
        if (QFileInfo(accuracy).isFile()) {
            LoadControlAccuracyCommand(ToUtf8(accuracy), state_, *this);
        } else {
            state_.ControlAccuracy.clear();
            state_.ControlAccuracyFile.clear();
        }
    }
    if (!images.isEmpty()) LoadImagePointsFrom(images);
}

}  // namespace pelvanor
