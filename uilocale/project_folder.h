#pragma once
// The control point files and the image coordinate files of a project
// folder, paired image by image, as both front ends load them ("Soubor" >
// "Načíst projekt" in the window, PROJECT_DIR of the batch command).
//
// The loaders number the images of each kind by the sorted order of its
// file names and take image k of one kind for image k of the other.  A
// folder in which one file is missing, unreadable or named in another case
// shifts every later image onto the wrong control points, and the
// adjustment of such a project may still converge with nothing to show for
// it.  So the folder is paired first: ctrl_X.txt belongs to img_X.txt, and
// a folder whose files do not pair is refused as a whole.

#include <QString>
#include <QStringList>

namespace pelvanor {

struct ProjectFolderPairs {
    // Clean absolute paths in image order (the order SortFileNames gives);
    // images[k] belongs to control[k].  A folder without any img_*.txt
    // (an orientation-only project) has control files alone, and one
    // without any ctrl_*.txt image files alone.
    QStringList control;
    QStringList images;
    // Empty when the folder pairs; otherwise one Czech sentence per cause
    // (without "Chyba - "), naming the folder or the files: the folder
    // cannot be read; a file cannot be read (a dangling link, no
    // permission, not a regular file); a name that matches ctrl_*.txt or
    // img_*.txt only when the case is ignored (IMG_03.txt); a control file
    // without its image file or the reverse; names that sort into different
    // image orders for the two kinds.  Nothing of such a folder is loaded.
    QStringList refusal;
};

// Pairs the ctrl_*.txt and img_*.txt of `folder` by the part of the name
// between the prefix and ".txt" (compared exactly).
ProjectFolderPairs PairProjectFolder(const QString& folder);

}  // namespace pelvanor
