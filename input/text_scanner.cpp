#include "input/text_scanner.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "input/number_parse.h"
#include "matrix/fp_guard.h"

namespace pelvanor::detail {
namespace {

constexpr int kEnd = -1;
constexpr std::size_t kBufferSize = 1 << 16;
constexpr long long kMaxRows = 65535;

bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(int c) { return c == '\n' || c == '\r'; }

}  // namespace

TextScanner::~TextScanner() {
    if (fd_ >= 0) ::close(fd_);
}

bool TextScanner::Open(const std::string& path) {
    // O_NONBLOCK keeps a named pipe from blocking the open; it has no effect
    // on the reads of a regular file.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    buffer_.resize(kBufferSize);
    return true;
}

bool TextScanner::Fill() {
    if (eof_ || failed_ || fd_ < 0) return false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n > 0) {
            pos_ = 0;
            end_ = static_cast<std::size_t>(n);
            // Editors on Windows save "UTF-8 with BOM"; the mark is no part
            // of the first number.  A regular file's first read brings at
            // least the three bytes when the file has them.
            if (first_fill_ && end_ >= 3 && buffer_[0] == '\xEF' && buffer_[1] == '\xBB' && buffer_[2] == '\xBF') {
                pos_ = 3;
            }
            first_fill_ = false;
            if (pos_ == end_) continue;
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed_ = true;
        eof_ = true;
        return false;
    }
}

int TextScanner::Peek() {
    if (pos_ == end_ && !Fill()) return kEnd;
    return static_cast<unsigned char>(buffer_[pos_]);
}

void TextScanner::Advance(int c) {
    ++pos_;
    // The LF of a CR LF pair is part of the CR's line end.
    if (c == '\n' && afterCr_) {
        afterCr_ = false;
        return;
    }
    afterCr_ = c == '\r';
    if (IsLineEnd(c)) {
        EndLine();
        return;
    }
    lineStarted_ = true;
}

void TextScanner::EndLine() {
    if (lines_ != nullptr) lines_->push_back(lineBlank_ ? kBlankFileLine : lineNumbers_);
    ++line_;
    lineStarted_ = false;
    lineBlank_ = true;
    lineCounting_ = true;
    lineNumbers_ = 0;
}

void TextScanner::NoteText(bool number) {
    lineBlank_ = false;
    if (!lineCounting_) return;
    if (!number) {
        lineCounting_ = false;
    } else if (lineNumbers_ < INT32_MAX) {
        ++lineNumbers_;
    }
}

void TextScanner::FinishLines() {
    if (lineStarted_) EndLine();
}

bool TextScanner::ReadNumber(long double& value) {
    int c = Peek();
    while (IsBlank(c) || IsLineEnd(c)) {
        Advance(c);
        c = Peek();
    }
    token_.clear();
    tokenLine_ = line_;
    if (failed_) return false;
    if (c == kEnd) {
        value = 0.0L;
        return true;
    }
    while (c != kEnd && !IsBlank(c) && !IsLineEnd(c)) {
        if (token_.size() == kMaxFileNumberLength) {
            NoteText(false);
            return false;
        }
        token_ += static_cast<char>(c);
        Advance(c);
        c = Peek();
    }
    if (failed_) return false;
    const bool number = ParseFileNumber(token_, value);
    NoteText(number);
    return number;
}

void TextScanner::SkipLine() {
    // While the numbers a line begins with are counted, its rest is read as
    // texts up to the first that is not a number.
    while (lines_ != nullptr && lineCounting_) {
        int c = Peek();
        while (IsBlank(c)) {
            Advance(c);
            c = Peek();
        }
        if (c == kEnd || IsLineEnd(c)) break;
        std::string text;
        while (c != kEnd && !IsBlank(c) && !IsLineEnd(c)) {
            // One character beyond the longest number is enough to refuse it.
            if (text.size() <= kMaxFileNumberLength) text += static_cast<char>(c);
            Advance(c);
            c = Peek();
        }
        long double ignored = 0.0L;
        NoteText(ParseFileNumber(text, ignored));
    }
    for (;;) {
        const int c = Peek();
        if (c == kEnd) return;
        Advance(c);
        if (c == '\n') return;
        if (c == '\r') {
            if (Peek() == '\n') Advance('\n');
            return;
        }
    }
}

bool TextScanner::CountRemainingLines(long long& count) {
    // A line is counted at its first character or at its line end, whichever
    // comes first; the LF of a CR LF pair is part of the CR's line end.
    bool inLine = false;
    bool afterCr = false;
    for (;;) {
        if (pos_ == end_ && !Fill()) break;
        for (; pos_ < end_; ++pos_) {
            const char c = buffer_[pos_];
            if (c == '\n' && afterCr) {
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            if (c == '\n' || c == '\r') {
                if (!inLine) ++count;
                inLine = false;
            } else if (!inLine) {
                inLine = true;
                ++count;
            }
        }
    }
    return !failed_;
}

bool ReadNumberRows(const std::string& path, std::uint16_t rows, std::uint16_t cols, MatPtr& out,
                    ReadError* error, std::vector<std::int32_t>* lines) {
    TextScanner scanner;
    if (!scanner.Open(path)) {
        if (error != nullptr) *error = ReadError{ReadFailure::CannotOpen, path, 0, {}, 0};
        return false;
    }
    scanner.CollectLeadingNumbers(lines);
    bool notANumber = false;
    const bool ok = GuardedComputation([&] {
        out = NewMatrix(rows, cols);
        // A row is stored only when all its numbers were read.
        std::vector<long double> row(cols, 0.0L);
        for (int i = 1; i <= rows; ++i) {
            for (int j = 1; j <= cols; ++j) {
                if (!scanner.ReadNumber(row[static_cast<std::size_t>(j - 1)])) {
                    notANumber = !scanner.ReadFailed();
                    return false;
                }
            }
            for (int j = 1; j <= cols; ++j) out->SetPrvek(i, j, row[static_cast<std::size_t>(j - 1)]);
            scanner.SkipLine();
        }
        scanner.FinishLines();
        return !scanner.ReadFailed();
    });
    if (!ok && error != nullptr) {
        if (notANumber) {
            *error = ReadError{ReadFailure::NotANumber, path, scanner.TokenLine(), scanner.Token(), 0};
        } else if (scanner.ReadFailed()) {
            *error = ReadError{ReadFailure::ReadError, path, 0, {}, 0};
        }
    }
    return ok;
}

LoadOutcome LoadNumberRowFiles(const std::vector<std::string>& files, std::uint16_t cols, MatPtr& points,
                               MatPtr& counts, MatPtr& ranges, FileSetReport* report) {
    FileSetReport unused;
    FileSetReport& record = report != nullptr ? *report : unused;
    record = FileSetReport{};
    // The first failure is kept.
    const auto note = [&record](ReadError error) {
        if (record.error.reason == ReadFailure::None) record.error = std::move(error);
    };
    // Refused until the counts and ranges are replaced: an error before
    // that point has changed nothing.
    LoadOutcome outcome = LoadOutcome::Refused;
    const bool ok = GuardedComputation([&] {
        const std::size_t n = files.size();
        if (n == 0) {
            note(ReadError{ReadFailure::NoFiles, {}, 0, {}, 0});
            return false;
        }
        // Count first: a load that cannot fit the row limit of a matrix is
        // refused before anything is replaced.  Every file is counted, so
        // that the refusal can name the lines of all of them.
        std::vector<long long> lineCounts(n, 0);
        bool allCounted = true;
        long long total = 0;
        for (std::size_t i = 0; i < n; ++i) {
            TextScanner scanner;
            long long count = 0;
            if (!scanner.Open(files[i])) {
                allCounted = false;
                note(ReadError{ReadFailure::CannotOpen, files[i], 0, {}, 0});
            } else if (!scanner.CountRemainingLines(count)) {
                allCounted = false;
                note(ReadError{ReadFailure::ReadError, files[i], 0, {}, 0});
            }
            lineCounts[i] = count;
            total += count;
        }
        if (total > kMaxRows) note(ReadError{ReadFailure::TooManyLines, {}, 0, {}, total});
        if (n > static_cast<std::size_t>(kMaxRows)) note(ReadError{ReadFailure::TooManyFiles, {}, 0, {}, 0});
        if (total > kMaxRows || n > static_cast<std::size_t>(kMaxRows)) return false;

        const auto fileCount = static_cast<std::uint16_t>(n);
        MatPtr newCounts = NewMatrix(fileCount, 1);
        MatPtr newRanges = NewMatrix(fileCount, 2);
        counts = std::move(newCounts);
        ranges = std::move(newRanges);
        outcome = LoadOutcome::Failed;
        long long first = 1;
        for (std::size_t i = 0; i < n; ++i) {
            const int row = static_cast<int>(i) + 1;
            counts->SetPrvek(row, 1, static_cast<long double>(lineCounts[i]));
            ranges->SetPrvek(row, 1, static_cast<long double>(first));
            ranges->SetPrvek(row, 2, static_cast<long double>(first + lineCounts[i] - 1));
            first += lineCounts[i];
        }

        points = NewMatrix(static_cast<std::uint16_t>(total), cols);
        record.files.resize(n);
        bool allRead = true;
        long long offset = 0;
        for (std::size_t i = 0; i < n; ++i) {
            MatPtr block;
            FileLines& lines = record.files[i];
            lines.file = files[i];
            lines.leadingNumbers.reserve(static_cast<std::size_t>(lineCounts[i]));
            const auto rows = static_cast<std::uint16_t>(lineCounts[i]);
            ReadError error;
            if (!ReadNumberRows(files[i], rows, cols, block, &error, &lines.leadingNumbers)) {
                allRead = false;
                if (error.reason != ReadFailure::None) note(std::move(error));
            }
            if (block) {
                for (int r = 1; r <= rows; ++r)
                    for (int j = 1; j <= cols; ++j)
                        points->SetPrvek(static_cast<int>(offset) + r, j, block->GetPrvek(r, j));
            }
            offset += lineCounts[i];
        }
        return allCounted && allRead;
    });
    if (ok) return LoadOutcome::Loaded;
    return outcome;
}

}  // namespace pelvanor::detail
