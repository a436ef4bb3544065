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

// The one writer of the program's text files: result files, matrix dumps
// and the camera file.  Writes `bytes` as they are; with `append` the file
// must exist and `bytes` follow its content, otherwise the file is created
// or replaced.  The save is atomic: the whole new content is written to a
// temporary file in the target's folder, flushed to the disk and renamed
// over the target, so a failed save (a full disk, a read-only disk, a
// removed medium) leaves the previous file as it was.  A link is followed;
// a named pipe, a device or a socket in place of the file is refused without
// opening it.  Throws FileError (matrix/file_error.h) with the text of
// WriteFailureText for the cause.
void WriteTextFile(const std::string& path, std::string_view bytes, bool append);

// The lines as a file holds them: each encoded in CP1250 and followed by
// CR LF.  A result file is composed whole from these and the matrix dumps
// and then written once, so that it is never left half written.
std::string TextLinesBytes(const std::vector<std::string>& lines);

// WriteTextFile of TextLinesBytes(lines).
void WriteTextLines(const std::string& path, const std::vector<std::string>& lines, bool append);

// The Czech message of a failed save of `path`, one per cause (`err` an
// errno value): a missing folder or file to append to, a folder in place of
// the file, no permission, a read-only disk, a full disk, a file too large,
// a pipe or device in place of the file; any other cause gives the general
// "Do souboru … nelze zapisovat.".
std::string WriteFailureText(const std::string& path, int err);

}  // namespace pelvanor
