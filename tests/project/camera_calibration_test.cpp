// "Kalibrace kamery": the self-calibrating adjustment from a known truth and
// on the real calibration sheet against the published calibration of the
// same marks, its derivatives against central differences, and the command
// around it (log, items, result, adoption of the camera).

#include "project/camera_calibration_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "adjustment/camera_calibration.h"
#include "project/calibration_report.h"
#include "project/calibration_warnings.h"
#include "input/camera_file.h"
#include "project/loaders.h"
#include "tests/project/loaded_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

void LoadFolder(const std::string& folder, ProjectState& state, test::RecordingHost& host) {
    ASSERT_TRUE(LoadCameraFile(folder + "/camera.txt", state));
    ASSERT_EQ(LoadControlPoints(test::ProjectFiles(folder, "ctrl_"), state).status, ControlLoadResult::Status::Loaded);
    ASSERT_TRUE(LoadImagePoints(test::ProjectFiles(folder, "img_"), state));
    host.items[UiItem::Orientace1] = true;
    host.items[UiItem::Snmkovsouadnice1] = true;
    host.camera = state.Camera;
}

std::string Log(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

void Print(const CalibrationSummary& s) {
    for (int j = 0; j < kCameraParameterCount; ++j) {
        std::printf("%-3s %+.10Le  sd %.3Le\n", CameraParameterName(j), CameraParameterValue(s.camera, j),
                    s.sd[static_cast<std::size_t>(j)]);
    }
    std::printf("m0 %.6Le redundancy %d passes %d eliminated %d\n", s.m0, s.redundancy, s.passes, s.eliminatedPasses);
    for (int a = 0; a < kCameraParameterCount; ++a)
        for (int b = a + 1; b < kCameraParameterCount; ++b)
            if (std::fabs(s.correlation[a][b]) > 0.9L)
                std::printf("r(%s,%s) = %+.3Lf\n", CameraParameterName(a), CameraParameterName(b), s.correlation[a][b]);
}

// The real sheet (exact_noctrl: every mark once) calibrated from c = 7.3 mm,
// the principal point at the centre of the 7.2532 x 5.4399 mm format and no
// distortion, with every tie point in the adjustment.  The published
// calibration of the same marks (Brown's model): c = 7.4574 +- 0.0011 mm,
// K1 = 4.572e-3 +- 2.3e-5, K2 = -4.262e-5 +- 2.8e-6, K3 = -2.161e-6 +-
// 1.05e-7, sigma0 = 0.169 px (5.4e-4 mm), K2-K3 correlation -0.979.
// k1..k3 agree within two of its standard deviations and m0 within a few
// per cent.  The decentring of this program is not Brown's (the cross term
// 2 p1 xb yb stands in x, 2 p2 xb yb in y), so x0, y0, p1, p2 differ by
// design, and c, which correlates with them, absorbs part of the
// difference: it comes out about three of those standard deviations
// higher (with p1, p2 fixed at 0 it comes out one lower).  The elimination
// solves the passes: the pseudo-inverse of the same order takes a minute.
TEST(CameraCalibration, RealSheetAgreesWithThePublishedCalibration) {
    const std::string folder = test::RealDataPath("prague2016_cam_fixed/exact_noctrl");
    if (folder.empty()) GTEST_SKIP() << "real data not available";
    ProjectState state;
    test::RecordingHost host(&state, ',');
    LoadFolder(folder, state, host);
    host.method = 0;  // the control lies in the plane Z = 0
    host.camera = CameraParameters{};
    host.camera.f = 7.3L;
    host.camera.x0 = 7.2532L / 2.0L;
    host.camera.y0 = 5.4399L / 2.0L;
    state.Settings.PointPercent = 100;
    state.Settings.NormalEquations = NormalSolve::Sparse;
    ASSERT_TRUE(CalibrationCommand(state, host)) << Log(host.log);
    ASSERT_TRUE(state.Calibration.has_value());
    const CalibrationSummary& s = state.Calibration->summary;
    Print(s);
    EXPECT_NEAR(static_cast<double>(s.camera.f), 7.4574, 4.0 * 0.0011);
    EXPECT_NEAR(static_cast<double>(s.camera.k1), 4.572e-3, 2.0 * 2.3e-5);
    EXPECT_NEAR(static_cast<double>(s.camera.k2), -4.262e-5, 2.0 * 2.8e-6);
    EXPECT_NEAR(static_cast<double>(s.camera.k3), -2.161e-6, 2.0 * 1.05e-7);
    // Our standard deviations are DBAT's to a few per cent.
    EXPECT_NEAR(static_cast<double>(s.sd[kParamF] / 0.0011L), 1.0, 0.15);
    EXPECT_NEAR(static_cast<double>(s.sd[kParamK3] / 1.05e-7L), 1.0, 0.15);
    EXPECT_NEAR(static_cast<double>(s.m0 / 5.4e-4L), 1.0, 0.05);
    EXPECT_NEAR(static_cast<double>(s.correlation[kParamK2][kParamK3]), -0.979, 0.01);
    EXPECT_FALSE(s.limitReached);
    EXPECT_LE(s.passes, 10);
    EXPECT_EQ(s.eliminatedPasses, s.passes);
    // k2 and k3 cannot be told apart well: the warning names both and
    // suggests fixing k3.
    const std::string warning =
        "Upozornění - Kalibrace kamery: parametry k2 a k3 jsou silně korelované (r = -0,979); "
        "zvažte zafixování jednoho z nich, např. k3";
    EXPECT_NE(std::find(host.log.begin(), host.log.end(), warning), host.log.end()) << Log(host.log);
}

// Eight images of the facade in millimetres, distortion on, 2 micrometres of
// image noise, every tie point in the adjustment.
synth::Options CalibrationProject(std::uint64_t seed) {
    synth::Options o;
    o.images = 8;
    o.control = 10;
    o.points = 60;
    o.sigma = 0.002L;
    o.realistic = true;
    o.seed = seed;
    return o;
}

// A camera well away from the generator's (f 24 mm, principal point
// (18.1, 11.9), k1..p2 of a real lens): 2 % in f, a tenth of a millimetre
// in the principal point, no distortion.
CameraParameters WrongCamera() {
    CameraParameters c;
    c.f = 23.5L;
    c.x0 = 18.0L;
    c.y0 = 12.0L;
    return c;
}

long double Truth(const synth::Camera& c, int j) {
    const long double v[kCameraParameterCount] = {c.f, c.x0, c.y0, c.k1, c.k2, c.k3, c.p1, c.p2};
    return v[j];
}

// Started from the wrong camera, every parameter comes within a few of its
// standard deviations of the truth, and m0 near the image noise.
TEST(CameraCalibration, GeneratedProjectRecoversTheCamera) {
    test::LoadedProject lp(CalibrationProject(5));
    lp.host.camera = WrongCamera();
    lp.state.Settings.PointPercent = 100;
    // The camera constant per image plays no part in the calibration; the
    // elimination keeps the test quick (it agrees with the pseudo-inverse,
    // see below).
    lp.state.Settings.AdjustCameraConstant = false;
    lp.state.Settings.NormalEquations = NormalSolve::Sparse;
    ASSERT_TRUE(CalibrationCommand(lp.state, lp.host)) << Log(lp.host.log);
    const CalibrationSummary& s = lp.state.Calibration->summary;
    Print(s);
    for (int j = 0; j < kCameraParameterCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        ASSERT_GT(s.sd[sj], 0.0L) << CameraParameterName(j);
        EXPECT_LT(std::fabs(CameraParameterValue(s.camera, j) - Truth(lp.project.camera, j)), 4.0L * s.sd[sj])
            << CameraParameterName(j);
    }
    EXPECT_NEAR(static_cast<double>(s.m0 / 0.002L), 1.0, 0.15);
    EXPECT_FALSE(s.limitReached);
    EXPECT_EQ(lp.state.Calibration->before.f, 23.5L);
}

// With every parameter fixed the calibration is the bundle adjustment: the
// same unknowns and m0, both converged fully (the bundle adjustment halves
// its corrections, so the change test is set tight for both); with
// weighted control too, whose surveyed coordinates both count as
// observations.
TEST(CameraCalibration, AllParametersFixedIsTheBundleAdjustment) {
  for (const bool weighted : {false, true}) {
    SCOPED_TRACE(weighted ? "weighted control" : "fixed control");
    test::LoadedProject lp(CalibrationProject(6));
    AdjustmentSettings& set = lp.state.Settings;
    if (weighted) {
        set.ImageSigma = 0.002L;
        set.ControlSigmaXY = 0.01L;
        set.ControlSigmaZ = 0.02L;
    }
    set.RobustEstimation = false;
    set.AdjustCameraConstant = false;
    set.Tolerance = 1e-9L;
    set.MaxIterations = 200;
    set.NormalEquations = NormalSolve::Sparse;
    set.CalibrateF = set.CalibratePrincipalPoint = set.CalibrateK1 = set.CalibrateK2 = set.CalibrateK3 =
        set.CalibrateDecentring = false;
    ASSERT_TRUE(CalibrationCommand(lp.state, lp.host)) << Log(lp.host.log);
    const CalibrationSummary& s = lp.state.Calibration->summary;
    const Matice& bundle = *lp.state.BundleUnknowns;
    ASSERT_EQ(s.adjusted.size(), static_cast<std::size_t>(bundle.r));
    long double worst = 0.0L;
    for (std::int32_t k = 1; k <= bundle.r; ++k) {
        const long double b = bundle.GetPrvek(k, 1);
        worst = std::max(worst, std::fabs(s.adjusted[static_cast<std::size_t>(k - 1)] - b) / std::max(1.0L, std::fabs(b)));
    }
    // Points and stations in metres, known to about a millimetre: a
    // micrometre is far below every standard deviation (the halved passes
    // of the bundle adjustment leave about 1e-8 of their last correction).
    EXPECT_LT(worst, 1e-6L);
    EXPECT_NEAR(static_cast<double>(s.m0 / lp.state.BundleSigma0), 1.0, 1e-9);
    EXPECT_EQ(s.redundancy, lp.state.BundleRedundancy);
    for (int j = 0; j < kCameraParameterCount; ++j) {
        EXPECT_EQ(CameraParameterValue(s.camera, j), CameraParameterValue(lp.host.camera, j));
        EXPECT_EQ(s.sd[static_cast<std::size_t>(j)], 0.0L);
    }
    if (weighted) {
        ASSERT_TRUE(lp.state.BundleWeighting.Active());
        EXPECT_GT(s.observations, 2 * static_cast<std::int32_t>(s.measurements.size())) << "no surveyed coordinate";
    }
  }
}

// The camera block in the reduced system of the elimination gives what the
// pseudo-inverse of the bordered matrix gives: values, standard deviations
// and correlations.
TEST(CameraCalibration, EliminationAgreesWithThePseudoInverse) {
    CalibrationSummary result[2];
    for (int k = 0; k < 2; ++k) {
        test::LoadedProject lp(CalibrationProject(7));
        lp.host.camera = WrongCamera();
        lp.state.Settings.PointPercent = 100;
        lp.state.Settings.RobustEstimation = false;
        lp.state.Settings.AdjustCameraConstant = false;
        lp.state.Settings.NormalEquations = k == 0 ? NormalSolve::Svd : NormalSolve::Sparse;
        ASSERT_TRUE(CalibrationCommand(lp.state, lp.host)) << Log(lp.host.log);
        result[k] = lp.state.Calibration->summary;
    }
    EXPECT_EQ(result[0].eliminatedPasses, 0);
    EXPECT_EQ(result[1].eliminatedPasses, result[1].passes);
    EXPECT_EQ(result[0].passes, result[1].passes);
    for (int j = 0; j < kCameraParameterCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        EXPECT_LT(std::fabs(CameraParameterValue(result[0].camera, j) - CameraParameterValue(result[1].camera, j)),
                  1e-6L * result[0].sd[sj])
            << CameraParameterName(j);
        EXPECT_NEAR(static_cast<double>(result[1].sd[sj] / result[0].sd[sj]), 1.0, 1e-6) << CameraParameterName(j);
        for (int i = 0; i < kCameraParameterCount; ++i) {
            EXPECT_NEAR(static_cast<double>(result[0].correlation[sj][static_cast<std::size_t>(i)]),
                        static_cast<double>(result[1].correlation[sj][static_cast<std::size_t>(i)]), 1e-6);
        }
    }
}

// A host that keeps what the command puts into the camera fields.
class FieldsHost : public test::RecordingHost {
public:
    using RecordingHost::RecordingHost;
    void ShowCameraFields(const CameraFieldTexts& texts) override { shown.push_back(texts); }
    std::vector<CameraFieldTexts> shown;
};

// The command: its log line, its items, its result; the camera fields
// change only when the user takes the calibrated camera over; a failure
// keeps nothing and says why.
TEST(CameraCalibration, CommandLogsSwitchesItemsAndAdoptsOnRequest) {
    test::TempDir dir;
    synth::Project project;
    ASSERT_TRUE(synth::Generate(test::TinyProject(3), project));
    ASSERT_TRUE(synth::WriteProject(project, dir.Path("p")));
    ProjectState state;
    FieldsHost host(&state, ',');
    LoadFolder(dir.Path("p"), state, host);
    host.camera = WrongCamera();

    // Before a calibration there is nothing to take over.
    EXPECT_FALSE(AdoptCalibratedCameraCommand(state, host));
    ASSERT_TRUE(CalibrationCommand(state, host)) << Log(host.log);
    EXPECT_NE(std::find(host.log.begin(), host.log.end(), "Svazkové vyrovnání - výpočet proveden"), host.log.end());
    EXPECT_NE(std::find(host.log.begin(), host.log.end(), kCalibrationDoneLine), host.log.end());
    for (UiItem item : {UiItem::Kalibracekamery2, UiItem::Kalibracekamery3, UiItem::Pevztkalibrovanoukameru1,
                        UiItem::Protokoly1})
        EXPECT_TRUE(host.IsItemEnabled(item));
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(state.Camera.f, 23.5L);

    const std::vector<std::string> panel = ShowCalibrationResults(state, host);
    ASSERT_GT(panel.size(), 2u);
    EXPECT_EQ(panel[0], "Kalibrace kamery - program Pelvanor");
    EXPECT_EQ(panel[1], std::string(35, '*'));

    // The camera file of the calibrated camera reads back to its values.
    const std::string file = dir.Path("kamera.txt");
    ASSERT_TRUE(SaveCalibratedCamera(state, host, file));
    const std::string bytes = test::ReadFileBytes(file);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 8);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 8);
    EXPECT_EQ(bytes.find(','), std::string::npos);
    CameraParameters read;
    ASSERT_TRUE(ReadCameraFile(file, read));
    const CameraParameters& calibrated = state.Calibration->summary.camera;
    for (int j = 0; j < kCameraParameterCount; ++j) {
        EXPECT_TRUE(test::IsNearRel(CameraParameterValue(read, j), CameraParameterValue(calibrated, j), 1e-14L));
    }

    ASSERT_TRUE(AdoptCalibratedCameraCommand(state, host));
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0], CameraFieldTextsOf(calibrated, ','));
    EXPECT_EQ(state.Camera.f, calibrated.f);
    EXPECT_EQ(host.log.back(), kCalibrationAdoptedLine);

    // A failure (the camera fields are not numbers) keeps nothing.
    host.fieldsValid = false;
    EXPECT_FALSE(CalibrationCommand(state, host));
    EXPECT_FALSE(state.Calibration.has_value());
    EXPECT_NE(std::find(host.log.begin(), host.log.end(),
                        "Chyba - Kalibrace kamery nelze provést - svazkové vyrovnání nelze provést"),
              host.log.end());
    for (UiItem item : kCalibrationResultItems) EXPECT_FALSE(host.IsItemEnabled(item));
    EXPECT_TRUE(ShowCalibrationResults(state, host).empty());
}

// The protocol of a generated project, byte for byte as saved (CP1250,
// CR LF, decimal comma).  To regenerate after a deliberate change, run with
// PELVANOR_UPDATE_GOLDEN=1 and review the difference before committing.
TEST(CameraCalibration, ProtocolMatchesTheReviewedFile) {
    test::LoadedProject lp(CalibrationProject(8));
    lp.host.camera = WrongCamera();
    lp.state.Settings.PointPercent = 100;
    lp.state.Settings.AdjustCameraConstant = false;
    lp.state.Settings.NormalEquations = NormalSolve::Sparse;
    lp.state.Settings.CalibrateDecentring = false;
    ASSERT_TRUE(CalibrationCommand(lp.state, lp.host)) << Log(lp.host.log);
    const std::string file = lp.dir.Path("kalibrace kamery.txt");
    SaveCalibrationProtocol(lp.state, lp.host, file);
    EXPECT_EQ(lp.host.log.back(), "Uložen protokol kalibrace kamery: " + file);
    const std::string written = test::ReadFileBytes(file);
    const std::string golden = test::SourcePath("tests/project/golden/calibration_comma.txt");
    if (std::getenv("PELVANOR_UPDATE_GOLDEN")) {
        test::WriteFileBytes(golden, written);
        GTEST_SKIP() << "wrote " << golden;
    }
    EXPECT_EQ(written, test::ReadFileBytes(golden));
}

// The warnings on a made-up result: a parameter estimated from noise, a
// principal point that moved a tenth of the measured area, a distortion
// that changed by more than a tenth of it, two images for f; and none of them when
// the result is sound.
TEST(CameraCalibration, WarningsNameWhatIsImplausible) {
    ProjectState state;
    CameraCalibrationResult r;
    r.images = 2;
    r.criticalRatio = 1.96L;
    r.areaXmin = 0.0L;
    r.areaXmax = 30.0L;
    r.areaYmin = 0.0L;
    r.areaYmax = 40.0L;  // diagonal 50
    r.before.f = r.summary.camera.f = 24.0L;
    r.before.x0 = 15.0L;
    r.before.y0 = 20.0L;
    r.summary.camera.x0 = 18.0L;  // 5 away: a tenth of the diagonal
    r.summary.camera.y0 = 24.0L;
    // Largest at the corner (0, 0), 30 from the principal point:
    // dr = 2e-4 * 900 + 1e-8 * 810000 = 0.1881, |d| = 30 dr = 5.643.
    r.summary.camera.k1 = 2e-4L;
    r.summary.camera.k2 = 1e-8L;
    r.summary.free.fill(true);
    r.significant.fill(true);
    r.significant[kParamP2] = false;
    for (int j = 0; j < kCameraParameterCount; ++j)
        r.summary.correlation[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)] = 1.0L;
    state.Calibration = r;
    const std::vector<std::string> lines = CalibrationWarnings(state, ',');
    const std::vector<std::string> expected = {
        "Upozornění - Kalibrace kamery: parametr p2 není významný (|hodnota| / směrodatná odchylka nepřesahuje 1,96); "
        "zvažte jeho zafixování",
        "Upozornění - Kalibrace kamery: hlavní snímkový bod se posunul o 5 jednotek snímkových souřadnic, více než 5 % "
        "úhlopříčky měřené oblasti (50); zkontrolujte výchozí hodnoty nebo zafixujte x0, y0",
        "Upozornění - Kalibrace kamery: oprava o distorzi se v měřené oblasti změnila až o 5,643 jednotek snímkových "
        "souřadnic, více než 10 % úhlopříčky měřené oblasti (50); zkontrolujte výchozí hodnoty nebo zafixujte k3, p1, p2",
        "Upozornění - Kalibrace kamery: jen 2 snímky; konstanta komory se od vzdálenosti předmětu spolehlivě oddělí "
        "nejméně z 3 snímků s různým natočením",
    };
    EXPECT_EQ(lines, expected);

    // The same camera without the moves, on enough images, every parameter
    // significant: nothing to say (the geometry is not looked at without
    // the adjusted block).
    r.summary.camera = r.before;
    r.significant.fill(true);
    r.summary.free[kParamF] = false;
    state.Calibration = r;
    EXPECT_TRUE(CalibrationWarnings(state, ',').empty());
}

}  // namespace
}  // namespace pelvanor
