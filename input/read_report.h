#pragma once
// What a load of the control point or image coordinate files reports beside
// the tables it fills: where and why reading failed (file, line, token), and
// what the checks on a loaded file's content need to know of its lines.
// The reader records them as it meets them, so nobody reads a file again to
// learn why it failed.

#include <cstdint>
#include <string>
#include <vector>

namespace pelvanor {

// Why reading a set of input files failed; None when it did not.
enum class ReadFailure {
    None,
    CannotOpen,    // missing, not a regular file, or not readable
    ReadError,     // the system reported an error while the file was read
    NotANumber,    // `token` on `line` is not a number of the input files
    TooManyLines,  // the files hold more than 65535 lines together
    NoFiles,       // no file was given
    TooManyFiles,  // more than 65535 files
};

struct ReadError {
    ReadFailure reason = ReadFailure::None;
    std::string file;          // the file concerned; empty for the whole-set reasons
    long long line = 0;        // NotANumber: the 1-based line holding the token
    std::string token;         // NotANumber: its bytes as read, cut after 64
    long long totalLines = 0;  // TooManyLines: the lines of all files together
};

// A line of blanks only (or an empty one) in FileLines::leadingNumbers.
inline constexpr std::int32_t kBlankFileLine = -1;

// The lines of one file as a load read them.
struct FileLines {
    std::string file;
    // For every line in order, how many numbers it begins with (separated
    // by blanks, up to the first text that is not a number), or kBlankFileLine.
    // Complete only for a file that was read without failure.
    std::vector<std::int32_t> leadingNumbers;
};

struct FileSetReport {
    // The first failure: a file that cannot be counted comes before the
    // line limit, which comes before the failures of reading, each in file
    // order.
    ReadError error;
    // One entry per file, in load order, for a load that reached the
    // reading of its files; empty for a refused load.
    std::vector<FileLines> files;
};

}  // namespace pelvanor
