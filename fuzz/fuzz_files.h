#pragma once
// Support for the fuzz targets: the readers take file names, so each fuzz
// input is written to files in memory-backed /dev/shm, one set of names per
// process, overwritten on every run and removed at exit.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelvanor::fuzz {

// Path of the process's k-th scratch file (k from 0).
std::string ScratchPath(std::size_t k);

// Writes `bytes` to the k-th scratch file and returns its path; aborts when
// the file cannot be written (a broken harness must not look like a pass).
std::string WriteScratch(std::size_t k, std::string_view bytes);

// Splits a fuzz input into the files of a multi-file load: the parts
// between record separators (byte 0x1E), at most `max_files` of them (the
// rest stays in the last part).  A part that is exactly "\x1F" stands for a
// file that does not exist.  A part "\x1D" b text is the text after
// 65536 - (b & 127) blanks, or line ends when b & 128, so that it meets the
// end of the reader's buffer.  Returns the file names in order.
std::vector<std::string> WriteFileSet(const std::uint8_t* data, std::size_t size, std::size_t max_files);

// Aborts with a message: a property of the code under test does not hold.
[[noreturn]] void Fail(const char* what);
inline void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

}  // namespace pelvanor::fuzz
