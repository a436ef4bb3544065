#pragma once
// A generated project written as input files and loaded through the
// program's own loaders, as a user would, with a recording host whose
// camera fields hold the loaded camera.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/project_state.h"
#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "project/loaders.h"
#include "tests/project/recording_host.h"
#include "tests/support/test_util.h"
#include "tools/synth/synth.h"

namespace pelvanor::test {

inline std::vector<std::string> ProjectFiles(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().rfind(prefix, 0) == 0) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

struct LoadedProject {
    TempDir dir;
    synth::Project project;
    ProjectState state;
    RecordingHost host;

    explicit LoadedProject(const synth::Options& options, char decimal = ',')
        : host(&state, decimal) {
        std::string error;
        EXPECT_TRUE(synth::Generate(options, project, &error)) << error;
        EXPECT_TRUE(synth::WriteProject(project, dir.Path("p"), &error)) << error;
        EXPECT_TRUE(LoadCameraFile(dir.Path("p/camera.txt"), state));
        EXPECT_EQ(LoadControlPoints(ProjectFiles(dir.Path("p"), "ctrl_"), state).status,
                  ControlLoadResult::Status::Loaded);
        EXPECT_TRUE(LoadImagePoints(ProjectFiles(dir.Path("p"), "img_"), state));
        // What the loading commands enable, as far as the pipelines look.
        host.items[UiItem::Orientace1] = true;
        host.items[UiItem::Snmkovsouadnice1] = true;
        host.camera = state.Camera;
    }
};

// A small project in millimetres and metres with image noise.
inline synth::Options SmallProject(std::uint64_t seed) {
    synth::Options o;
    o.images = 4;
    o.control = 8;
    o.points = 24;
    o.sigma = 0.002L;
    o.realistic = true;
    o.seed = seed;
    return o;
}

// The smallest project that still has tie points on three images: for
// the tests of the command flow rather than of the adjustment.
inline synth::Options TinyProject(std::uint64_t seed) {
    synth::Options o = SmallProject(seed);
    o.images = 3;
    o.control = 6;
    o.points = 10;
    return o;
}

}  // namespace pelvanor::test
