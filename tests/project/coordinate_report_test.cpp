#include "project/state_reports.h"
#include "protocol/coordinate_report.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "matrix/file_error.h"
#include "tests/project/report_fixture.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

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

TEST(CoordinateReport, SummaryCountsComputedAndPassingPoints) {
    ProjectState s;
    s.ObjectPoints = NewMatrix(25, 8);
    s.FTestPassed = NewMatrix(20, 8);
    for (int i = 1; i <= 20; ++i) s.FTestPassed->SetPrvek(i, 1, 100.0L + i);
    const Lines expected = {
        "Výpočet prostorových souřadnic - program Pelvanor",
        std::string(49, '*'),
        "F-test na hladině významnosti: 5 procent",
        "Počet vypočtených bodů: 25",
        "Počet bodů splňujíci F-test: 20",
    };
    EXPECT_EQ(CoordinateSummaryLines(s, ','), expected);
}

TEST(CoordinateReport, SummaryShowsZeroWhenNoPointPasses) {
    ProjectState s;
    s.Settings.SignificancePercent = 1;
    s.ObjectPoints = NewMatrix(3, 8);
    s.FTestPassed = test::MakeMatrix({{0}});
    const Lines lines = CoordinateSummaryLines(s, '.');
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], "F-test na hladině významnosti: 1 procent");
    EXPECT_EQ(lines[3], "Počet vypočtených bodů: 3");
    EXPECT_EQ(lines[4], "Počet bodů splňujíci F-test: 0");
    // One genuine passing point is counted as one.
    s.FTestPassed = test::MakeMatrix({{7, 1, 2, 3, 0, 0, 0, 0}});
    EXPECT_EQ(CoordinateSummaryLines(s, '.')[4], "Počet bodů splňujíci F-test: 1");
}

TEST(CoordinateReport, CombinedTablePutsTheTestColumnsBesideThePoints) {
    const ProjectState s = test::MakeReportProject();
    MatPtr t = CombinedCoordinateTable(*s.ObjectPoints, *s.FTestResults);
    ASSERT_EQ(t->r, 2);
    ASSERT_EQ(t->s, 10);
    for (int i = 1; i <= 2; ++i) {
        for (int j = 1; j <= 8; ++j) EXPECT_EQ(t->GetPrvek(i, j), s.ObjectPoints->GetPrvek(i, j));
        for (int j = 1; j <= 2; ++j) EXPECT_EQ(t->GetPrvek(i, 8 + j), s.FTestResults->GetPrvek(i, j));
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
