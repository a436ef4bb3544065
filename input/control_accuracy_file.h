#pragma once
// The control accuracy file ("presnost.txt"): how accurately each control
// point was surveyed, one point per line, "." as the decimal separator:
//
//     number  sigmaX  sigmaY  sigmaZ     standard deviations in metres (>= 0)
//     number  kontrolni                  a check point
//
// Blank lines and lines whose first character (after blanks) is "#" are
// comments.  Fields are separated by blanks or tabs; lines end at LF, CR LF
// or CR; a UTF-8 byte-order mark at the start is skipped.  A sigma of 0
// leaves that coordinate without weight.  Any other line, a point number
// that is not a positive whole number, or a point named twice makes the
// whole file refused.

#include <cstdint>
#include <string>
#include <vector>

namespace pelvanor {

struct ControlAccuracyLine {
    std::int64_t number = 0;
    long double sigma[3] = {0.0L, 0.0L, 0.0L};  // metres
    bool check = false;                          // "kontrolni"
    int line = 0;                                // 1-based line of the file
};

// Why a file was refused: the line (0: the file as a whole) and the reason
// in Czech.
struct ControlAccuracyError {
    int line = 0;
    std::string reason;
};

// The largest file read, in bytes (a control accuracy file has a line per
// control point).
inline constexpr std::size_t kMaxControlAccuracyFileBytes = 16u << 20;

// Reads the file into `lines` (in file order).  False, with `lines` empty
// and `error` saying why, for a file that cannot be read or a bad line.
bool ReadControlAccuracyFile(const std::string& path, std::vector<ControlAccuracyLine>& lines,
                             ControlAccuracyError& error);

}  // namespace pelvanor
