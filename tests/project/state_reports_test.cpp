// The protocols assembled from the whole project state: the panel of the
// bundle adjustment with the blocks the settings and the results allow, and
// the summary of the coordinate computation.

#include "project/state_reports.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/project/report_fixture.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

// The column headers as the protocol writes them.
const std::string kH6 =
    "Snímek     X0[m]     Y0[m]     Z0[m]    alfa[rad]  beta[rad]  gama[rad]";
const std::string kH7 =
    "Snímek     X0[m]     Y0[m]     Z0[m]    alfa[rad]  beta[rad]  gama[rad]      f";

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Lines kOpening = {
    "Výpočet svazkového vyrovnání - program Pelvanor",
    "***********************************************",
    " ",
    "Počet bodů vstupující do svazkového vyrovnání: 2",
    "Počet vlícovacích bodů - stabilizace: 4",
    " ",
};
const Lines kOutlierBlock = {
    "Odlehlé body zachycené robustní metodou",
    "---------------------------------------",
    "Počet vyřazených bodů z výpočtu svazkového vyrovnání: 1",
    "Vyřazené body",
    "17",
    " ",
};
const Lines kWithoutF = {
    "Výpočet svazkového vyrovnání bez konstanty komory",
    "-------------------------------------------------",
    "Aposteriorní směrodatná odchylka jednotková: 0,012",
    "Počet nadbytečných měření: 12",
    "Počet iterací: 4",
    " ",
    kH6,
    "  001    +1000,500000 +2000,000000 +50,000000 +0,0100000 -0,0200000 +1,5707963",
    "  002    -12,750000 +0,500000 +3,000000 -0,1234568 +0,0000000 +3,1415927",
};
const Lines kWithF = {
    " ",
    "Výpočet svazkového vyrovnání s konstantou komory",
    "-------------------------------------------------",
    "Aposteriorní směrodatná odchylka jednotková: 0,011",
    "Počet nadbytečných měření: 10",
    "Počet iterací: 5",
    " ",
    kH7,
    "  001    +1000,400000 +2000,100000 +49,900000 +0,0110000 -0,0210000 +1,5707000 +50,512345",
    "  002    -12,700000 +0,450000 +3,050000 -0,1200000 +0,0010000 +3,1416000 +50,490000",
};


TEST(BundleReportLines, FullProtocolWithOutliersAndCameraConstant) {
    ProjectState s = test::MakeReportProject();
    EXPECT_EQ(BundleReportLines(s, ','), Concat({kOpening, kOutlierBlock, kWithoutF, kWithF}));
}

TEST(BundleReportLines, PointSeparatorChangesOnlyTheNumbers) {
    ProjectState s = test::MakeReportProject();
    Lines expected = Concat({kOpening, kOutlierBlock, kWithoutF, kWithF});
    for (auto& line : expected)
        for (char& c : line)
            if (c == ',') c = '.';
    EXPECT_EQ(BundleReportLines(s, '.'), expected);
}

TEST(BundleReportLines, NoOutliersShowsCountZeroAndKeepsTheBlankLine) {
    ProjectState s = test::MakeReportProject();
    s.RobustOutliers = test::MakeMatrix({{0}});
    const Lines block = {
        "Odlehlé body zachycené robustní metodou",
        "---------------------------------------",
        "Počet vyřazených bodů z výpočtu svazkového vyrovnání: 0",
        " ",
    };
    EXPECT_EQ(BundleReportLines(s, ','), Concat({kOpening, block, kWithoutF, kWithF}));
}

TEST(BundleReportLines, SeveralOutliersAreListedInOrder) {
    ProjectState s = test::MakeReportProject();
    s.RobustOutliers = test::MakeMatrix({{17, 3}, {4, 1}, {1203, 9}});
    const Lines lines = BundleReportLines(s, ',');
    const Lines expected = {"Počet vyřazených bodů z výpočtu svazkového vyrovnání: 3",
                            "Vyřazené body", "17", "4", "1203", " "};
    ASSERT_GE(lines.size(), 14u);
    EXPECT_EQ(Lines(lines.begin() + 8, lines.begin() + 14), expected);
}

TEST(BundleReportLines, NoTiePointSelectedCountsZeroPoints) {
    ProjectState s = test::MakeReportProject();
    s.BundlePointOccurrences = test::MakeMatrix({{0}});
    EXPECT_EQ(BundleReportLines(s, ',')[3], "Počet bodů vstupující do svazkového vyrovnání: 0");
    s.BundlePointOccurrences = test::MakeMatrix({{1001, 1, 1, 2, 2}});
    EXPECT_EQ(BundleReportLines(s, ',')[3], "Počet bodů vstupující do svazkového vyrovnání: 1");
}

TEST(BundleReportLines, SettingsOffLeaveOutBothBlocks) {
    ProjectState s = test::MakeReportProject();
    s.Settings.RobustEstimation = false;
    s.Settings.AdjustCameraConstant = false;
    const Lines lines = BundleReportLines(s, ',');
    EXPECT_EQ(lines, Concat({kOpening, kWithoutF}));
    EXPECT_EQ(lines.back(), kWithoutF.back());
}

TEST(BundleReportLines, BlocksSwitchedOnAfterTheAdjustmentAreSkippedWhenTheirResultsAreMissing) {
    ProjectState s = test::MakeReportProject();
    s.RobustOutliers.reset();
    s.BundleUnknownsF.reset();
    s.BundleImageIndexF.reset();
    EXPECT_EQ(BundleReportLines(s, ','), Concat({kOpening, kWithoutF}));
}

TEST(BundleReportLines, StaleCameraConstantResultsOfFewerImagesAreSkipped) {
    ProjectState s = test::MakeReportProject();
    // Left from a run on a one-image project.
    s.BundleImageIndexF = test::MakeMatrix({{7, 13}});
    EXPECT_EQ(BundleReportLines(s, ','), Concat({kOpening, kOutlierBlock, kWithoutF}));
    // An index pointing past the unknown vector.
    s.BundleImageIndexF = test::MakeMatrix({{7, 13}, {15, 21}});
    EXPECT_EQ(BundleReportLines(s, ','), Concat({kOpening, kOutlierBlock, kWithoutF}));
}

TEST(BundleReportLines, ImagesAreFoundThroughTheIndexNotByPosition) {
    ProjectState s = test::MakeReportProject();
    s.ControlPointRanges = test::MakeMatrix({{1, 1}, {2, 2}, {3, 4}});
    auto u = NewMatrix(18, 1);
    for (int i = 1; i <= 18; ++i) u->SetPrvek(i, 1, static_cast<long double>(i));
    s.BundleUnknowns = std::move(u);
    // Image 2's unknowns come first in the vector.
    s.BundleImageIndex = test::MakeMatrix({{7, 12}, {1, 6}, {13, 18}});
    s.Settings.AdjustCameraConstant = false;
    const Lines lines = BundleReportLines(s, ',');
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3],
              "  001    +7,000000 +8,000000 +9,000000 +10,0000000 +11,0000000 +12,0000000");
    EXPECT_EQ(lines[lines.size() - 2],
              "  002    +1,000000 +2,000000 +3,000000 +4,0000000 +5,0000000 +6,0000000");
    EXPECT_EQ(lines[lines.size() - 1],
              "  003    +13,000000 +14,000000 +15,000000 +16,0000000 +17,0000000 +18,0000000");
}

TEST(BundleReportLines, TitleRulesMatchTheirHeadings) {
    ProjectState s = test::MakeReportProject();
    const Lines lines = BundleReportLines(s, ',');
    EXPECT_EQ(test::Utf8Characters(lines[1]), test::Utf8Characters(lines[0]));
    EXPECT_EQ(test::Utf8Characters(kOutlierBlock[1]), test::Utf8Characters(kOutlierBlock[0]));
    EXPECT_EQ(test::Utf8Characters(kWithoutF[1]), test::Utf8Characters(kWithoutF[0]));
    // The heading with the camera constant is one character shorter than its rule.
    EXPECT_EQ(test::Utf8Characters(kWithF[1]) + 1, test::Utf8Characters(kWithF[2]));
}

TEST(CoordinateSummaryLines, SummaryCountsComputedAndPassingPoints) {
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

TEST(CoordinateSummaryLines, SummaryShowsZeroWhenNoPointPasses) {
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

}  // namespace
}  // namespace pelvanor
