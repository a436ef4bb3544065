#pragma once
// Text files the program writes: the system's 8-bit code page for Czech
// (CP1250) with CR LF line ends.  The program keeps its texts in UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace pelvanor {

// UTF-8 to CP1250; a character CP1250 cannot hold becomes "?", and so does
// every byte of a broken UTF-8 sequence.
std::string EncodeCp1250(std::string_view utf8);
// CP1250 to UTF-8 (the five unassigned bytes become U+FFFD).
std::string DecodeCp1250(std::string_view bytes);

// Writes the lines, each followed by CR LF, encoded in CP1250.  With
// `append` the file must exist and is appended to; otherwise it is created
// or replaced.  Throws FileError (matrix/file_error.h) with a Czech text on
// any failure: a missing folder, a folder in place of the file, no
// permission, a missing file to append to, a failed write.
void WriteTextLines(const std::string& path, const std::vector<std::string>& lines, bool append);

}  // namespace pelvanor
