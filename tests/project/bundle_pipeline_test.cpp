#include "project/bundle_pipeline.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/check_points.h"
#include "project/failure_causes.h"
#include "project/object_points_pipeline.h"
#include "project/state_reports.h"
#include "protocol/bundle_report.h"
#include "tests/project/loaded_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

const std::string kCameraError = "Chyba - Špatné hodnoty parametrů kamery";
const std::string kOrientationFailure = "Chyba - Přibližná orientace - výpočet nelze provést";
const std::string kCorrected = "Oprava o distorze provedena";
const std::string kOriented = "Přibližná orientace - výpočet proveden";
const std::string kDone = "Svazkové vyrovnání - výpočet proveden";
const std::string kFailed = "Svazkové vyrovnání - výpočet nelze provést";

const UiItem kItems[] = {UiItem::Svazkovvyrovnn2, UiItem::Piblineenvnjorientace1,
                         UiItem::Opravensnmkovsouadnice1, UiItem::Snmkovsouadnice2,
                         UiItem::Orientace2, UiItem::Grafy1, UiItem::Kontrolnbody1, UiItem::Kontrolnbody2};

// Largest distance between the adjusted and the true projection centres.
long double WorstCentreError(const ProjectState& s, const synth::Project& p) {
    long double worst = 0.0L;
    for (int i = 1; i <= s.BundleImageIndex->r; ++i) {
        const int b = static_cast<int>(std::lround(s.BundleImageIndex->GetPrvek(i, 1)));
        const synth::Station& t = p.stations[static_cast<std::size_t>(i - 1)];
        const long double dx = s.BundleUnknowns->GetPrvek(b, 1) - t.X0;
        const long double dy = s.BundleUnknowns->GetPrvek(b + 1, 1) - t.Y0;
        const long double dz = s.BundleUnknowns->GetPrvek(b + 2, 1) - t.Z0;
        worst = std::fmax(worst, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    return worst;
}

TEST(BundlePipeline, DefaultSettingsRunEveryAdjustmentAndFindTheGrossError) {
    synth::Options o = test::SmallProject(35);
    o.control = 6;
    o.points = 16;
    // The robust weights exp(-0.05 |v|^3) fall below one half only for
    // residuals of a few image units: a blunder of 6 mm.
    o.gross = 1;
    o.gross_size = 6.0L;
    test::LoadedProject lp(o);
    ProjectState& s = lp.state;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{kCorrected, kOriented, kDone}));
    for (UiItem item : kItems) EXPECT_TRUE(lp.host.IsItemEnabled(item));
    EXPECT_TRUE(lp.host.messages.empty());

    // The kept results are those of the adjustments without the outliers.
    ASSERT_TRUE(s.RobustOutliers && s.RobustPointOccurrences && s.BundleUnknownsF && s.BundleWeightsF);
    ASSERT_EQ(lp.project.gross_errors.size(), 1u);
    const long long blunder = lp.project.gross_errors[0].id;
    ASSERT_EQ(s.RobustOutliers->s, 2);
    bool found = false;
    for (int j = 1; j <= s.RobustOutliers->r; ++j)
        found |= std::llround(s.RobustOutliers->GetPrvek(j, 1)) == blunder;
    EXPECT_TRUE(found);
    for (int j = 1; j <= s.RobustPointOccurrences->r; ++j)
        EXPECT_NE(std::llround(s.RobustPointOccurrences->GetPrvek(j, 1)), blunder);
    // The cleaned tie points entered the last adjustment: its unknowns hold
    // three per point of its point list and six per image.
    EXPECT_EQ(s.BundleUnknowns->r, 3 * s.BundleObservationTable->r + 6 * o.images);
    EXPECT_LT(s.BundleObservationTable->r, s.ControlPointOccurrences->r + s.BundlePointOccurrences->r);
    // A noise of 2 micrometres on a 24 mm lens puts the centres within centimetres.
    EXPECT_LT(WorstCentreError(s, lp.project), 0.05L);
    EXPECT_GT(s.BundleSigma0, 0.0L);
    EXPECT_GT(s.BundleSigma0F, 0.0L);
}

TEST(BundlePipeline, RobustAndCameraConstantOffRunOneAdjustmentOnly) {
    test::LoadedProject lp(test::TinyProject(12));
    ProjectState& s = lp.state;
    s.Settings.RobustEstimation = false;
    s.Settings.AdjustCameraConstant = false;
    // The pseudo-inverse reports the share of its pass done.
    s.Settings.NormalEquations = NormalSolve::Svd;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    EXPECT_EQ(lp.host.log.back(), kDone);
    EXPECT_TRUE(s.BundleUnknowns && s.BundleWeights && s.ApproxObjectPoints);
    EXPECT_FALSE(s.RobustOutliers);
    EXPECT_FALSE(s.RobustPointOccurrences);
    EXPECT_FALSE(s.BundleUnknownsF);
    EXPECT_FALSE(s.BundleImageIndexF);
    EXPECT_FALSE(s.BundleWeightsF);
    EXPECT_FALSE(s.BundleResidualsF);
    EXPECT_TRUE(s.BundleResiduals);
    EXPECT_EQ(s.BundleIterationsF, 0);
    // Progress: the orientation first, then every pass of the one adjustment,
    // numbered from 1, each with the m0 of the pass before; within a pass the
    // share of its solve done, rising; and the end of every pass with its
    // own m0.
    ASSERT_FALSE(lp.host.progress.empty());
    EXPECT_EQ(lp.host.progress.front().stage, ComputationStage::Orientation);
    std::vector<std::int32_t> passes;
    std::vector<std::int32_t> ended;
    std::vector<double> shares;
    long double lastStartM0 = 0.0L;
    long double lastEndM0 = -1.0L;
    for (const ComputationProgress& p : lp.host.progress) {
        if (p.passDone) {
            ended.push_back(p.pass);
            // The start of a pass reports the m0 the pass before ended with.
            if (p.pass > 1) {
                EXPECT_EQ(lastEndM0, lastStartM0);
            }
            lastEndM0 = p.m0;
            continue;
        }
        if (p.pass == 0) continue;
        if (p.passShare >= 0.0) {
            ASSERT_FALSE(passes.empty());
            EXPECT_EQ(p.pass, passes.back());
            shares.push_back(p.passShare);
            EXPECT_LE(p.passShare, 1.0);
            continue;
        }
        lastStartM0 = p.m0;
        EXPECT_EQ(p.stage, ComputationStage::Adjustment);
        EXPECT_EQ(p.adjustment, AdjustmentKind::WithoutCameraConstant);
        EXPECT_FALSE(p.withoutOutliers);
        EXPECT_EQ(p.m0 > 0.0L, p.pass > 1);
        passes.push_back(p.pass);
    }
    ASSERT_EQ(passes.size(), static_cast<std::size_t>(s.BundleIterations));
    for (std::size_t k = 0; k < passes.size(); ++k) EXPECT_EQ(passes[k], static_cast<std::int32_t>(k + 1));
    EXPECT_EQ(ended, passes);
    EXPECT_GE(shares.size(), passes.size());
    // Every second tie point enters at 50 %.
    EXPECT_EQ(s.BundlePointOccurrences->r, s.TiePointOccurrences->r / 2);
    EXPECT_LT(WorstCentreError(s, lp.project), 0.05L);
}

TEST(BundlePipeline, WrongCameraFieldReleasesTheResultsButKeepsTheWeightsWithF) {
    test::LoadedProject lp(test::TinyProject(13));
    ProjectState& s = lp.state;
    s.Settings.RobustEstimation = false;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    const long double sigmaF = s.BundleSigma0F;
    ASSERT_TRUE(s.BundleWeightsF);
    const Matice* weightsF = s.BundleWeightsF.get();

    lp.host.log.clear();
    lp.host.fieldsValid = false;
    EXPECT_FALSE(BundleCommand(s, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{kCameraError, kCameraError, kFailed}));
    for (UiItem item : kItems) EXPECT_FALSE(lp.host.IsItemEnabled(item));
    for (const MatPtr* m : {&s.BundlePointOccurrences, &s.BundlePointImageCounts, &s.ApproxObjectPoints,
                            &s.BundleUnknowns, &s.BundleObservationTable, &s.BundleImageIndex,
                            &s.BundlePointIndex, &s.BundleWeights, &s.BundleUnknownsF,
                            &s.BundleImageIndexF, &s.RobustPointOccurrences,
                            &s.RobustPointImageCounts, &s.RobustOutliers, &s.BundleResiduals,
                            &s.BundleResidualsF})
        EXPECT_FALSE(*m);
    EXPECT_EQ(s.BundleWeightsF.get(), weightsF);
    EXPECT_EQ(s.BundleSigma0F, sigmaF);
}

TEST(BundlePipeline, FailedOrientationIsNamedBeforeTheFailureLine) {
    test::LoadedProject lp(test::TinyProject(14));
    ProjectState& s = lp.state;
    // A selected orientation point that is not on its image makes the
    // four-point orientation impossible.
    s.SelectedOrientationPoints->SetPrvek(1, 1, 999999.0L);
    EXPECT_FALSE(BundleCommand(s, lp.host));
    ASSERT_GE(lp.host.log.size(), 3u);
    EXPECT_EQ(lp.host.log[lp.host.log.size() - 3], kOrientationFailure);
    EXPECT_EQ(lp.host.log[lp.host.log.size() - 2], kFailed);
    // After the command's own lines, the cause.
    EXPECT_EQ(lp.host.log.back(),
              "Chyba - Bod 999999 vybraný pro přibližnou orientaci není mezi vlícovacími body snímku 1");
    EXPECT_FALSE(s.BundleUnknowns);
}

TEST(BundlePipeline, EachCommandLogsTheOrientationOnceAndReplacesEveryResult) {
    test::LoadedProject lp(test::TinyProject(15));
    ProjectState& s = lp.state;
    s.Settings.RobustEstimation = false;
    s.Settings.AdjustCameraConstant = false;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    const Matice* first = s.BundleUnknowns.get();
    const Matice copy = *s.BundleUnknowns;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    EXPECT_EQ(lp.host.log, (Lines{kCorrected, kOriented, kDone, kCorrected, kOriented, kDone}));
    EXPECT_NE(s.BundleUnknowns.get(), first);
    // The same inputs give the same adjustment.
    EXPECT_EQ(s.BundleUnknowns->prvky, copy.prvky);
    // Within one command the pipeline alone does not repeat the lines.
    EXPECT_TRUE(s.OrientationLogged);
    ASSERT_TRUE(BundlePipeline(s, lp.host));
    EXPECT_EQ(lp.host.log.back(), kDone);
    EXPECT_EQ(lp.host.log.size(), 7u);
}

TEST(BundlePipeline, BlocksSwitchedOffLeaveNoOldResultsForTheProtocol) {
    test::LoadedProject lp(test::TinyProject(16));
    ProjectState& s = lp.state;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    ASSERT_TRUE(s.RobustOutliers && s.BundleUnknownsF);
    const std::size_t full = BundleReportLines(s, ',').size();

    s.Settings.RobustEstimation = false;
    s.Settings.AdjustCameraConstant = false;
    ASSERT_TRUE(BundleCommand(s, lp.host));
    EXPECT_FALSE(s.RobustOutliers);
    EXPECT_FALSE(s.RobustPointOccurrences);
    EXPECT_FALSE(s.BundleUnknownsF);
    EXPECT_FALSE(s.BundleImageIndexF);
    const Lines plain = BundleReportLines(s, ',');

    // Switched on in the settings after the adjustment: the protocol shows
    // the adjustment that ran, not blocks of the earlier one.
    s.Settings.RobustEstimation = true;
    s.Settings.AdjustCameraConstant = true;
    EXPECT_EQ(BundleReportLines(s, ','), plain);
    EXPECT_LT(plain.size(), full);
}

bool Contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Three images of control in a plane and four tie points: enough
// observations for six unknowns per image, too few for seven.
synth::Options TooFewForTheCameraConstant() {
    synth::Options o = test::TinyProject(1);
    o.control = 6;
    o.points = 4;
    o.plane = true;
    return o;
}

TEST(BundlePipeline, FailedAdjustmentWithCameraConstantIsNeverShownOrUsed) {
    test::LoadedProject lp(TooFewForTheCameraConstant());
    ProjectState& s = lp.state;
    lp.host.method = 0;  // four points in the plane Z = 0
    ASSERT_TRUE(BundleCommand(s, lp.host));
    // The result rule and its log line stay: the adjustment without the
    // camera constant succeeded.
    EXPECT_EQ(lp.host.log.back(), kDone);
    EXPECT_EQ(lp.host.messages, (Lines{kTooFewObservationsMessage, kTooFewObservationsMessage}));
    EXPECT_EQ(s.BundleFailure, AdjustmentFailure::None);
    EXPECT_EQ(s.BundleFailureF, AdjustmentFailure::TooFewObservations);
    EXPECT_TRUE(s.BundleUnknowns && s.BundleImageIndex && s.BundleObservationTable);
    EXPECT_FALSE(s.BundleUnknownsF);
    EXPECT_FALSE(s.BundleImageIndexF);
    EXPECT_FALSE(s.BundleWeightsF);
    EXPECT_FALSE(s.BundleWeights) << "written last by the failed adjustment";
    EXPECT_EQ(s.BundleIterationsF, 0);
    EXPECT_EQ(s.BundleSigma0F, 0.0L);
    EXPECT_EQ(s.BundleRedundancyF, 0);

    // The protocol: the block without the camera constant as it is, one
    // line in place of the other.
    const Lines withF = BundleReportLines(s, ',');
    const std::string line =
        "Výpočet svazkového vyrovnání s konstantou komory nelze provést - vyrovnání má menší počet měření než "
        "neznámých";
    ASSERT_GE(withF.size(), 2u);
    EXPECT_EQ(withF.back(), line);
    EXPECT_EQ(withF[withF.size() - 2], " ");
    EXPECT_FALSE(Contains(withF, kBundleHeaderF));
    EXPECT_EQ(CheckPointReportLines(s, ',').back(), line);

    // "Souřadnice XYZ" needs the released adjustment: it fails naming why.
    lp.host.log.clear();
    EXPECT_FALSE(ObjectPointsCommand(s, lp.host));
    ASSERT_GE(lp.host.log.size(), 2u);
    EXPECT_EQ(lp.host.log[lp.host.log.size() - 2],
              "Chyba - Vyrovnání s konstantou komory má menší počet měření než neznámých");
    EXPECT_EQ(lp.host.log.back(), "Chyba - Souřadnice XYZ - výpočet nelze provést");
    EXPECT_FALSE(s.ObjectPoints);

    // Without the camera constant the same project is computed, and its
    // protocol is the one above without the line.
    s.Settings.AdjustCameraConstant = false;
    ASSERT_TRUE(ObjectPointsCommand(s, lp.host));
    EXPECT_EQ(s.BundleFailureF, AdjustmentFailure::None);
    const Lines withoutF = BundleReportLines(s, ',');
    EXPECT_EQ(withoutF, Lines(withF.begin(), withF.end() - 2));
}

// The real aerial block without tie points: the adjustment with a camera
// constant per image cannot tell f from the flying height on nearly flat
// control seen from above; whether it then runs away (m0 of thousands of
// millimetres, X0 of 10^11 m) or ends with impossible camera constants
// depends on the last bits of its passes.  Either way it is not shown.
TEST(BundlePipeline, RealAerialBlockShowsNoDivergedOrientation) {
    const std::string folder = test::RealDataPath("prague2016_sxb_fixed/exact_noctrl");
    if (folder.empty()) GTEST_SKIP() << "real data not available";
    ProjectState s;
    test::RecordingHost host(&s, ',');
    ASSERT_TRUE(LoadCameraFile(folder + "/camera.txt", s));
    ASSERT_EQ(LoadControlPoints(test::ProjectFiles(folder, "ctrl_"), s).status, ControlLoadResult::Status::Loaded);
    ASSERT_TRUE(LoadImagePoints(test::ProjectFiles(folder, "img_"), s));
    host.items[UiItem::Orientace1] = true;
    host.items[UiItem::Snmkovsouadnice1] = true;
    host.camera = s.Camera;

    ASSERT_TRUE(BundleCommand(s, host));
    EXPECT_EQ(host.log.back(), kDone);
    EXPECT_EQ(s.BundleFailure, AdjustmentFailure::None);
    EXPECT_TRUE(s.BundleFailureF == AdjustmentFailure::Divergence ||
                s.BundleFailureF == AdjustmentFailure::CameraConstantUndetermined);
    EXPECT_FALSE(s.BundleUnknownsF);
    const Lines report = BundleReportLines(s, ',');
    EXPECT_TRUE(Contains(report, "Aposteriorní směrodatná odchylka jednotková: 0,007"));
    EXPECT_EQ(report.back(), AdjustmentNotComputedLine(true, s.BundleFailureF));
    // Every projection centre shown is the converged one, some 1.8 km
    // above the block.
    int rows = 0;
    for (std::string row : report) {
        if (row.rfind("  00", 0) != 0) continue;
        ++rows;
        std::replace(row.begin(), row.end(), ',', '.');
        std::istringstream in(row);
        long double image = 0.0L, X0 = 0.0L, Y0 = 0.0L, Z0 = 0.0L;
        ASSERT_TRUE(in >> image >> X0 >> Y0 >> Z0) << row;
        EXPECT_LT(std::fabs(X0), 1000.0L) << row;
        EXPECT_LT(std::fabs(Y0), 1000.0L) << row;
        EXPECT_NEAR(static_cast<double>(Z0), 1780.0, 40.0) << row;
    }
    EXPECT_EQ(rows, 5);

    host.log.clear();
    EXPECT_FALSE(ObjectPointsCommand(s, host));
    // Passes of the runaway adjustment may fail the elimination's
    // certificate and be solved by the pseudo-inverse, which the log names.
    host.log.erase(std::remove(host.log.begin(), host.log.end(), kPseudoInverseLine), host.log.end());
    EXPECT_EQ(host.log, (Lines{kCorrected, kOriented, kDone, AdjustmentFailedLogLine(true, s.BundleFailureF),
                               "Chyba - Souřadnice XYZ - výpočet nelze provést"}));
}

}  // namespace
}  // namespace pelvanor

namespace pelvanor {
namespace {

// "SVD" chosen for a block of about 1 900 unknowns, whose every pass takes
// over a minute: one line says so before the first pass starts; "Automaticky"
// needs no such line.
TEST(BundlePipeline, LongSvdPassesAreAnnouncedBeforeTheyStart) {
    synth::Options o = test::SmallProject(41);
    o.images = 8;
    o.points = 620;
    test::LoadedProject lp(o);
    ProjectState& s = lp.state;
    s.Settings.PointPercent = 100;
    // Stopped as the first pass starts: the estimate is all this test needs.
    lp.host.cancelAt = [](const ComputationProgress& p) { return p.pass == 1; };
    s.Settings.NormalEquations = NormalSolve::Svd;
    EXPECT_FALSE(BundleCommand(s, lp.host));
    const auto warning = std::find_if(lp.host.log.begin(), lp.host.log.end(), [](const std::string& line) {
        return line.rfind("Upozornění - Řešení normálních rovnic „SVD“: jedna iterace svazkového vyrovnání potrvá "
                          "odhadem ",
                          0) == 0;
    });
    ASSERT_NE(warning, lp.host.log.end());
    EXPECT_NE(warning->find(" min (řád normální matice 1"), std::string::npos) << *warning;
    EXPECT_LT(warning - lp.host.log.begin(),
              std::find(lp.host.log.begin(), lp.host.log.end(), kCancelledLine) - lp.host.log.begin());

    lp.host.log.clear();
    lp.host.cancel = false;
    s.Settings.NormalEquations = NormalSolve::Auto;
    EXPECT_FALSE(BundleCommand(s, lp.host));
    for (const std::string& line : lp.host.log) EXPECT_EQ(line.find("„SVD“"), std::string::npos) << line;
}

}  // namespace
}  // namespace pelvanor
