#include "project/object_points_pipeline.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adjustment/f_test.h"
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
                         UiItem::Orientace2};

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

}  // namespace
}  // namespace pelvanor
