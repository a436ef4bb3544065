// The coordinate files' header lines, the combined table of the points
// with their F-test columns, and the appended point rows.

#include "protocol/coordinate_report.h"

#include <string>

#include <gtest/gtest.h>

#include "matrix/file_error.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

// The title and header lines in CP1250, as written to the files.
const std::string kTitleCp1250 = "Protokol o v\xFDpo\xE8tu prostorov\xFD" "ch sou\xF8" "adnic - program Pelvanor\r\n" +
                                 std::string(60, '*') + "\r\n";
const std::string kH8Cp1250 =
    "        \xC8\xEDslo bodu       X[m]            Y[m]            Z[m]             m0"
    "             Mx[m]           My[m]           Mz[m]";
const std::string kH10Cp1250 = kH8Cp1250 + "         kriterium        Fisher ";

TEST(CoordinateReport, HeaderLinesKeepTheirExactSpacing) {
    EXPECT_EQ(kH8Cp1250.size(), 126u);
    EXPECT_EQ(kH10Cp1250.size(), 159u);
    test::TempDir dir;
    CoordinateFileHeader(dir.Path("a.txt"));
    EXPECT_EQ(test::ReadFileBytes(dir.Path("a.txt")), kTitleCp1250 + kH8Cp1250 + "\r\n");
    CoordinateFileHeaderFTest(dir.Path("b.txt"));
    EXPECT_EQ(test::ReadFileBytes(dir.Path("b.txt")), kTitleCp1250 + kH10Cp1250 + "\r\n");
}

TEST(CoordinateReport, HeaderReplacesAnExistingFile) {
    test::TempDir dir;
    const std::string file = dir.Path("xyz.txt");
    test::WriteFileBytes(file, "old content that is longer than the header would be ......\r\n");
    CoordinateFileHeaderFTest(file);
    CoordinateFileHeaderFTest(file);
    EXPECT_EQ(test::ReadFileBytes(file), kTitleCp1250 + kH10Cp1250 + "\r\n");
}

TEST(CoordinateReport, HeaderOnAnUnwritablePathRaisesFileError) {
    test::TempDir dir;
    EXPECT_THROW(CoordinateFileHeader(dir.Path("no/such/folder/a.txt")), FileError);
    EXPECT_THROW(CoordinateFileHeaderFTest(dir.Path("no/such/folder/a.txt")), FileError);
}

TEST(CoordinateReport, CombinedTablePutsTheTestColumnsBesideThePoints) {
    const MatPtr points = test::MakeMatrix({{101, 10.5L, 20.25L, -3.125L, 0.012L, 0.001L, 0.002L, 0.003L},
                                            {102, -7.5L, 0, 12, 0.011L, 0.004L, 0.005L, 0.006L}});
    const MatPtr ftest = test::MakeMatrix({{1.25L, 3.4567L}, {4.5L, 3.4567L}});
    MatPtr t = CombinedCoordinateTable(*points, *ftest);
    ASSERT_EQ(t->r, 2);
    ASSERT_EQ(t->s, 10);
    for (int i = 1; i <= 2; ++i) {
        for (int j = 1; j <= 8; ++j) EXPECT_EQ(t->GetPrvek(i, j), points->GetPrvek(i, j));
        for (int j = 1; j <= 2; ++j) EXPECT_EQ(t->GetPrvek(i, 8 + j), ftest->GetPrvek(i, j));
    }
}

TEST(CoordinateReport, EmptyPassedTableAddsNoPointZero) {
    test::TempDir dir;
    const std::string file = dir.Path("passed.txt");
    CoordinateFileHeader(file);
    AppendPointRows(*test::MakeMatrix({{0}}), file);
    EXPECT_EQ(test::ReadFileBytes(file), kTitleCp1250 + kH8Cp1250 + "\r\n");
    AppendPointRows(*test::MakeMatrix({{12, 1.5L}}), file);
    EXPECT_EQ(test::ReadFileBytes(file),
              kTitleCp1250 + kH8Cp1250 + "\r\n" + "             12         1.50000 \r\n");
    EXPECT_THROW(AppendPointRows(*test::MakeMatrix({{0}}), dir.Path("absent.txt")), FileError);
}

}  // namespace
}  // namespace pelvanor
