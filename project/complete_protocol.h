#pragma once
// The complete protocol file ("Protokoly" > "Kompletní"): counts, settings,
// camera, the distortion-corrected measurements, the approximate
// orientation, the approximate object coordinates, the bundle adjustment
// and the object coordinates with their F-test.  Four writers produce the
// headings, value lines and orientation tables; between them the matrix
// dumps supply the data rows (always with "."), while the values of the
// writers use the locale's decimal separator.  The file is composed whole
// in memory and saved once.

#include <string>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

// Column header of the orientation tables of the file (seven decimals in
// the rotation elements).
extern const std::string kOrientationHeaderFile;

// The lines of the four writers, in file order.
std::vector<std::string> CompleteProtocolStartLines(const ProjectState& state, char decimal);
std::vector<std::string> CompleteProtocolOrientationLines(const ProjectState& state, char decimal);
std::vector<std::string> CompleteProtocolBundleLines(const ProjectState& state, char decimal);
std::vector<std::string> CompleteProtocolXYZLines(const ProjectState& state, char decimal);

// The whole file as it is written: the lines of the four writers with the
// dumps between them, in CP1250 with CR LF.  A dump whose matrix does not
// exist is left out.
std::string CompleteProtocolText(const ProjectState& state, char decimal);

// Writes CompleteProtocolText in one atomic save, replacing a file of that
// name.  Throws FileError; a failed save leaves the earlier file as it was
// and no part of the new one.
void WriteCompleteProtocol(const std::string& file, const ProjectState& state, char decimal);

}  // namespace pelvanor
