#include "project/loaders.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/project/fake_host.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::TempDir;
using test::WriteFileBytes;
using Status = ControlLoadResult::Status;

// Lines "k X Y Z x y" for point numbers first..first+n-1.
std::string ControlLines(int first, int n) {
    std::string s;
    for (int k = first; k < first + n; ++k) {
        const std::string v = std::to_string(k);
        s += v + " " + v + ".5 -" + v + " 0.125 " + v + "e-1 -" + v + "e-2\r\n";
    }
    return s;
}

std::vector<long double> Column(const Matice& m, int j) {
    std::vector<long double> c;
    for (int i = 1; i <= m.r; ++i) c.push_back(m.GetPrvek(i, j));
    return c;
}

std::vector<std::string> MakeFiles(const TempDir& dir, const std::vector<std::string>& contents) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        files.push_back(dir.Path("ctrl_" + std::to_string(i + 1) + ".txt"));
        WriteFileBytes(files.back(), contents[i]);
    }
    return files;
}

// Lines "k x y 0" for point numbers first..first+n-1, joined by `eol`.
std::string ImageLines(int first, int n, const std::string& eol = "\r\n") {
    std::string s;
    for (int k = first; k < first + n; ++k)
        s += std::to_string(k) + " " + std::to_string(k) + ".25 -" + std::to_string(k) + ".5 0" + eol;
    return s;
}

std::array<long double, 8> Values(const CameraParameters& c) {
    return {c.f, c.x0, c.y0, c.k1, c.k2, c.k3, c.p1, c.p2};
}

TEST(CameraFieldTextsOf, GeneralFormatInTheLocaleNotation) {
    CameraParameters c;
    c.f = 100.5L;
    c.x0 = 0.01L;
    c.y0 = -0.02L;
    c.k1 = 1e-5L;
    const CameraFieldTexts shown = CameraFieldTextsOf(c, ',');
    EXPECT_EQ(shown, (CameraFieldTexts{"100,5", "0,01", "-0,02", "1E-5", "0", "0", "0", "0"}));
    EXPECT_EQ(CameraFieldTextsOf(c, '.')[0], "100.5");
}

TEST(LoadCameraFile, SetsAndClearsCameraLoaded) {
    TempDir dir;
    ProjectState state;
    const std::string good = dir.Path("dobra.txt");
    WriteFileBytes(good, "10\n1\n2\n0\n0\n0\n0\n0\n");
    EXPECT_TRUE(LoadCameraFile(good, state));
    EXPECT_TRUE(state.CameraLoaded);
    EXPECT_EQ(state.Camera.f, 10.0L);

    for (const std::string& bad : {dir.Path("neni.txt"), dir.Path("")}) {
        state.CameraLoaded = true;
        EXPECT_FALSE(LoadCameraFile(bad, state)) << bad;
        EXPECT_FALSE(state.CameraLoaded);
        EXPECT_EQ(state.Camera.f, 10.0L);
    }
    std::filesystem::create_directory(dir.Path("slozka"));
    EXPECT_FALSE(LoadCameraFile(dir.Path("slozka"), state));
}

TEST(LoadCameraFile, RealCameraFile) {
    const std::string path = test::RealDataPath("prague2016_cam_fixed/exact/camera.txt");
    if (path.empty()) GTEST_SKIP() << "real data not available";
    ProjectState state;
    ASSERT_TRUE(LoadCameraFile(path, state));
    EXPECT_EQ(Values(state.Camera), (std::array<long double, 8>{7.4693L, 3.6178L, 2.6087L, 0.004981L,
                                                                 -9.814e-05L, 0.0L, -6.587e-05L, 2.806e-05L}));
    EXPECT_EQ(CameraFieldTextsOf(state.Camera, ',')[4], "-9,814E-5");
}

TEST(SaveCameraCommand, WritesTheTextsWithAPointOrRefusesBeforeTheDialog) {
    TempDir dir;
    ProjectState state;
    test::FakeHost host(state);  // decimal comma
    const std::string file = dir.Path("kamera.txt");
    int asked = 0;
    const auto choose = [&](std::string& chosen) {
        ++asked;
        chosen = file;
        return true;
    };

    // A point in a comma locale is no number: refused before the dialog.
    CameraFieldTexts texts{"100,5", " 0,01", "-0,02", "0.003", "0", "1E-7", "0", "-1,5e-3"};
    EXPECT_FALSE(SaveCameraCommand(texts, choose, host));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(host.log, (std::vector<std::string>{"Chyba - Špatně zadané hodnoty parametrů kamery"}));
    EXPECT_FALSE(std::filesystem::exists(file));

    texts[3] = "0,003";
    EXPECT_TRUE(SaveCameraCommand(texts, choose, host));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(host.log.back(), "Uložen soubor: " + file);
    EXPECT_EQ(test::ReadFileBytes(file), "100.5\r\n 0.01\r\n-0.02\r\n0.003\r\n0\r\n1E-7\r\n0\r\n-1.5e-3\r\n");
}

TEST(LoadControlPoints, TwoImagesPresetTheFirstFourPoints) {
    TempDir dir;
    ProjectState state;
    const auto files = MakeFiles(dir, {ControlLines(11, 4), ControlLines(21, 6)});
    const ControlLoadResult r = LoadControlPoints(files, state);
    ASSERT_EQ(r.status, Status::Loaded);
    EXPECT_TRUE(state.ControlPointsLoaded);
    EXPECT_EQ(Column(*state.ControlPointCounts, 1), (std::vector<long double>{4, 6}));
    EXPECT_EQ(Column(*state.ControlPointRanges, 1), (std::vector<long double>{1, 5}));
    EXPECT_EQ(Column(*state.ControlPointRanges, 2), (std::vector<long double>{4, 10}));
    ASSERT_EQ(state.ControlPoints->r, 10);
    ASSERT_EQ(state.ControlPoints->s, 6);
    EXPECT_EQ(state.ControlPoints->GetPrvek(5, 2), 21.5L);
    EXPECT_EQ(state.ControlPoints->GetPrvek(5, 4), 0.125L);
    EXPECT_EQ(state.ControlPoints->GetPrvek(5, 6), -21e-2L);
    EXPECT_EQ(Column(*state.SelectedOrientationPoints, 1),
              (std::vector<long double>{11, 12, 13, 14, 21, 22, 23, 24}));

    // Loading again replaces everything, with one image now.
    const ControlLoadResult again = LoadControlPoints({files[1]}, state);
    ASSERT_EQ(again.status, Status::Loaded);
    EXPECT_EQ(state.ControlPointCounts->r, 1);
    EXPECT_EQ(Column(*state.SelectedOrientationPoints, 1), (std::vector<long double>{21, 22, 23, 24}));
}

TEST(LoadControlPoints, TrailingEmptyLineIsARowOfZeros) {
    TempDir dir;
    ProjectState state;
    const auto files = MakeFiles(dir, {ControlLines(1, 4) + "\r\n"});
    ASSERT_EQ(LoadControlPoints(files, state).status, Status::Loaded);
    EXPECT_EQ(Column(*state.ControlPoints, 1), (std::vector<long double>{1, 2, 3, 4, 0}));
    EXPECT_EQ(Column(*state.SelectedOrientationPoints, 1), (std::vector<long double>{1, 2, 3, 4}));
}

TEST(LoadControlPoints, MinimumCheckNamesTheFirstShortImage) {
    TempDir dir;
    ProjectState state;
    ASSERT_EQ(LoadControlPoints(MakeFiles(dir, {ControlLines(1, 4)}), state).status, Status::Loaded);
    const Matice* points = state.ControlPoints.get();
    const Matice* selected = state.SelectedOrientationPoints.get();

    const auto files = MakeFiles(dir, {ControlLines(1, 5), ControlLines(10, 3), ControlLines(20, 2)});
    const ControlLoadResult r = LoadControlPoints(files, state);
    EXPECT_EQ(r.status, Status::TooFewPoints);
    EXPECT_EQ(r.image, 2);
    // A refused load changes nothing: the previous project stays whole.
    EXPECT_EQ(state.ControlPoints.get(), points);
    EXPECT_EQ(state.ControlPointCounts->r, 1);
    EXPECT_EQ(state.ControlPointRanges->r, 1);
    EXPECT_EQ(state.SelectedOrientationPoints.get(), selected);
    EXPECT_TRUE(state.ControlPointsLoaded);

    // A file that cannot be opened counts no lines: the check names it.
    const std::vector<std::string> missing = {files[0], dir.Path("neni.txt")};
    const ControlLoadResult m = LoadControlPoints(missing, state);
    EXPECT_EQ(m.status, Status::TooFewPoints);
    EXPECT_EQ(m.image, 2);
    EXPECT_EQ(state.ControlPoints.get(), points);
}

TEST(LoadControlPoints, UnreadableNumberFailsAndChangesNothing) {
    TempDir dir;
    ProjectState state;
    ASSERT_EQ(LoadControlPoints(MakeFiles(dir, {ControlLines(1, 4)}), state).status, Status::Loaded);
    const Matice* selected = state.SelectedOrientationPoints.get();
    state.ControlPointsLoaded = false;

    for (const std::string& bad : {std::string("nan"), std::string("inf"), std::string("1e5000"), std::string("1,5"),
                                   std::string(65, '3'), std::string("\x80\x81")}) {
        const auto files = MakeFiles(dir, {ControlLines(1, 4), ControlLines(10, 2) + "12 " + bad + " 0 0 0 0\n" +
                                                                  ControlLines(13, 2)});
        const ControlLoadResult r = LoadControlPoints(files, state);
        EXPECT_EQ(r.status, Status::Failed) << bad;
        ASSERT_TRUE(state.ControlPoints);
        EXPECT_EQ(Column(*state.ControlPoints, 1), (std::vector<long double>{1, 2, 3, 4}));
        EXPECT_EQ(Column(*state.ControlPointCounts, 1), (std::vector<long double>{4}));
        EXPECT_EQ(state.SelectedOrientationPoints.get(), selected);
        EXPECT_FALSE(state.ControlPointsLoaded);
    }
}

TEST(LoadControlPoints, MoreThan65535LinesIsRefusedWithoutChange) {
    TempDir dir;
    ProjectState state;
    ASSERT_EQ(LoadControlPoints(MakeFiles(dir, {ControlLines(1, 4)}), state).status, Status::Loaded);
    const Matice* before = state.ControlPoints.get();
    std::string many;
    for (int i = 0; i < 65536; ++i) many += "1 2 3 4 5 6\n";
    const ControlLoadResult r = LoadControlPoints(MakeFiles(dir, {many}), state);
    EXPECT_EQ(r.status, Status::Failed);
    EXPECT_EQ(state.ControlPoints.get(), before);
    EXPECT_EQ(state.ControlPointCounts->GetPrvek(1, 1), 4.0L);
    EXPECT_EQ(state.SelectedOrientationPoints->r, 4);

    EXPECT_EQ(LoadControlPoints({}, state).status, Status::Failed);
    EXPECT_EQ(state.ControlPoints.get(), before);
}

TEST(LoadControlPoints, RealControlFiles) {
    if (test::RealDataPath("prague2016_sxb_fixed/exact/ctrl_01.txt").empty()) GTEST_SKIP() << "real data not available";
    std::vector<std::string> files;
    for (int i = 1; i <= 5; ++i)
        files.push_back(test::RealDataPath("prague2016_sxb_fixed/exact/ctrl_0" + std::to_string(i) + ".txt"));
    ProjectState state;
    ASSERT_EQ(LoadControlPoints(files, state).status, Status::Loaded);
    EXPECT_EQ(Column(*state.ControlPointCounts, 1), (std::vector<long double>{7, 9, 12, 10, 9}));
    // First lines of ctrl_01.txt and ctrl_02.txt.
    const Matice& sel = *state.SelectedOrientationPoints;
    EXPECT_EQ(sel.r, 20);
    EXPECT_EQ(sel.GetPrvek(1, 1), 317.0L);
    EXPECT_EQ(sel.GetPrvek(2, 1), 333.0L);
    EXPECT_EQ(sel.GetPrvek(4, 1), 403.0L);
    EXPECT_EQ(sel.GetPrvek(8, 1), 351.0L);
    EXPECT_EQ(state.ControlPoints->GetPrvek(1, 2), -174.926310L);
    EXPECT_EQ(state.ControlPoints->GetPrvek(1, 6), 43.65400020L);
}

TEST(LoadImagePoints, FillsTheStateAndTheFlag) {
    TempDir dir;
    ProjectState state;
    const std::string a = dir.Path("a.txt");
    WriteFileBytes(a, ImageLines(1, 4));
    ASSERT_TRUE(LoadImagePoints({a}, state));
    EXPECT_TRUE(state.ImagePointsLoaded);
    EXPECT_EQ(state.ImagePoints->r, 4);
    EXPECT_EQ(state.ImagePointCounts->r, 1);
    EXPECT_EQ(state.ImagePointRanges->s, 2);

    WriteFileBytes(a, "1 2 3 inf\n");
    EXPECT_FALSE(LoadImagePoints({a}, state));
    EXPECT_TRUE(state.ImagePointsLoaded);  // keeps its value
    EXPECT_EQ(state.ImagePoints->r, 4);    // and so do the tables

    ProjectState fresh;
    EXPECT_FALSE(LoadImagePoints({a}, fresh));
    EXPECT_FALSE(fresh.ImagePointsLoaded);
}

TEST(LoadImagePoints, LargePointNumbersExactAndTooLargeRefused) {
    TempDir dir;
    ProjectState state;
    const std::string a = dir.Path("a.txt");
    WriteFileBytes(a, "1003 1 2 0\n2147484651 1 2 0\n4294968299 1 2 0\n3000001003 1 2 0\n1000000000000000 1 2 0\n"
                      "9223372036854775807 1 2 0\n");
    ASSERT_TRUE(LoadImagePoints({a}, state));
    EXPECT_EQ(Column(*state.ImagePoints, 1),
              (std::vector<long double>{1003.0L, 2147484651.0L, 4294968299.0L, 3000001003.0L, 1.0e15L,
                                        9223372036854775807.0L}));

    // Beyond 2^63 - 1 a number can no longer be told from its neighbours:
    // the load is refused, naming the number and its file.
    const std::string b = dir.Path("b.txt");
    WriteFileBytes(b, "1 1 2 0\n1e19 1 2 0\n");
    LoadProblem problem;
    EXPECT_FALSE(LoadImagePoints({a, b}, state, &problem));
    EXPECT_EQ(state.ImagePoints->r, 6);
    EXPECT_EQ(LoadProblemLine(problem), "Chyba - Číslo bodu 1E19 v souboru " + b +
                                            " přesahuje 9223372036854775807 a program by je nerozlišil přesně");
    WriteFileBytes(b, ControlLines(1, 3) + "-9223372036854775809 0 0 0 0 0\n");
    const ControlLoadResult control = LoadControlPoints({b}, state);
    EXPECT_EQ(control.status, Status::Failed);
    EXPECT_EQ(control.problem.cause, LoadProblem::Cause::PointNumberTooLarge);
    EXPECT_FALSE(state.ControlPoints);
}

}  // namespace
}  // namespace pelvanor
