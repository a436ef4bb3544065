#pragma once
// Reading of the three input file kinds, shared by their loaders.  Not used
// outside input/.
//
// Text model: a line ends at LF, CR LF or a lone CR; a last line without a
// line end is a line.  Numbers are separated by blanks (space, tab) and line
// ends.  Reading a number skips blanks and line ends, then takes every
// character up to the next blank, line end or the end of the file; when the
// file ends before a number starts, the number is 0 and reading goes on.
// Bytes other than these are part of a number's text, so binary garbage is
// "not a number", never a crash.  A UTF-8 byte-order mark at the very start
// of a file is skipped.

#include <cstdint>
#include <string>
#include <vector>

#include "input/read_report.h"
#include "matrix/matice.h"

namespace pelvanor::detail {

class TextScanner {
public:
    TextScanner() = default;
    ~TextScanner();
    TextScanner(const TextScanner&) = delete;
    TextScanner& operator=(const TextScanner&) = delete;

    // Opens a regular file for reading (a folder, a device or a pipe is
    // refused without blocking).
    bool Open(const std::string& path);

    // One number; false for a text that is not a number of the input files
    // (including one longer than 64 characters) or on a read error.  The
    // text of the last number and its line stay for an error report.
    bool ReadNumber(long double& value);
    // Skips the rest of the current line including its line end.
    void SkipLine();
    // Counts the lines from here to the end; false on a read error.
    bool CountRemainingLines(long long& count);

    bool ReadFailed() const { return failed_; }
    // The text of the number ReadNumber read last (at most 64 bytes: a
    // longer text is cut there) and its 1-based line.
    const std::string& Token() const { return token_; }
    long long TokenLine() const { return tokenLine_; }

    // From here on, every line read receives in `lines` how many numbers it
    // begins with, or kBlankLine; ReadNumber and SkipLine read each line
    // to its end for that.  FinishLines adds a last line without a line end.
    void CollectLeadingNumbers(std::vector<std::int32_t>* lines) { lines_ = lines; }
    void FinishLines();

private:
    int Peek();
    bool Fill();
    // Consumes the character `c` that Peek gave, counting the lines.
    void Advance(int c);
    void EndLine();
    // A text of the current line met (true: a number).
    void NoteText(bool number);

    int fd_ = -1;
    bool failed_ = false;
    bool eof_ = false;
    bool first_fill_ = true;  // a leading UTF-8 byte-order mark is skipped
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;

    long long line_ = 1;  // line of the next character
    bool afterCr_ = false;
    std::string token_;
    long long tokenLine_ = 0;

    std::vector<std::int32_t>* lines_ = nullptr;
    bool lineStarted_ = false;  // a character of the current line was consumed
    bool lineBlank_ = true;     // only blanks so far
    bool lineCounting_ = true;  // no text that is not a number so far
    std::int32_t lineNumbers_ = 0;
};

// Reads `rows` rows of `cols` numbers into a new rows x cols matrix (zeros
// where nothing was read): each row reads its numbers, then skips the rest
// of its line.  A file that cannot be opened returns false with `out`
// untouched; a text that is not a number returns false with the rows read
// before it kept.  `error` (optional) receives why it failed; `lines`
// (optional) the numbers every line begins with.
bool ReadNumberRows(const std::string& path, std::uint16_t rows, std::uint16_t cols, MatPtr& out,
                    ReadError* error = nullptr, std::vector<std::int32_t>* lines = nullptr);

enum class LoadOutcome {
    Loaded,   // every file counted and read
    Failed,   // a file could not be counted or read; outputs hold what was read
    Refused,  // no files, or more than 65535 files or lines: outputs untouched
};

// The merge of one file per image into a points table (N x cols), a counts
// table (n x 1) and a ranges table (n x 2), in the order of `files`.
// `report` (optional) receives the first failure and the lines of every
// file read.
LoadOutcome LoadNumberRowFiles(const std::vector<std::string>& files, std::uint16_t cols, MatPtr& points,
                               MatPtr& counts, MatPtr& ranges, FileSetReport* report = nullptr);

}  // namespace pelvanor::detail
