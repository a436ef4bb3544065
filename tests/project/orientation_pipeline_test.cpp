#include "project/orientation_pipeline.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "project/loaders.h"
#include "matrix/arithmetic.h"
#include "matrix/svd.h"
#include "orientation/collinearity.h"
#include "orientation/space_resection.h"
#include "tests/project/fake_host.h"
#include "tests/support/test_util.h"
#include "tools/synth/synth.h"

namespace pelvanor {
namespace {

using test::FakeHost;
using test::MakeMatrix;
using test::TempDir;

const std::string kCameraError = "Chyba - Špatné hodnoty parametrů kamery";
const std::string kFailure = "Chyba - Přibližná orientace - výpočet nelze provést";
const std::string kCorrected = "Oprava o distorze provedena";
const std::string kDone = "Přibližná orientace - výpočet proveden";

const UiItem kResultItems[] = {UiItem::Piblineenvnjorientace1, UiItem::Opravensnmkovsouadnice1,
                               UiItem::Snmkovsouadnice2, UiItem::Orientace2};

std::vector<std::string> FilesOf(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind(prefix, 0) == 0) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// A generated project loaded through the input files, as the user would.
struct Loaded {
    TempDir dir;
    synth::Project project;
    ProjectState state;
    FakeHost host{state};

    explicit Loaded(const synth::Options& options, bool imagePoints = true) {
        std::string error;
        EXPECT_TRUE(synth::Generate(options, project, &error)) << error;
        EXPECT_TRUE(synth::WriteProject(project, dir.Path("p"), &error)) << error;
        EXPECT_TRUE(LoadCameraFile(dir.Path("p/camera.txt"), state));
        EXPECT_EQ(LoadControlPoints(FilesOf(dir.Path("p"), "ctrl_"), state).status,
                  ControlLoadResult::Status::Loaded);
        host.items[UiItem::Orientace1] = true;
        if (imagePoints) {
            EXPECT_TRUE(LoadImagePoints(FilesOf(dir.Path("p"), "img_"), state));
            host.items[UiItem::Snmkovsouadnice1] = true;
        }
        host.camera = state.Camera;
    }
};

synth::Options Options(long double sigma, bool plane) {
    synth::Options o;
    o.images = 5;
    o.control = 9;
    o.points = 30;
    o.sigma = sigma;
    o.plane = plane;
    o.seed = plane ? 21 : 5;
    return o;
}

// Standard deviations of X0, Y0, Z0, alfa, beta, gama of image i for image
// noise `sigma`, from the normal equations at the refined orientation.
std::vector<long double> PredictedDeviations(const ProjectState& s, int i, long double sigma) {
    const Matice& table = *s.ControlPointsCorrected;
    const int first = RoundId(s.ControlPointRanges->GetPrvek(i, 1));
    const int count = RoundId(s.ControlPointCounts->GetPrvek(i, 1));
    const long double* o = s.OrientationRefined->Row(i);
    MatPtr A = NewMatrix(static_cast<std::uint16_t>(2 * count), 6);
    for (int j = 0; j < count; ++j) {
        MatPtr point = MakeMatrix({{table.GetPrvek(first + j, 2), table.GetPrvek(first + j, 3),
                                    table.GetPrvek(first + j, 4), table.GetPrvek(first + j, 5),
                                    table.GetPrvek(first + j, 6)}});
        MatPtr d, l;
        EXPECT_TRUE(CollinearityRows6(*point, d, l, o[0], o[1], o[2], o[3], o[4], o[5], o[6], o[7],
                                      o[8], o[9], o[10], o[11], s.Camera.x0, s.Camera.y0,
                                      s.Camera.f));
        CopyBlock(*A, 2 * j + 1, 1, *d, 1, 2, 1, 6);
    }
    MatPtr N = MatMul(*MatTranspose(*A), *A);
    bool flag = false;
    MatPtr Q = PseudoInverse(*N, flag);
    EXPECT_TRUE(flag);
    std::vector<long double> dev;
    for (int k = 1; k <= 6; ++k) dev.push_back(sigma * std::sqrt(Q->GetPrvek(k, k)));
    return dev;
}

// Both four-point methods followed by the refinement, on generated projects
// with image noise: every image within a few standard deviations of the
// truth, in a handful of iterations.
void CheckNoisyProject(bool plane) {
    const long double sigma = 1e-4L;  // image units; f = 1
    Loaded p(Options(sigma, plane));
    p.host.method = plane ? 0 : 1;
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));
    const ProjectState& s = p.state;
    EXPECT_GE(s.RefinementIterations, 2);
    EXPECT_LE(s.RefinementIterations, 8);
    ASSERT_EQ(s.OrientationRefined->r, p.project.stations.size());
    for (int i = 1; i <= s.OrientationRefined->r; ++i) {
        const synth::Station& t = p.project.stations[static_cast<std::size_t>(i - 1)];
        const long double* o = s.OrientationRefined->Row(i);
        const Angles a = AnglesFromRotation(o[0], o[1], o[2], o[3], o[4], o[5], o[6], o[7], o[8]);
        const long double got[6] = {o[9], o[10], o[11], a.alfa, a.beta, a.gama};
        const long double truth[6] = {t.X0, t.Y0, t.Z0, t.alfa, t.beta, t.gama};
        const auto dev = PredictedDeviations(s, i, sigma);
        for (int k = 0; k < 6; ++k)
            EXPECT_LT(std::fabs(got[k] - truth[k]), 5 * dev[static_cast<std::size_t>(k)])
                << "image " << i << " unknown " << k << ": " << static_cast<double>(got[k]) << " vs "
                << static_cast<double>(truth[k]) << ", sigma " << static_cast<double>(dev[static_cast<std::size_t>(k)]);
        // The unit standard deviation estimates the image noise.
        EXPECT_GT(s.OrientationSigma0->GetPrvek(i, 1), sigma / 4);
        EXPECT_LT(s.OrientationSigma0->GetPrvek(i, 1), sigma * 3);
    }
}

TEST(ApproximateOrientation, SpaceMethodOnNoisyProject) { CheckNoisyProject(false); }
TEST(ApproximateOrientation, PlaneMethodOnNoisyProject) { CheckNoisyProject(true); }

TEST(ApproximateOrientation, NoiseFreeProjectGivesTheTruth) {
    for (bool plane : {false, true}) {
        Loaded p(Options(0, plane));
        p.host.method = plane ? 0 : 1;
        ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host)) << plane;
        for (int i = 1; i <= p.state.OrientationRefined->r; ++i) {
            const synth::Station& t = p.project.stations[static_cast<std::size_t>(i - 1)];
            const long double* o = p.state.OrientationRefined->Row(i);
            const auto r = synth::RotationFromAngles(t.alfa, t.beta, t.gama);
            for (int j = 0; j < 9; ++j) EXPECT_NEAR(static_cast<double>(o[j]), static_cast<double>(r[j]), 1e-9);
            EXPECT_NEAR(static_cast<double>(o[9]), static_cast<double>(t.X0), 1e-8);
            EXPECT_NEAR(static_cast<double>(o[10]), static_cast<double>(t.Y0), 1e-8);
            EXPECT_NEAR(static_cast<double>(o[11]), static_cast<double>(t.Z0), 1e-8);
        }
    }
}

TEST(ApproximateOrientation, SuccessFillsTheStateAndTheMenu) {
    Loaded p(Options(1e-4L, false));
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));
    EXPECT_EQ(p.host.log, (std::vector<std::string>{kCorrected, kDone}));
    for (UiItem item : kResultItems) EXPECT_TRUE(p.host.Enabled(item));
    EXPECT_TRUE(p.state.OrientationLogged);
    const ProjectState& s = p.state;
    const int n = s.ControlPointCounts->r;
    ASSERT_TRUE(s.ImagePointsCorrected && s.ControlPointsCorrected && s.ImagePointIds &&
                s.ControlPointIds && s.TiePointImageCounts && s.TiePointOccurrences &&
                s.ControlPointImageCounts && s.ControlPointOccurrences && s.OrientationMinimal &&
                s.OrientationRefined && s.OrientationSigma0);
    EXPECT_EQ(s.ImagePointsCorrected->s, 3);
    EXPECT_EQ(s.ImagePointsCorrected->r, s.ImagePoints->r);
    EXPECT_EQ(s.OrientationMinimal->r, n);
    EXPECT_EQ(s.OrientationMinimal->s, 16);
    EXPECT_EQ(s.OrientationRefined->s, 12);
    EXPECT_EQ(s.TiePointOccurrences->s, 2 * n + 1);
    EXPECT_EQ(s.TiePointOccurrences->r, s.TiePointImageCounts->r);
    EXPECT_EQ(s.ControlPointImageCounts->r, s.ControlPointIds->r);
    // Control point image numbers are negative in their index table.
    EXPECT_LT(s.ControlPointOccurrences->GetPrvek(1, 3), 0);
    EXPECT_GT(s.TiePointOccurrences->GetPrvek(1, 3), 0);

    const auto lines = ShowOrientationResults(s, p.host);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(15 + 3 * n));
    EXPECT_EQ(lines[0], "Výpočet přibližné orientace - program Pelvanor");
    EXPECT_NE(lines[7].find(','), std::string::npos);
}

TEST(ApproximateOrientation, SuccessLinesOncePerCommand) {
    Loaded p(Options(1e-4L, false));
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));
    EXPECT_EQ(p.host.log, (std::vector<std::string>{kCorrected, kDone, kCorrected, kDone}));
    // A command that runs the pipeline twice (the object coordinates) logs
    // the lines once.
    p.host.log.clear();
    p.state.OrientationLogged = false;
    ASSERT_TRUE(ApproximateOrientation(p.state, p.host));
    ASSERT_TRUE(ApproximateOrientation(p.state, p.host));
    EXPECT_EQ(p.host.log, (std::vector<std::string>{kCorrected, kDone}));
}

TEST(ApproximateOrientation, WithoutImageCoordinates) {
    Loaded p(Options(1e-4L, false), false);
    MatPtr marker = MakeMatrix({{42}});
    p.state.ImagePointsCorrected = MakeMatrix({{42}});
    p.state.ImagePointIds = MakeMatrix({{43}});
    p.state.TiePointImageCounts = MakeMatrix({{44}});
    p.state.TiePointOccurrences = MakeMatrix({{45}});
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));
    EXPECT_FALSE(p.host.Enabled(UiItem::Snmkovsouadnice2));
    EXPECT_TRUE(p.host.Enabled(UiItem::Orientace2));
    EXPECT_TRUE(p.host.Enabled(UiItem::Piblineenvnjorientace1));
    EXPECT_EQ(p.state.ImagePointsCorrected->GetPrvek(1, 1), 42);
    EXPECT_EQ(p.state.ImagePointIds->GetPrvek(1, 1), 43);
    EXPECT_EQ(p.state.TiePointImageCounts->GetPrvek(1, 1), 44);
    EXPECT_EQ(p.state.TiePointOccurrences->GetPrvek(1, 1), 45);
}

TEST(ApproximateOrientation, BadCameraFieldChangesNoResult) {
    Loaded p(Options(1e-4L, false));
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));
    const Matice* refined = p.state.OrientationRefined.get();
    const Matice* corrected = p.state.ControlPointsCorrected.get();
    p.host.log.clear();
    p.host.fieldsValid = false;
    EXPECT_FALSE(ApproximateOrientationCommand(p.state, p.host));
    EXPECT_EQ(p.host.log, std::vector<std::string>{kCameraError});
    for (UiItem item : kResultItems) EXPECT_FALSE(p.host.Enabled(item));
    EXPECT_EQ(p.state.OrientationRefined.get(), refined);
    EXPECT_EQ(p.state.ControlPointsCorrected.get(), corrected);
}

TEST(ApproximateOrientation, FailureReleasesTheResults) {
    Loaded p(Options(1e-4L, false));
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));
    p.host.log.clear();
    // Image 2's selection names a number its block does not hold.
    p.state.SelectedOrientationPoints->SetPrvek(5, 1, 999);
    EXPECT_FALSE(ApproximateOrientationCommand(p.state, p.host));
    EXPECT_EQ(p.host.log, (std::vector<std::string>{
                              kFailure, "Chyba - Bod 999 vybraný pro přibližnou orientaci není mezi "
                                        "vlícovacími body snímku 2"}));
    for (UiItem item : kResultItems) EXPECT_FALSE(p.host.Enabled(item));
    const ProjectState& s = p.state;
    EXPECT_FALSE(s.ImagePointIds || s.ControlPointIds || s.TiePointImageCounts ||
                 s.TiePointOccurrences || s.ControlPointImageCounts || s.ControlPointOccurrences ||
                 s.OrientationMinimal || s.OrientationRefined || s.OrientationSigma0);
    EXPECT_TRUE(s.ImagePointsCorrected);
    EXPECT_TRUE(s.ControlPointsCorrected);
    EXPECT_FALSE(s.OrientationLogged);
    EXPECT_TRUE(ShowOrientationResults(s, p.host).empty());
}

TEST(ApproximateOrientation, ControlPointsReleasedByAFailedLoad) {
    // A later control point load that fails releases the tables but leaves
    // the command enabled: every step then meets a missing table and the
    // run fails cleanly, still going through all steps.
    Loaded p(Options(1e-4L, false));
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));
    p.host.log.clear();
    p.state.ControlPoints.reset();
    p.state.ControlPointCounts.reset();
    p.state.ControlPointRanges.reset();
    EXPECT_FALSE(ApproximateOrientationCommand(p.state, p.host));
    EXPECT_EQ(p.host.log, (std::vector<std::string>{kFailure, "Chyba - Vlícovací body nejsou načteny"}));
    for (UiItem item : kResultItems) EXPECT_FALSE(p.host.Enabled(item));
    const ProjectState& s = p.state;
    EXPECT_FALSE(s.ControlPointsCorrected);
    EXPECT_TRUE(s.ImagePointsCorrected);
    EXPECT_FALSE(s.ImagePointIds || s.ControlPointIds || s.TiePointImageCounts ||
                 s.TiePointOccurrences || s.ControlPointImageCounts || s.ControlPointOccurrences ||
                 s.OrientationMinimal || s.OrientationRefined || s.OrientationSigma0);
    EXPECT_TRUE(ShowOrientationResults(s, p.host).empty());

    // The plane method meets the same missing tables.
    p.host.method = 0;
    EXPECT_FALSE(ApproximateOrientationCommand(p.state, p.host));
}

TEST(ApproximateOrientation, UsesTheSelectedPoints) {
    Loaded p(Options(1e-4L, false));
    // Image 1: control points 1, 2, 3 and the fifth of its block instead of 4.
    const Matice& table = *p.state.ControlPoints;
    const int first = RoundId(p.state.ControlPointRanges->GetPrvek(1, 1));
    ASSERT_GE(RoundId(p.state.ControlPointCounts->GetPrvek(1, 1)), 5);
    const long double fifth = table.GetPrvek(first + 4, 1);
    p.state.SelectedOrientationPoints->SetPrvek(4, 1, fifth);
    ASSERT_TRUE(ApproximateOrientationCommand(p.state, p.host));

    const Matice& corrected = *p.state.ControlPointsCorrected;
    MatPtr points = NewMatrix(4, 6);
    const int rows[4] = {first, first + 1, first + 2, first + 4};
    for (int k = 0; k < 4; ++k)
        for (int j = 1; j <= 6; ++j) points->SetPrvek(k + 1, j, corrected.GetPrvek(rows[k], j));
    MatPtr expected;
    const CameraParameters& c = p.state.Camera;
    ASSERT_TRUE(SpaceResectionImage(*points, expected, p.state.Settings.Tolerance, c.f, c.x0, c.y0));
    for (int j = 1; j <= 16; ++j)
        EXPECT_EQ(p.state.OrientationMinimal->GetPrvek(1, j), expected->GetPrvek(1, j)) << j;
}

}  // namespace
}  // namespace pelvanor
