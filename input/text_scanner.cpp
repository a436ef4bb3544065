#include "input/text_scanner.h"

#include <cerrno>
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

int TextScanner::Get() {
    const int c = Peek();
    if (c != kEnd) ++pos_;
    return c;
}

bool TextScanner::ReadNumber(long double& value) {
    int c = Peek();
    while (IsBlank(c) || IsLineEnd(c)) {
        ++pos_;
        c = Peek();
    }
    if (failed_) return false;
    if (c == kEnd) {
        value = 0.0L;
        return true;
    }
    std::string text;
    while (c != kEnd && !IsBlank(c) && !IsLineEnd(c)) {
        if (text.size() == kMaxFileNumberLength) return false;
        text += static_cast<char>(c);
        ++pos_;
        c = Peek();
    }
    if (failed_) return false;
    return ParseFileNumber(text, value);
}

void TextScanner::SkipLine() {
    for (;;) {
        const int c = Get();
        if (c == kEnd || c == '\n') return;
        if (c == '\r') {
            if (Peek() == '\n') ++pos_;
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

bool ReadNumberRows(const std::string& path, std::uint16_t rows, std::uint16_t cols, MatPtr& out) {
    TextScanner scanner;
    if (!scanner.Open(path)) return false;
    return GuardedComputation([&] {
        out = NewMatrix(rows, cols);
        // A row is stored only when all its numbers were read.
        std::vector<long double> row(cols, 0.0L);
        for (int i = 1; i <= rows; ++i) {
            for (int j = 1; j <= cols; ++j)
                if (!scanner.ReadNumber(row[static_cast<std::size_t>(j - 1)])) return false;
            for (int j = 1; j <= cols; ++j) out->SetPrvek(i, j, row[static_cast<std::size_t>(j - 1)]);
            scanner.SkipLine();
        }
        return !scanner.ReadFailed();
    });
}

LoadOutcome LoadNumberRowFiles(const std::vector<std::string>& files, std::uint16_t cols, MatPtr& points,
                               MatPtr& counts, MatPtr& ranges) {
    // Refused until the counts and ranges are replaced: an error before
    // that point has changed nothing.
    LoadOutcome outcome = LoadOutcome::Refused;
    const bool ok = GuardedComputation([&] {
        const std::size_t n = files.size();
        if (n == 0 || n > static_cast<std::size_t>(kMaxRows)) return false;
        // Count first: a load that cannot fit the row limit of a matrix is
        // refused before anything is replaced.
        std::vector<long long> lineCounts(n, 0);
        bool allCounted = true;
        long long total = 0;
        for (std::size_t i = 0; i < n; ++i) {
            TextScanner scanner;
            long long count = 0;
            if (!scanner.Open(files[i]) || !scanner.CountRemainingLines(count)) allCounted = false;
            lineCounts[i] = count;
            total += count;
            if (total > kMaxRows) return false;
        }

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
        bool allRead = true;
        long long offset = 0;
        for (std::size_t i = 0; i < n; ++i) {
            MatPtr block;
            const auto rows = static_cast<std::uint16_t>(lineCounts[i]);
            if (!ReadNumberRows(files[i], rows, cols, block)) allRead = false;
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
