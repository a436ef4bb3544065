#include "project/object_points_pipeline.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adjustment/f_test.h"
#include "project/complete_protocol.h"
#include "tests/project/loaded_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

const std::string kCameraError = "Chyba - Špatné hodnoty parametrů kamery";
const std::string kCorrected = "Oprava o distorze provedena";
const std::string kOriented = "Přibližná orientace - výpočet proveden";
const std::string kBundleDone = "Svazkové vyrovnání - výpočet proveden";
const std::string kBundleFailed = "Svazkové vyrovnání - výpočet nelze provést";
const std::string kDone = "Souřadnice XYZ - výpočet proveden";
const std::string kFailed = "Chyba - Souřadnice XYZ - výpočet nelze provést";

const UiItem kItems[] = {UiItem::SouadniceXYZ2,  UiItem::Protokoly1,
                         UiItem::Kompletn1,      UiItem::Pouzesouadnice1,
                         UiItem::Svazkovvyrovnn2, UiItem::Piblineenvnjorientace1,
                         UiItem::Opravensnmkovsouadnice1, UiItem::Snmkovsouadnice2,
                         UiItem::Orientace2, UiItem::Kontrolnbody1, UiItem::Kontrolnbody2};

// Largest distance of a computed point from its true position.
long double WorstPointError(const ProjectState& s, const synth::Project& p) {
    std::map<long long, const synth::ObjectPoint*> truth;
    for (const auto& pt : p.tie_points) truth[pt.id] = &pt;
    for (const auto& pt : p.control_points) truth[pt.id] = &pt;
    long double worst = 0.0L;
    for (int i = 1; i <= s.ObjectPoints->r; ++i) {
        const auto it = truth.find(std::llround(s.ObjectPoints->GetPrvek(i, 1)));
        if (it == truth.end()) return 1e9L;
        const long double dx = s.ObjectPoints->GetPrvek(i, 2) - it->second->X;
        const long double dy = s.ObjectPoints->GetPrvek(i, 3) - it->second->Y;
        const long double dz = s.ObjectPoints->GetPrvek(i, 4) - it->second->Z;
        worst = std::fmax(worst, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    return worst;
}

// The F-test run again on the stored coordinates with the given reference.
void ExpectTestedAgainst(const ProjectState& s, long double reference) {
    MatPtr passed, results;
    ASSERT_TRUE(FTest(s.ObjectPoints.get(), s.TiePointImageCounts.get(), passed,
                      static_cast<long double>(s.Settings.SignificancePercent), reference, results));
    EXPECT_EQ(results->prvky, s.FTestResults->prvky);
    EXPECT_EQ(passed->prvky, s.FTestPassed->prvky);
}

TEST(ObjectPointsPipeline, EveryStageSucceedsAndTheOrientationIsLoggedOnce) {
    test::LoadedProject lp(test::SmallProject(21));
    ProjectState& s = lp.state;
    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{kCorrected, kOriented, kBundleDone, kDone}));
    for (UiItem item : kItems) EXPECT_TRUE(lp.host.IsItemEnabled(item));
    EXPECT_FALSE(s.OrientationLogged);

    // Every point on two or more images, not only those of the bundle.
    ASSERT_TRUE(s.ObjectPoints && s.ApproxObjectPoints && s.FTestResults && s.FTestPassed);
    EXPECT_EQ(s.ObjectPoints->r, s.TiePointOccurrences->r);
    EXPECT_EQ(s.ApproxObjectPoints->r, s.TiePointOccurrences->r);
    EXPECT_GT(s.ObjectPoints->r, s.BundlePointOccurrences->r);
    EXPECT_EQ(s.FTestResults->r, s.ObjectPoints->r);
    EXPECT_LT(WorstPointError(s, lp.project), 0.05L);
    // With the camera constant on, the test compares with the adjustment with it.
    ExpectTestedAgainst(s, s.BundleSigma0F);
}

TEST(ObjectPointsPipeline, WithoutCameraConstantTheTestUsesTheAdjustmentWithoutIt) {
    test::LoadedProject lp(test::TinyProject(22));
    ProjectState& s = lp.state;
    s.Settings.AdjustCameraConstant = false;
    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    EXPECT_LT(WorstPointError(s, lp.project), 0.05L);
    ExpectTestedAgainst(s, s.BundleSigma0);
}

TEST(ObjectPointsPipeline, NoPointOnTwoImagesFailsWithItsLine) {
    test::LoadedProject lp(test::SmallProject(23));
    ProjectState& s = lp.state;
    // Give every measurement of every image a number of its own.
    for (int image = 1; image <= s.ImagePointRanges->r; ++image) {
        const int first = static_cast<int>(s.ImagePointRanges->GetPrvek(image, 1));
        const int last = static_cast<int>(s.ImagePointRanges->GetPrvek(image, 2));
        for (int i = first; i <= last; ++i)
            s.ImagePoints->SetPrvek(i, 1, s.ImagePoints->GetPrvek(i, 1) + 100000.0L * image);
    }
    // Without robust estimation the bundle adjustment runs on the control
    // points alone and succeeds; there is still no point to intersect.
    s.Settings.RobustEstimation = false;
    EXPECT_FALSE(ObjectPointsCommand(s, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{kCorrected, kOriented, kBundleDone, kFailed,
                                  "Chyba - Žádný bod není měřen alespoň na dvou snímcích"}));
    for (UiItem item : kItems) EXPECT_FALSE(lp.host.IsItemEnabled(item));
    EXPECT_FALSE(s.ObjectPoints);
    EXPECT_FALSE(s.FTestPassed);
}

TEST(ObjectPointsPipeline, WrongCameraFieldLogsEveryStageAndReleasesThePoints) {
    test::LoadedProject lp(test::TinyProject(24));
    ProjectState& s = lp.state;
    s.Settings.RobustEstimation = false;
    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    lp.host.log.clear();
    lp.host.fieldsValid = false;
    EXPECT_FALSE(ObjectPointsCommand(s, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{kCameraError, kCameraError, kCameraError, kBundleFailed, kFailed}));
    for (UiItem item : kItems) EXPECT_FALSE(lp.host.IsItemEnabled(item));
    for (const MatPtr* m : {&s.ApproxObjectPoints, &s.ObjectPoints, &s.FTestPassed, &s.FTestResults})
        EXPECT_FALSE(*m);
}

TEST(ObjectPointsPipeline, FailedBundleAdjustmentIsNamed) {
    test::LoadedProject lp(test::TinyProject(25));
    ProjectState& s = lp.state;
    // A point percentage of 0 makes the point selection fail, and with
    // robust estimation and camera constant off no later run rescues it.
    s.Settings.PointPercent = 0;
    s.Settings.RobustEstimation = false;
    s.Settings.AdjustCameraConstant = false;
    EXPECT_FALSE(ObjectPointsCommand(s, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{kCorrected, kOriented, kBundleFailed,
                                  "Chyba - Svazkové vyrovnání - výpočet nelze provést", kFailed,
                                  "Chyba - Výpočet selhal v kroku „Výběr bodů do svazkového vyrovnání“",
                                  "Upozornění - Nastavení „Body vstupujících do svazkového vyrovnání v "
                                  "procentech“ = 0 je mimo smysluplný rozsah (1 až 100)"}));
}

TEST(ObjectPointsPipeline, StopInAPassEndsThroughTheFailurePathWithOneLine) {
    test::LoadedProject lp(test::SmallProject(26));
    ProjectState& s = lp.state;
    // Default settings; the user stops at the second pass of the adjustment
    // with the camera constant, after the first adjustment has succeeded.
    lp.host.cancelAt = [](const ComputationProgress& p) {
        return p.adjustment == AdjustmentKind::WithCameraConstant && p.pass == 2;
    };
    EXPECT_FALSE(ObjectPointsCommand(s, lp.host));
    // The stop is the last line: no failure line of the data follows it.
    EXPECT_EQ(lp.host.log, (Lines{kCorrected, kOriented, kCancelledLine}));
    for (UiItem item : kItems) EXPECT_FALSE(lp.host.IsItemEnabled(item));
    for (const MatPtr* m : {&s.BundleUnknowns, &s.BundleUnknownsF, &s.RobustOutliers, &s.ObjectPoints})
        EXPECT_FALSE(*m);
    // Nothing ran after the stop: the report that asked for it is the last.
    ASSERT_FALSE(lp.host.progress.empty());
    EXPECT_EQ(lp.host.progress.back().adjustment, AdjustmentKind::WithCameraConstant);
    EXPECT_EQ(lp.host.progress.back().pass, 2);

    // The next run, not stopped, is complete again.
    lp.host.cancel = false;
    lp.host.cancelAt = nullptr;
    lp.host.log.clear();
    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{kCorrected, kOriented, kBundleDone, kDone}));
}

// Point numbers are compared whole: numbers that share their low 32 bits
// with another (2^32 + 1003 and 1003), or that a signed 32-bit integer
// would hold as negative (2^31 + 1003, 3 000 001 003), or that need 50 bits
// (10^15), are points of their own.
TEST(ObjectPointsPipeline, LargePointNumbersStayDistinct) {
    test::LoadedProject lp(test::SmallProject(26));
    ProjectState& s = lp.state;
    const std::map<long double, long double> renumbered = {
        {1004.0L, 2147483648.0L + 1003.0L},
        {1005.0L, 4294967296.0L + 1003.0L},
        {1006.0L, 3000001003.0L},
        {1007.0L, 1.0e15L},
    };
    for (int i = 1; i <= s.ImagePoints->r; ++i) {
        const auto it = renumbered.find(s.ImagePoints->GetPrvek(i, 1));
        if (it != renumbered.end()) s.ImagePoints->SetPrvek(i, 1, it->second);
    }
    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    ASSERT_EQ(s.ObjectPoints->r, static_cast<int>(lp.project.tie_points.size()));
    std::map<long double, int> rows;
    for (int i = 1; i <= s.ObjectPoints->r; ++i) ++rows[s.ObjectPoints->GetPrvek(i, 1)];
    for (const synth::ObjectPoint& truth : lp.project.tie_points) {
        const long double original = static_cast<long double>(truth.id);
        const auto it = renumbered.find(original);
        const long double number = it == renumbered.end() ? original : it->second;
        SCOPED_TRACE(static_cast<double>(number));
        ASSERT_EQ(rows[number], 1);
        for (int i = 1; i <= s.ObjectPoints->r; ++i) {
            if (s.ObjectPoints->GetPrvek(i, 1) != number) continue;
            EXPECT_NEAR(static_cast<double>(s.ObjectPoints->GetPrvek(i, 2)), static_cast<double>(truth.X), 0.05);
            EXPECT_NEAR(static_cast<double>(s.ObjectPoints->GetPrvek(i, 3)), static_cast<double>(truth.Y), 0.05);
            EXPECT_NEAR(static_cast<double>(s.ObjectPoints->GetPrvek(i, 4)), static_cast<double>(truth.Z), 0.05);
        }
    }
}

// A reload that fails changes nothing: the next computation works on the
// project as it was and gives the same protocol, not the headers of the new
// files over the rows of the old ones.
TEST(ObjectPointsPipeline, FailedReloadLeavesTheProjectAsItWas) {
    test::LoadedProject lp(test::TinyProject(27));
    ProjectState& s = lp.state;
    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    const Lines before = CompleteProtocolBundleLines(s, ',');
    const Matice points = *s.ObjectPoints;

    const std::vector<std::string> images = test::ProjectFiles(lp.dir.Path("p"), "img_");
    const std::vector<std::string> controls = test::ProjectFiles(lp.dir.Path("p"), "ctrl_");
    const std::string unreadable = lp.dir.Path("spatne.txt");
    test::WriteFileBytes(unreadable, "1 0,5 0 0\n");
    EXPECT_FALSE(LoadImagePoints({images[0], unreadable}, s));
    test::WriteFileBytes(unreadable, "1 0 0 0 0 0\n");
    EXPECT_EQ(LoadControlPoints({controls[0], unreadable}, s).status, ControlLoadResult::Status::TooFewPoints);

    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    EXPECT_EQ(CompleteProtocolBundleLines(s, ','), before);
    EXPECT_EQ(s.ObjectPoints->prvky, points.prvky);
}

}  // namespace
}  // namespace pelvanor
