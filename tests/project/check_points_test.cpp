#include "project/check_points.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/bundle_pipeline.h"
#include "project/state_reports.h"
#include "project/weighted_control.h"
#include "tests/project/loaded_project.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

// The numbers of a protocol line, the decimal comma read as a point.
std::vector<long double> Numbers(std::string line) {
    std::replace(line.begin(), line.end(), ',', '.');
    std::istringstream in(line);
    std::vector<long double> values;
    for (std::string token; in >> token;) {
        try {
            values.push_back(std::stold(token));
        } catch (...) {
        }
    }
    return values;
}

// The value of the line that starts with `label`.
long double ValueAfter(const Lines& lines, std::size_t from, const std::string& label) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].rfind(label, 0) == 0) return Numbers(lines[i].substr(label.size())).at(0);
    ADD_FAILURE() << "no line " << label;
    return 0.0L;
}

// Eight control points of which the first four fix the datum, all of them
// also in the image coordinate files.
TEST(CheckPoints, DifferencesAndRootMeanSquaresAgainstTheTruth) {
    synth::Options o = test::SmallProject(41);
    o.control = 8;
    o.control_in_images = true;
    test::LoadedProject lp(o);
    ProjectState& s = lp.state;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    std::map<long double, const synth::ObjectPoint*> truth;
    for (const synth::ObjectPoint& p : lp.project.control_points) truth[static_cast<long double>(p.id)] = &p;

    // The control points of the point list beyond the four fixed ones,
    // found independently: the list begins with the control points measured
    // on two images or more, in the order of the control point index.
    const Matice& list = *s.BundleObservationTable;
    const Matice& controlIndex = *s.ControlPointOccurrences;
    ASSERT_GT(controlIndex.r, 4);
    std::vector<long double> expected;
    for (int k = 5; k <= controlIndex.r; ++k) expected.push_back(controlIndex.GetPrvek(k, 1));

    const std::vector<CheckPointBlock> blocks = CheckPointBlocks(s);
    ASSERT_EQ(blocks.size(), 2u);
    const CheckPointBlock& block = blocks[0];
    ASSERT_FALSE(block.withCameraConstant);
    ASSERT_EQ(block.adjusted.size(), expected.size());
    long double sum[3] = {0.0L, 0.0L, 0.0L};
    long double largest = 0.0L;
    long double largestNumber = 0.0L;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const CheckPointRowValues& row = block.adjusted[i];
        ASSERT_EQ(row.number, expected[i]);
        const synth::ObjectPoint& t = *truth.at(row.number);
        EXPECT_EQ(row.surveyed[0], t.X);
        EXPECT_EQ(row.surveyed[1], t.Y);
        EXPECT_EQ(row.surveyed[2], t.Z);
        const int k = static_cast<int>(i) + 5;  // its row in the point list
        ASSERT_EQ(list.GetPrvek(k, 1), row.number);
        long double space = 0.0L;
        for (int q = 0; q < 3; ++q) {
            EXPECT_EQ(row.adjusted[q], s.BundleUnknowns->GetPrvek(3 * k - 2 + q, 1));
            const long double d = row.adjusted[q] - row.surveyed[q];
            // Two micrometres of image noise: millimetres on the object.
            EXPECT_LT(std::fabs(d), 0.02L);
            sum[q] += d * d;
            space += d * d;
        }
        if (std::sqrt(space) > largest) {
            largest = std::sqrt(space);
            largestNumber = row.number;
        }
    }
    // Every control point stands in the image coordinate files too: each
    // one is intersected, the fixed ones included.
    EXPECT_EQ(block.intersected.size(), static_cast<std::size_t>(controlIndex.r));
    for (const CheckPointRowValues& row : block.intersected)
        for (int q = 0; q < 3; ++q) EXPECT_LT(std::fabs(row.adjusted[q] - row.surveyed[q]), 0.02L);

    // The protocol: each row's differences are its adjusted minus its
    // surveyed values, the summary the root mean squares computed here.
    const Lines lines = CheckPointReportLines(s, ',');
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Kontrolní body - program Pelvanor");
    EXPECT_EQ(lines[1], std::string(33, '*'));
    const auto table = std::find(lines.begin(), lines.end(), "Vlícovací body vyrovnané jako neznámé");
    ASSERT_NE(table, lines.end());
    const std::size_t first = static_cast<std::size_t>(table - lines.begin()) + 2;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::vector<long double> v = Numbers(lines.at(first + i));
        ASSERT_EQ(v.size(), 11u) << lines.at(first + i);
        EXPECT_EQ(v[0], expected[i]);
        for (int q = 0; q < 3; ++q) EXPECT_NEAR(static_cast<double>(v[7 + q]), static_cast<double>(v[4 + q] - v[1 + q]), 2e-6);
        EXPECT_EQ(v[10], static_cast<long double>(block.adjusted[i].images));
    }
    const long double n = static_cast<long double>(expected.size());
    const std::size_t summary = first + expected.size();
    EXPECT_EQ(ValueAfter(lines, summary, "Počet kontrolních bodů: "), n);
    EXPECT_NEAR(static_cast<double>(ValueAfter(lines, summary, "Střední kvadratická odchylka dX: ")),
                static_cast<double>(std::sqrt(sum[0] / n)), 1e-6);
    EXPECT_NEAR(static_cast<double>(ValueAfter(lines, summary, "Střední kvadratická odchylka dY: ")),
                static_cast<double>(std::sqrt(sum[1] / n)), 1e-6);
    EXPECT_NEAR(static_cast<double>(ValueAfter(lines, summary, "Střední kvadratická odchylka dZ: ")),
                static_cast<double>(std::sqrt(sum[2] / n)), 1e-6);
    EXPECT_NEAR(static_cast<double>(ValueAfter(lines, summary, "Střední kvadratická odchylka v prostoru: ")),
                static_cast<double>(std::sqrt((sum[0] + sum[1] + sum[2]) / n)), 1e-6);
    EXPECT_NEAR(static_cast<double>(ValueAfter(lines, summary, "Největší odchylka v prostoru: ")),
                static_cast<double>(largest), 1e-6);
    const std::string& worst = lines.at(summary + 6);
    EXPECT_EQ(worst.substr(worst.find(" m (bod ")), " m (bod " + std::to_string(std::llround(largestNumber)) + ")");

    // The block of the adjustment with the camera constant follows.
    EXPECT_TRUE(blocks[1].withCameraConstant);
    EXPECT_EQ(blocks[1].adjusted.size(), expected.size());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Kontrolní body - vyrovnání s konstantou komory"), lines.end());
}

TEST(CheckPoints, NoCheckPointIsOneLine) {
    test::LoadedProject lp(test::TinyProject(42));
    ProjectState& s = lp.state;
    s.Settings.FixedPointCount = 6;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    EXPECT_EQ(CheckPointReportLines(s, ','),
              Lines{"Žádné kontrolní body: všechny vlícovací body vyrovnání jsou pevné"});
}

// With weighted control and a control accuracy file: the report's check
// points are exactly those the file names, and every other control point
// shows its shift against the sigma it was weighted with.
TEST(CheckPoints, AnAccuracyFileNamesTheCheckPointsAndTheOthersAreWeighted) {
    synth::Options o = test::SmallProject(43);
    o.control = 8;
    test::LoadedProject lp(o);
    ProjectState& s = lp.state;
    const long long check = lp.project.control_points[5].id;
    const long long own = lp.project.control_points[2].id;
    const std::string path = lp.dir.Path("presnost.txt");

    // A bad line loads nothing and names the file and the line.
    test::WriteFileBytes(path, std::to_string(own) + " 0.05 0.05 0.05\n" + std::to_string(check) + " kontrola\n");
    std::string error;
    EXPECT_FALSE(LoadControlAccuracy(path, s, error));
    EXPECT_EQ(error.rfind("Chyba v souboru přesnosti vlícovacích bodů " + path + ", řádek 2: ", 0), 0u) << error;
    EXPECT_TRUE(s.ControlAccuracy.empty());

    test::WriteFileBytes(path, std::to_string(own) + " 0.05 0.05 0.05\n" + std::to_string(check) + " kontrolni\n");
    ASSERT_TRUE(LoadControlAccuracy(path, s, error)) << error;
    s.Settings.FixedPointCount = 0;
    s.Settings.RobustEstimation = false;
    s.Settings.ControlSigmaXY = 0.02L;
    s.Settings.ControlSigmaZ = 0.04L;
    ASSERT_TRUE(BundleCommand(s, lp.host));

    const std::vector<CheckPointBlock> blocks = CheckPointBlocks(s);
    ASSERT_EQ(blocks.size(), 2u);
    for (const CheckPointBlock& block : blocks) {
        SCOPED_TRACE(block.withCameraConstant);
        ASSERT_EQ(block.adjusted.size(), 1u);
        EXPECT_EQ(std::llround(block.adjusted[0].number), check);
        ASSERT_EQ(block.weighted.size(), lp.project.control_points.size() - 1);
        for (const WeightedControlRowValues& w : block.weighted) {
            EXPECT_NE(std::llround(w.point.number), check);
            const bool isOwn = std::llround(w.point.number) == own;
            EXPECT_EQ(w.sigma[0], isOwn ? 0.05L : 0.02L);
            EXPECT_EQ(w.sigma[2], isOwn ? 0.05L : 0.04L);
            // Adjusted to within a few sigmas of the survey.
            for (int q = 0; q < 3; ++q) EXPECT_LT(std::fabs(w.point.adjusted[q] - w.point.surveyed[q]), 4.0L * w.sigma[q]);
        }
    }
    const Lines report = BundleReportLines(s, ',');
    for (const char* heading : {"Vážené vlícovací body - vyrovnání bez konstanty komory",
                                "Vážené vlícovací body - vyrovnání s konstantou komory"})
        EXPECT_NE(std::find(report.begin(), report.end(), heading), report.end()) << heading;
}

}  // namespace
}  // namespace pelvanor
