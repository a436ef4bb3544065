// The adjustment with a camera constant per image on the real blocks: the
// aerial block without tie points (images looking straight down at flat
// control) cannot determine f and is released; the aerial block with tie
// points keeps its result and names its poorly determined camera constants;
// the calibration sheet keeps everything and names its straight-down images.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/bundle_pipeline.h"
#include "project/camera_constant_check.h"
#include "project/failure_causes.h"
#include "project/loaders.h"
#include "project/object_points_pipeline.h"
#include "project/state_reports.h"
#include "tests/project/loaded_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kPoorWarning = "Upozornění - Konstanta komory je špatně určena na snímcích ";

bool Load(const std::string& folder, ProjectState& s, test::RecordingHost& host) {
    if (!LoadCameraFile(folder + "/camera.txt", s)) return false;
    if (LoadControlPoints(test::ProjectFiles(folder, "ctrl_"), s).status != ControlLoadResult::Status::Loaded)
        return false;
    if (!LoadImagePoints(test::ProjectFiles(folder, "img_"), s)) return false;
    host.items[UiItem::Orientace1] = true;
    host.items[UiItem::Snmkovsouadnice1] = true;
    host.camera = s.Camera;
    return true;
}

Lines Starting(const Lines& lines, const std::string& prefix) {
    Lines out;
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
}

// The images a warning names, in its order.
std::vector<int> NamedImages(const std::string& warning) {
    std::vector<int> images;
    std::size_t at = std::string(kPoorWarning).size();
    while (at < warning.size()) {
        const std::size_t open = warning.find(" (f = ", at);
        if (open == std::string::npos) break;
        const std::size_t start = warning.find_last_of(" ", open - 1) + 1;
        images.push_back(std::stoi(warning.substr(start, open - start)));
        at = warning.find(')', open) + 1;
    }
    return images;
}

// f of every image lands negative or several times the camera's (123.9 mm):
// the adjustment with f is released with its cause, "Souřadnice XYZ" with
// that setting fails naming the remedy, and without f both commands run.
TEST(CameraConstantCheck, FlatAerialBlockWithoutTiePointsIsReleased) {
    const std::string folder = test::RealDataPath("prague2016_sxb_fixed/exact");
    if (folder.empty()) GTEST_SKIP() << "real data not available";
    ProjectState s;
    test::RecordingHost host(&s, ',');
    ASSERT_TRUE(Load(folder, s, host));

    ASSERT_TRUE(BundleCommand(s, host));
    EXPECT_EQ(s.BundleFailure, AdjustmentFailure::None);
    EXPECT_EQ(s.BundleFailureF, AdjustmentFailure::CameraConstantUndetermined);
    EXPECT_FALSE(s.BundleUnknownsF);
    EXPECT_FALSE(s.BundleDeviationsF);
    const Lines report = BundleReportLines(s, ',');
    EXPECT_EQ(report.back(),
              "Výpočet svazkového vyrovnání s konstantou komory nelze provést - vyrovnání neurčí konstantu "
              "komory (f nelze odlišit od vzdálenosti ve směru záběru)");
    EXPECT_TRUE(Starting(host.log, "Upozornění - Konstanta komory").empty());

    host.log.clear();
    EXPECT_FALSE(ObjectPointsCommand(s, host));
    const std::string cause = AdjustmentFailedLogLine(true, AdjustmentFailure::CameraConstantUndetermined);
    EXPECT_EQ(cause,
              "Chyba - Vyrovnání s konstantou komory neurčí konstantu komory (f nelze odlišit od vzdálenosti "
              "ve směru záběru) - vypněte „Vyrovnání konstanty komory“ nebo kameru kalibrujte");
    EXPECT_NE(std::find(host.log.begin(), host.log.end(), cause), host.log.end());
    EXPECT_EQ(host.log.back(), "Chyba - Souřadnice XYZ - výpočet nelze provést");

    host.log.clear();
    s.Settings.AdjustCameraConstant = false;
    EXPECT_TRUE(ObjectPointsCommand(s, host));
}

// f comes out 139 to 147 mm (the camera's 123.9) with sigma_f about 5 %:
// kept, and all five images named with f +- sigma_f.
TEST(CameraConstantCheck, AerialBlockWithTiePointsNamesItsCameraConstants) {
    const std::string folder = test::RealDataPath("prague2016_sxb_smart/exact");
    if (folder.empty()) GTEST_SKIP() << "real data not available";
    ProjectState s;
    test::RecordingHost host(&s, ',');
    ASSERT_TRUE(Load(folder, s, host));
    ASSERT_TRUE(BundleCommand(s, host));
    EXPECT_EQ(s.BundleFailureF, AdjustmentFailure::None);
    ASSERT_TRUE(s.BundleDeviationsF);
    ASSERT_EQ(s.BundleDeviationsF->r, 5);
    for (int j = 1; j <= 5; ++j) {
        const long double f = s.BundleUnknownsF->GetPrvek(static_cast<int>(s.BundleImageIndexF->GetPrvek(j, 1)) + 6, 1);
        const long double ratio = s.BundleDeviationsF->GetPrvek(j, 7) / f;
        EXPECT_GT(ratio, 0.03L) << "image " << j;
        EXPECT_LT(ratio, 0.08L) << "image " << j;
    }
    const Lines warnings = Starting(host.log, kPoorWarning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(NamedImages(warnings[0]), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_NE(warnings[0].find(": f a vzdálenost ve směru záběru zde nelze od sebe odlišit"), std::string::npos);
}

// The convergent images 1 to 16 determine f to some 0.05 %, the straight-
// down images 17 to 21 only to 0.4 to 1.5 %: everything is kept (its
// files are the golden ones) and the warning names 17 to 21.
TEST(CameraConstantCheck, CalibrationSheetKeepsItsResultAndNamesTheStraightDownImages) {
    const std::string folder = test::RealDataPath("prague2016_cam_fixed/exact");
    if (folder.empty()) GTEST_SKIP() << "real data not available";
    ProjectState s;
    test::RecordingHost host(&s, ',');
    ASSERT_TRUE(Load(folder, s, host));
    host.method = 0;  // the control lies in Z = 0
    s.Settings.NormalEquations = NormalSolve::Sparse;
    ASSERT_TRUE(BundleCommand(s, host));
    EXPECT_EQ(s.BundleFailureF, AdjustmentFailure::None);
    ASSERT_TRUE(s.BundleDeviationsF);
    const Lines warnings = Starting(host.log, kPoorWarning);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(NamedImages(warnings[0]), (std::vector<int>{17, 18, 19, 20, 21}));
}

}  // namespace
}  // namespace pelvanor
