#pragma once
// The complete protocol file ("Protokoly" > "Kompletní"): counts, settings,
// camera, the distortion-corrected measurements, the approximate
// orientation, the approximate object coordinates, the bundle adjustment
// and the object coordinates with their F-test.  Four writers produce the
// headings, value lines and orientation tables; between them the matrix
// dumps supply the data rows (always with "."), while the values of the
// writers use the locale's decimal separator.

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

// The writers: the first creates the file (replacing one of that name), the
// others append to it.  Each throws FileError.
void CompleteProtocolStart(const std::string& file, const ProjectState& state, char decimal);
void CompleteProtocolOrientation(const std::string& file, const ProjectState& state, char decimal);
void CompleteProtocolBundle(const std::string& file, const ProjectState& state, char decimal);
void CompleteProtocolXYZ(const std::string& file, const ProjectState& state, char decimal);

// The whole file: the four writers with the dumps between them.  A dump
// whose matrix does not exist is left out.  Throws FileError; what was
// written before the failure stays in the file.
void WriteCompleteProtocol(const std::string& file, const ProjectState& state, char decimal);

}  // namespace pelvanor
