// The two solves of the bundle adjustment's normal equations on the whole
// road of "Souřadnice XYZ": the pseudo-inverse of the bordered matrix and the
// point elimination give the same pass counts and the same protocols, every
// printed number equal or one unit off in its last digit (counted and
// printed); "Automaticky", which takes the elimination, writes the real
// calibration sheet's protocols byte for byte as the pseudo-inverse.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "matrix/text_file.h"
#include "project/bundle_pipeline.h"
#include "project/loaders.h"
#include "project/object_points_pipeline.h"
#include "project/result_commands.h"
#include "project/state_reports.h"
#include "tests/project/loaded_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

struct Protocols {
    bool ok = false;
    bool eliminated = false;
    std::int32_t passes = 0, passesF = 0;
    std::vector<std::string> panel;     // "Výsledky" > "Svazkové vyrovnání"
    std::vector<std::string> complete;  // the complete protocol file, decoded
    std::string completeBytes;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Runs "Souřadnice XYZ" with `solve` on a loaded project (the state is
// copied by loading again: every run starts from the files).
template <class Load>
Protocols RunCommand(Load&& load, NormalSolve solve, const AdjustmentSettings& settings, int method) {
    test::TempDir out;
    ProjectState state;
    test::RecordingHost host(&state, '.');
    load(state, host);
    state.Settings = settings;
    state.Settings.NormalEquations = solve;
    host.method = method;
    Protocols p;
    p.ok = ObjectPointsCommand(state, host);
    if (!p.ok) return p;
    p.eliminated = state.BundleByElimination;
    p.passes = state.BundleIterations;
    p.passesF = state.BundleIterationsF;
    p.panel = BundleReportLines(state, '.');
    const std::string file = out.Path("kompletni.txt");
    SaveCompleteProtocol(state, host, file);
    p.completeBytes = test::ReadFileBytes(file);
    p.complete = SplitLines(DecodeCp1250(p.completeBytes));
    return p;
}

// Numbers as the protocols print them: an optional sign, digits, an
// optional fraction and exponent.
const std::regex kNumber(R"([-+]?[0-9]+(\.[0-9]+)?([eE][-+]?[0-9]+)?)");

// The digits of a printed number as one integer in units of its last digit.
bool LastDigitUnits(const std::string& number, long long& units, std::string& shape) {
    std::string digits;
    shape.clear();
    std::size_t e = number.find_first_of("eE");
    const std::string mantissa = number.substr(0, e);
    for (char c : mantissa) {
        if (c >= '0' && c <= '9') {
            digits += c;
            shape += '9';
        } else if (c == '.') {
            shape += '.';
        }
    }
    if (e != std::string::npos) shape += number.substr(e);
    if (digits.size() > 18) return false;
    units = std::stoll(digits);
    if (!mantissa.empty() && mantissa[0] == '-') units = -units;
    return true;
}

// Compares the lines number by number; the text between the numbers must be
// the same.  Counts the numbers that differ by one unit of their last digit
// and fails on anything else.
int CountLastDigitDifferences(const std::vector<std::string>& a, const std::vector<std::string>& b,
                              const std::string& what) {
    EXPECT_EQ(a.size(), b.size()) << what;
    int differences = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] == b[i]) continue;
        std::sregex_iterator ia(a[i].begin(), a[i].end(), kNumber), ib(b[i].begin(), b[i].end(), kNumber), end;
        std::size_t textA = 0, textB = 0;
        for (; ia != end && ib != end; ++ia, ++ib) {
            EXPECT_EQ(a[i].substr(textA, ia->position() - textA), b[i].substr(textB, ib->position() - textB))
                << what << " line " << i + 1;
            textA = ia->position() + ia->length();
            textB = ib->position() + ib->length();
            const std::string x = ia->str(), y = ib->str();
            if (x == y) continue;
            long long ux = 0, uy = 0;
            std::string sx, sy;
            const bool parsed = LastDigitUnits(x, ux, sx) && LastDigitUnits(y, uy, sy);
            EXPECT_TRUE(parsed) << x << " " << y;
            // The same form, and at most one unit apart (a sign flip of a
            // printed zero counts as such a difference).
            EXPECT_TRUE(parsed && sx == sy && (ux - uy <= 1 && uy - ux <= 1))
                << what << " line " << i + 1 << ": " << x << " against " << y << "\n" << a[i] << "\n" << b[i];
            ++differences;
        }
        EXPECT_TRUE(ia == end && ib == end) << what << " line " << i + 1;
        EXPECT_EQ(a[i].substr(textA), b[i].substr(textB)) << what << " line " << i + 1;
    }
    return differences;
}

struct Tally {
    int numbers = 0;
    int runs = 0;
};

template <class Load>
void CompareSolves(Load&& load, const AdjustmentSettings& settings, int method, const std::string& what,
                   Tally& tally) {
    SCOPED_TRACE(what);
    const Protocols svd = RunCommand(load, NormalSolve::Svd, settings, method);
    const Protocols sparse = RunCommand(load, NormalSolve::Sparse, settings, method);
    ASSERT_TRUE(svd.ok && sparse.ok);
    EXPECT_FALSE(svd.eliminated);
    EXPECT_TRUE(sparse.eliminated);
    EXPECT_EQ(svd.passes, sparse.passes);
    EXPECT_EQ(svd.passesF, sparse.passesF);
    const int panel = CountLastDigitDifferences(svd.panel, sparse.panel, "panel");
    const int file = CountLastDigitDifferences(svd.complete, sparse.complete, "file");
    std::printf("%s: %d + %d numbers one unit off in the last digit (panel + complete protocol)\n", what.c_str(),
                panel, file);
    tally.numbers += panel + file;
    ++tally.runs;
}

TEST(SolveAgreement, GeneratedProjectsPlaneAndSpaceInEverySetting) {
    Tally tally;
    for (const bool plane : {false, true}) {
        synth::Options o = test::SmallProject(plane ? 61 : 62);
        o.images = 5;
        o.points = 30;
        o.plane = plane;
        o.gross = 1;
        o.gross_size = 0.05L;
        o.f_spread = 0.05L;
        test::TempDir dir;
        synth::Project project;
        std::string error;
        ASSERT_TRUE(synth::Generate(o, project, &error)) << error;
        ASSERT_TRUE(synth::WriteProject(project, dir.Path("p"), &error)) << error;
        const auto load = [&](ProjectState& state, test::RecordingHost& host) {
            ASSERT_TRUE(LoadCameraFile(dir.Path("p/camera.txt"), state));
            ASSERT_EQ(LoadControlPoints(test::ProjectFiles(dir.Path("p"), "ctrl_"), state).status,
                      ControlLoadResult::Status::Loaded);
            ASSERT_TRUE(LoadImagePoints(test::ProjectFiles(dir.Path("p"), "img_"), state));
            host.items[UiItem::Orientace1] = true;
            host.items[UiItem::Snmkovsouadnice1] = true;
            host.camera = state.Camera;
        };
        for (const bool robust : {false, true})
            for (const bool withF : {false, true}) {
                AdjustmentSettings set;
                set.RobustEstimation = robust;
                set.AdjustCameraConstant = withF;
                CompareSolves(load, set, plane ? 0 : 1,
                              std::string(plane ? "plane" : "space") + ", robust " + (robust ? "on" : "off") +
                                  ", camera constant " + (withF ? "on" : "off"),
                              tally);
            }

    }
    std::printf("generated projects: %d numbers one unit off in %d pairs of runs\n", tally.numbers, tally.runs);
}

TEST(SolveAgreement, RealCalibrationSheet) {
    const std::string folder = test::RealDataPath("prague2016_cam_fixed/exact");
    if (folder.empty()) GTEST_SKIP() << "real data not available";
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "pseudo-inverses of order 300 in every pass: too slow in a sanitized build";
#endif
    const auto load = [&](ProjectState& state, test::RecordingHost& host) {
        ASSERT_TRUE(LoadCameraFile(folder + "/camera.txt", state));
        ASSERT_EQ(LoadControlPoints(test::ProjectFiles(folder, "ctrl_"), state).status,
                  ControlLoadResult::Status::Loaded);
        ASSERT_TRUE(LoadImagePoints(test::ProjectFiles(folder, "img_"), state));
        host.items[UiItem::Orientace1] = true;
        host.items[UiItem::Snmkovsouadnice1] = true;
        host.camera = state.Camera;
    };
    const Protocols automatic = RunCommand(load, NormalSolve::Auto, AdjustmentSettings{}, 0);
    const Protocols svd = RunCommand(load, NormalSolve::Svd, AdjustmentSettings{}, 0);
    ASSERT_TRUE(automatic.ok && svd.ok);
    EXPECT_TRUE(automatic.eliminated);
    EXPECT_FALSE(svd.eliminated);
    EXPECT_EQ(automatic.passes, svd.passes);
    EXPECT_EQ(automatic.passesF, svd.passesF);
    EXPECT_EQ(automatic.panel, svd.panel);
    EXPECT_EQ(automatic.completeBytes, svd.completeBytes);
}

}  // namespace
}  // namespace pelvanor
