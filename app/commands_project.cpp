// "Soubor" > "Načíst projekt": a project kept in one folder loaded in one
// step.  It begins a new project: every result of the project before is
// released, the protocol panel is as at the start and the result items are
// disabled (the log keeps its lines).  Then the folder's camera.txt,
// ctrl_*.txt and img_*.txt go through the same loads as "Načíst kameru",
// "Načíst orientaci" and "Načíst snímkové souřadnice", in that order, so the
// log, the state and the failures are those of the three commands.

#include <QDir>
#include <QFileInfo>

#include "app/tpelvanor.h"
#include "app/window_services.h"
#include "project/new_project.h"

namespace pelvanor {

void TPelvanor::Nastprojekt1Click() {
    QString chosen;
    if (!dialogs_->GetExistingFolder(this, FileDialogId::OpenFolder, chosen)) return;
    const QDir folder(chosen);
    const QString camera = QDir::cleanPath(folder.absoluteFilePath(QStringLiteral("camera.txt")));
    const bool has_camera = QFileInfo(camera).isFile();
    const QStringList control = ProjectFolderFiles(chosen, QStringLiteral("ctrl_*.txt"));
    const QStringList images = ProjectFolderFiles(chosen, QStringLiteral("img_*.txt"));
    if (!has_camera && control.isEmpty() && images.isEmpty()) {
        WriteLog(QStringLiteral("Chyba - Ve složce není camera.txt, ctrl_*.txt ani img_*.txt: ") + folder.absolutePath());
        return;
    }
    StartNewProject(state_, *this);
    ResetProtocol();
    // A kind of file the folder lacks is skipped, as a cancelled dialog
    // would be: what was loaded before stays.
    if (has_camera) LoadCameraFrom(camera);
    if (!control.isEmpty()) LoadControlPointsFrom(control);
    if (!images.isEmpty()) LoadImagePointsFrom(images);
}

}  // namespace pelvanor
