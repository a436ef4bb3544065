#pragma once
// Warnings on the files of a successful load, where every file was read but
// the choice of files is very probably wrong: a control file without six
// numbers on a line, an image coordinate file with six (the two kinds
// swapped), an image coordinate file without any point, a line of one with
// fewer than four numbers, an image with fewer than three points, a file
// chosen twice or two files of the same content, and control points of an
// image on a line.

#include <string>
#include <vector>

#include "input/read_report.h"
#include "project/project_state.h"

namespace pelvanor {

// The warnings on a successful load ("Načíst orientaci" with `controlFiles`
// true, "Načíst snímkové souřadnice" otherwise) from what the load reported
// of its files, in the order the images are numbered, and, after a control
// point load, on the images whose control points lie on a line.
std::vector<std::string> LoadWarnings(const FileSetReport& read, bool controlFiles, const ProjectState& state);

}  // namespace pelvanor
