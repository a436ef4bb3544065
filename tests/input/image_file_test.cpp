#include "input/image_file.h"

#include <cstdint>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::TempDir;
using test::WriteFileBytes;

// Lines "k x y 0" for point numbers first..first+n-1, joined by `eol`.
std::string ImageLines(int first, int n, const std::string& eol = "\r\n") {
    std::string s;
    for (int k = first; k < first + n; ++k)
        s += std::to_string(k) + " " + std::to_string(k) + ".25 -" + std::to_string(k) + ".5 0" + eol;
    return s;
}

std::vector<long double> Column(const Matice& m, int j) {
    std::vector<long double> c;
    for (int i = 1; i <= m.r; ++i) c.push_back(m.GetPrvek(i, j));
    return c;
}

TEST(CountLines, EveryLineCountsAlsoEmptyAndUnterminated) {
    TempDir dir;
    const std::string path = dir.Path("f.txt");
    const std::pair<std::string, long long> cases[] = {
        {"", 0},       {"a", 1},          {"a\n", 1},         {"a\r\n", 1},     {"a\r\nb", 2},
        {"a\n\n", 2},  {"\n", 1},         {"\r\n\r\n", 2},    {"a\rb\r", 2},    {"a\n\r\nb\r\r", 4},
        {"   ", 1},    {"a\r\n\r\n", 2},  {std::string("\0\0\n\0", 4), 2},
    };
    for (const auto& [content, expected] : cases) {
        WriteFileBytes(path, content);
        long long n = -1;
        EXPECT_TRUE(CountLines(path, n));
        EXPECT_EQ(n, expected) << testing::PrintToString(content);
    }
    // A CR LF pair split by the read buffer is still one line end.
    for (std::size_t crAt : {65534u, 65535u, 65536u}) {
        std::string content(crAt, 'x');
        content += "\r\nlast";
        WriteFileBytes(path, content);
        long long n = 0;
        EXPECT_TRUE(CountLines(path, n));
        EXPECT_EQ(n, 2) << crAt;
    }
    long long n = 5;
    EXPECT_FALSE(CountLines(dir.Path("neni.txt"), n));
    EXPECT_EQ(n, 0);
    n = 5;
    EXPECT_FALSE(CountLines(dir.Dir().string(), n));
    EXPECT_EQ(n, 0);
}

TEST(CountLines, PipesAndUnreadableFilesFailWithoutBlocking) {
    TempDir dir;
    const std::string fifo = dir.Path("roura");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    long long n = 5;
    EXPECT_FALSE(CountLines(fifo, n));
    EXPECT_EQ(n, 0);
    MatPtr m;
    EXPECT_FALSE(ReadImageFile(fifo, m, 1));
    EXPECT_FALSE(m);

    if (::geteuid() == 0) GTEST_SKIP() << "permissions are not enforced for root";
    const std::string locked = dir.Path("zamceny.txt");
    WriteFileBytes(locked, "1 2 3 4\n");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    EXPECT_FALSE(CountLines(locked, n));
    MatPtr points, counts, ranges;
    EXPECT_FALSE(LoadImageFiles({locked}, points, counts, ranges));
    EXPECT_EQ(counts->GetPrvek(1, 1), 0.0L);
}

TEST(ReadImageFile, RowsFollowTheNumberReadingRules) {
    TempDir dir;
    const std::string path = dir.Path("img.txt");
    MatPtr m;
    // An empty line in the middle is skipped: rows move up, the last is zeros.
    WriteFileBytes(path, "1 1.5 2.5 0\r\n\r\n2 3 4 9 rest of the line\r\n");
    ASSERT_TRUE(ReadImageFile(path, m, 3));
    ASSERT_EQ(m->r, 3);
    ASSERT_EQ(m->s, 4);
    EXPECT_EQ(m->prvky, (std::vector<long double>{1, 1.5L, 2.5L, 0, 2, 3, 4, 9, 0, 0, 0, 0}));

    // A short line takes its missing numbers from the next line.
    WriteFileBytes(path, "1 10 20\n30 2 11 21 31\n3 12 22 32");
    ASSERT_TRUE(ReadImageFile(path, m, 3));
    EXPECT_EQ(m->prvky, (std::vector<long double>{1, 10, 20, 30, 3, 12, 22, 32, 0, 0, 0, 0}));

    // Tabs, CR only line ends, a 10 000 character tail after the numbers.
    WriteFileBytes(path, "\t7\t-1e-3\t+2E2\t.5 " + std::string(10000, '#') + "\r8 1 2 3");
    ASSERT_TRUE(ReadImageFile(path, m, 2));
    EXPECT_EQ(m->prvky, (std::vector<long double>{7, -1e-3L, 200, 0.5L, 8, 1, 2, 3}));

    ASSERT_TRUE(ReadImageFile(path, m, 0));
    EXPECT_EQ(m->r, 0);
}

TEST(ReadImageFile, FailureKeepsTheRowsReadBefore) {
    TempDir dir;
    const std::string path = dir.Path("img.txt");
    const std::string tooLong = std::string(65, '1');
    for (const std::string& bad : {std::string("1,5"), std::string("nan"), std::string("inf"),
                                   std::string("1e5000"), std::string("0x1"), std::string("bod"), tooLong,
                                   std::string(10000, '5') + "x", std::string("\xff\xfe\x01", 3)}) {
        WriteFileBytes(path, "1 2 3 4\n5 6 " + bad + " 8\n9 10 11 12\n");
        MatPtr m;
        EXPECT_FALSE(ReadImageFile(path, m, 3)) << bad.substr(0, 20);
        ASSERT_TRUE(m);
        // Row 2 is not stored although two of its numbers were read.
        EXPECT_EQ(m->prvky, (std::vector<long double>{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}));
    }
    MatPtr m;
    EXPECT_FALSE(ReadImageFile(dir.Path("neni.txt"), m, 3));
    EXPECT_FALSE(m);
    EXPECT_FALSE(ReadImageFile(dir.Dir().string(), m, 3));
    EXPECT_FALSE(m);
}

TEST(LoadImageFiles, BlocksCountsAndRanges) {
    TempDir dir;
    const std::vector<std::string> files = {dir.Path("a.txt"), dir.Path("b.txt"), dir.Path("c.txt")};
    WriteFileBytes(files[0], ImageLines(1, 5));
    WriteFileBytes(files[1], "");
    WriteFileBytes(files[2], ImageLines(101, 6, "\n") + "107 1 2 3");  // last line unterminated
    MatPtr points, counts, ranges;
    ASSERT_TRUE(LoadImageFiles(files, points, counts, ranges));
    EXPECT_EQ(Column(*counts, 1), (std::vector<long double>{5, 0, 7}));
    EXPECT_EQ(Column(*ranges, 1), (std::vector<long double>{1, 6, 6}));
    EXPECT_EQ(Column(*ranges, 2), (std::vector<long double>{5, 5, 12}));
    ASSERT_EQ(points->r, 12);
    ASSERT_EQ(points->s, 4);
    EXPECT_EQ(Column(*points, 1),
              (std::vector<long double>{1, 2, 3, 4, 5, 101, 102, 103, 104, 105, 106, 107}));
    EXPECT_EQ(points->GetPrvek(2, 2), 2.25L);
    EXPECT_EQ(points->GetPrvek(2, 3), -2.5L);
    EXPECT_EQ(points->GetPrvek(12, 4), 3.0L);

    // A last line followed by one empty line adds a row of zeros.
    WriteFileBytes(files[1], ImageLines(50, 2) + "\r\n");
    ASSERT_TRUE(LoadImageFiles(files, points, counts, ranges));
    EXPECT_EQ(Column(*counts, 1), (std::vector<long double>{5, 3, 7}));
    EXPECT_EQ(points->GetPrvek(8, 1), 0.0L);
    EXPECT_EQ(points->GetPrvek(8, 2), 0.0L);
    EXPECT_EQ(points->GetPrvek(9, 1), 101.0L);
}

TEST(LoadImageFiles, FailedFileLeavesWhatWasRead) {
    TempDir dir;
    const std::vector<std::string> files = {dir.Path("a.txt"), dir.Path("b.txt"), dir.Path("c.txt")};
    WriteFileBytes(files[0], ImageLines(1, 2));
    WriteFileBytes(files[2], ImageLines(7, 3));
    MatPtr points, counts, ranges;
    // b.txt does not exist: it counts 0 lines and the others are read.
    ASSERT_FALSE(LoadImageFiles(files, points, counts, ranges));
    EXPECT_EQ(Column(*counts, 1), (std::vector<long double>{2, 0, 3}));
    EXPECT_EQ(Column(*points, 1), (std::vector<long double>{1, 2, 7, 8, 9}));

    // A decimal comma in b.txt: rows before it are kept, c.txt is still read.
    WriteFileBytes(files[1], "5 1.5 2.5 0\n6 1,5 2.5 0\n");
    ASSERT_FALSE(LoadImageFiles(files, points, counts, ranges));
    EXPECT_EQ(Column(*counts, 1), (std::vector<long double>{2, 2, 3}));
    EXPECT_EQ(Column(*points, 1), (std::vector<long double>{1, 2, 5, 0, 7, 8, 9}));

    // A folder in place of a file.
    std::filesystem::remove(files[1]);
    std::filesystem::create_directory(files[1]);
    EXPECT_FALSE(LoadImageFiles(files, points, counts, ranges));
    EXPECT_EQ(points->r, 5);
}

TEST(LoadImageFiles, ReportNamesTheFileTheLineAndTheToken) {
    TempDir dir;
    const std::vector<std::string> files = {dir.Path("a.txt"), dir.Path("b.txt")};
    // a.txt reads whole (a byte-order mark, blank lines, text after the
    // numbers, a lone CR); b.txt fails on line 3, after a blank line.
    WriteFileBytes(files[0], "\xEF\xBB\xBF" "1 2 3 4 5 6\r\n\r\n \t\r\n2 1 1 1 x 5\r7 8 9 1");
    WriteFileBytes(files[1], "3 1 1 1\n\n4 1 1,5 1\n");
    MatPtr points, counts, ranges;
    FileSetReport report;
    EXPECT_FALSE(LoadImageFiles(files, points, counts, ranges, &report));
    EXPECT_EQ(report.error.reason, ReadFailure::NotANumber);
    EXPECT_EQ(report.error.file, files[1]);
    EXPECT_EQ(report.error.line, 3);
    EXPECT_EQ(report.error.token, "1,5");
    // The numbers each line of a file read whole begins with.
    ASSERT_EQ(report.files.size(), 2u);
    EXPECT_EQ(report.files[0].file, files[0]);
    EXPECT_EQ(report.files[0].leadingNumbers,
              (std::vector<std::int32_t>{6, kBlankFileLine, kBlankFileLine, 4, 4}));

    // A file that cannot be opened comes first, even after a bad number.
    EXPECT_FALSE(LoadImageFiles({files[1], dir.Path("neni.txt")}, points, counts, ranges, &report));
    EXPECT_EQ(report.error.reason, ReadFailure::CannotOpen);
    EXPECT_EQ(report.error.file, dir.Path("neni.txt"));
    EXPECT_EQ(report.error.line, 0);
}

TEST(LoadImageFiles, MoreThan65535LinesIsRefusedWithoutChange) {
    TempDir dir;
    const std::vector<std::string> files = {dir.Path("a.txt"), dir.Path("b.txt")};
    WriteFileBytes(files[0], ImageLines(1, 40000, "\n"));
    WriteFileBytes(files[1], ImageLines(1, 25535, "\n"));
    MatPtr points, counts, ranges;
    ASSERT_TRUE(LoadImageFiles(files, points, counts, ranges));
    EXPECT_EQ(points->r, 65535);
    EXPECT_EQ(ranges->GetPrvek(2, 2), 65535.0L);
    EXPECT_EQ(points->GetPrvek(65535, 1), 25535.0L);

    const Matice* before[3] = {points.get(), counts.get(), ranges.get()};
    WriteFileBytes(files[1], ImageLines(1, 25535, "\n") + "\n");
    FileSetReport report;
    EXPECT_FALSE(LoadImageFiles(files, points, counts, ranges, &report));
    EXPECT_EQ(report.error.reason, ReadFailure::TooManyLines);
    EXPECT_EQ(report.error.totalLines, 65536);
    EXPECT_TRUE(report.files.empty());
    EXPECT_EQ(points.get(), before[0]);
    EXPECT_EQ(counts.get(), before[1]);
    EXPECT_EQ(ranges.get(), before[2]);
    EXPECT_EQ(points->GetPrvek(65535, 1), 25535.0L);

    EXPECT_FALSE(LoadImageFiles({}, points, counts, ranges));
    EXPECT_EQ(points.get(), before[0]);
}

TEST(LoadImageFiles, RealImageFiles) {
    const std::string first = test::RealDataPath("prague2016_sxb_fixed/exact/img_01.txt");
    if (first.empty()) GTEST_SKIP() << "real data not available";
    std::vector<std::string> files;
    for (int i = 1; i <= 5; ++i)
        files.push_back(test::RealDataPath("prague2016_sxb_fixed/exact/img_0" + std::to_string(i) + ".txt"));
    MatPtr points, counts, ranges;
    ASSERT_TRUE(LoadImageFiles(files, points, counts, ranges));
    // Line counts as wc -l reports them (every file ends with a line end).
    EXPECT_EQ(Column(*counts, 1), (std::vector<long double>{7, 9, 12, 10, 9}));
    EXPECT_EQ(points->r, 47);
    // First line of img_01.txt: 317 30.04600020 43.65400020 0
    EXPECT_EQ(points->GetPrvek(1, 1), 317.0L);
    EXPECT_EQ(points->GetPrvek(1, 2), 30.04600020L);
    EXPECT_EQ(points->GetPrvek(1, 3), 43.65400020L);
}

}  // namespace
}  // namespace pelvanor
