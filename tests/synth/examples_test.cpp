// The sample projects in examples/ against the generator: each README
// records the command line that made its project; the project is made again
// from that line and must match the committed files byte for byte.  The
// committed files must also load as a user would load them.

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/project_state.h"
#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "project/loaders.h"
#include "tests/support/test_util.h"
#include "tools/synth/synth.h"

namespace pelvanor {
namespace {

namespace fs = std::filesystem;

// The words of the README's "pelvanor-synth examples/<name> ..." line.
std::vector<std::string> RecordedCommand(const std::string& name) {
    std::ifstream in(test::SourcePath("examples/" + name + "/README.md"));
    std::string line;
    const std::string start = "pelvanor-synth examples/" + name + " ";
    while (std::getline(in, line)) {
        if (line.rfind(start, 0) != 0) continue;
        std::vector<std::string> words;
        std::istringstream ws(line);
        for (std::string w; ws >> w;) words.push_back(w);
        return words;
    }
    return {};
}

template <class T>
bool ParseWord(const std::string& s, T& v) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// The options of the generator's command line (synth_main.cpp).
bool OptionsFromCommand(const std::vector<std::string>& words, synth::Options& o) {
    for (std::size_t a = 2; a < words.size(); ++a) {
        const std::string& w = words[a];
        const std::string next = a + 1 < words.size() ? words[a + 1] : std::string();
        bool ok = true;
        if (w == "--plane") o.plane = true;
        else if (w == "--realistic") o.realistic = true;
        else if (w == "--no-distortion") o.distortion = false;
        else if (w == "--control-in-images") o.control_in_images = true;
        else if (w == "--crlf") o.crlf = true;
        else {
            ++a;
            if (w == "--images") ok = ParseWord(next, o.images);
            else if (w == "--control") ok = ParseWord(next, o.control);
            else if (w == "--points") ok = ParseWord(next, o.points);
            else if (w == "--gross") ok = ParseWord(next, o.gross);
            else if (w == "--min-control-images") ok = ParseWord(next, o.min_control_images);
            else if (w == "--seed") ok = ParseWord(next, o.seed);
            else if (w == "--sigma") ok = ParseWord(next, o.sigma);
            else if (w == "--gross-size") ok = ParseWord(next, o.gross_size);
            else if (w == "--f-spread") ok = ParseWord(next, o.f_spread);
            else ok = false;
        }
        if (!ok) return false;
    }
    return true;
}

std::set<std::string> FileNames(const fs::path& dir, bool withReadme) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string n = e.path().filename().string();
        if (withReadme || n != "README.md") names.insert(n);
    }
    return names;
}

std::vector<std::string> Sorted(const fs::path& dir, const std::string& prefix) {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(prefix, 0) == 0) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

class ExampleProject : public ::testing::TestWithParam<const char*> {};

TEST_P(ExampleProject, RegeneratesByteForByteFromItsRecordedCommand) {
    const std::string name = GetParam();
    const std::vector<std::string> words = RecordedCommand(name);
    ASSERT_GE(words.size(), 2u) << "no generator command line in examples/" << name << "/README.md";
    synth::Options options;
    ASSERT_TRUE(OptionsFromCommand(words, options)) << "unknown option in the recorded command";

    synth::Project project;
    std::string error;
    ASSERT_TRUE(synth::Generate(options, project, &error)) << error;
    test::TempDir tmp;
    ASSERT_TRUE(synth::WriteProject(project, tmp.Path("p"), &error)) << error;

    const fs::path committed = test::SourcePath("examples/" + name);
    const std::set<std::string> made = FileNames(tmp.Path("p"), true);
    EXPECT_EQ(FileNames(committed, false), made);
    for (const std::string& f : made)
        EXPECT_EQ(test::ReadFileBytes((committed / f).string()), test::ReadFileBytes(tmp.Path("p/" + f)))
            << "examples/" << name << "/" << f << " differs from what its command line makes";
}

TEST_P(ExampleProject, LoadsWithTheFourCommonControlPointsOnEveryImage) {
    const fs::path dir = test::SourcePath(std::string("examples/") + GetParam());
    ProjectState state;
    ASSERT_TRUE(LoadCameraFile((dir / "camera.txt").string(), state));
    EXPECT_EQ(state.Camera.f, 24.0L);

    const std::vector<std::string> ctrl = Sorted(dir, "ctrl_");
    const std::vector<std::string> img = Sorted(dir, "img_");
    ASSERT_EQ(ctrl.size(), 6u);
    ASSERT_EQ(img.size(), 6u);
    ASSERT_EQ(LoadControlPoints(ctrl, state).status, ControlLoadResult::Status::Loaded);
    ASSERT_TRUE(LoadImagePoints(img, state));

    const Matice& counts = *state.ControlPointCounts;
    const Matice& selected = *state.SelectedOrientationPoints;
    for (int i = 1; i <= counts.r; ++i) {
        EXPECT_GE(counts.GetPrvek(i, 1), 4.0L) << "image " << i;
        for (int j = 1; j <= 4; ++j)
            EXPECT_EQ(selected.GetPrvek(4 * (i - 1) + j, 1), selected.GetPrvek(j, 1)) << "image " << i;
    }
    // Image coordinates inside the 36 x 24 mm frame.
    const Matice& points = *state.ImagePoints;
    ASSERT_GT(points.r, 6 * 20);
    for (int r = 1; r <= points.r; ++r) {
        EXPECT_GE(points.GetPrvek(r, 2), 0.0L);
        EXPECT_LE(points.GetPrvek(r, 2), 36.0L);
        EXPECT_GE(points.GetPrvek(r, 3), 0.0L);
        EXPECT_LE(points.GetPrvek(r, 3), 24.0L);
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleProject, ::testing::Values("fasada", "rovina"));

TEST(ExampleProjects, PlaneSampleHasEveryControlPointInZZero) {
    ProjectState state;
    const fs::path dir = test::SourcePath("examples/rovina");
    ASSERT_EQ(LoadControlPoints(Sorted(dir, "ctrl_"), state).status, ControlLoadResult::Status::Loaded);
    const Matice& c = *state.ControlPoints;
    for (int r = 1; r <= c.r; ++r) EXPECT_EQ(c.GetPrvek(r, 4), 0.0L) << "row " << r;
}

}  // namespace
}  // namespace pelvanor
