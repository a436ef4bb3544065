// The whole road of "Souřadnice XYZ" on a project folder, timed by stage:
// load the three kinds of files, then the approximate orientation, the
// bundle adjustment pipeline and the object coordinates pipeline exactly as
// the menu commands run them (default settings unless given).
//
//   road_bench FOLDER [--plane] [--percent P] [--robust 0|1] [--camera 0|1]
//
// FOLDER holds camera.txt, ctrl_*.txt and img_*.txt (the sample projects of
// examples/ or a real project).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "project/bundle_pipeline.h"
#include "project/object_points_pipeline.h"
#include "project/orientation_pipeline.h"
#include "project/project_state.h"
#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "project/loaders.h"
#include "bench/project_files.h"

using namespace pelvanor;

namespace {

class BenchHost : public CommandHost {
public:
    explicit BenchHost(ProjectState& state) : state_(state) {}
    void WriteLog(const std::string& message) override {
        std::printf("  log: %s\n", message.c_str());
    }
    void SetItemEnabled(UiItem item, bool enabled) override {
        enabled_[static_cast<int>(item)] = enabled;
    }
    bool IsItemEnabled(UiItem item) const override { return enabled_[static_cast<int>(item)]; }
    bool ReadCameraFields() override {
        state_.Camera = camera;
        return true;
    }
    int OrientationMethod() const override { return method; }
    char DecimalSeparator() const override { return ','; }
    void ShowMessage(const std::string& text) override { std::printf("  message: %s\n", text.c_str()); }

    CameraParameters camera;
    int method = 1;

private:
    ProjectState& state_;
    bool enabled_[32] = {};
};

using pelvanor::bench::Files;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: road_bench FOLDER [--plane] [--percent P] [--robust 0|1] [--camera 0|1]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    ProjectState state;
    BenchHost host(state);
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--plane")) host.method = 0;
        else if (!std::strcmp(argv[i], "--percent") && i + 1 < argc) state.Settings.PointPercent = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--robust") && i + 1 < argc) state.Settings.RobustEstimation = std::atoi(argv[++i]) != 0;
        else if (!std::strcmp(argv[i], "--camera") && i + 1 < argc) state.Settings.AdjustCameraConstant = std::atoi(argv[++i]) != 0;
    }

    auto t = std::chrono::steady_clock::now();
    if (!LoadCameraFile((folder / "camera.txt").string(), state)) {
        std::fprintf(stderr, "camera file not loaded\n");
        return 1;
    }
    host.camera = state.Camera;
    const auto control = LoadControlPoints(Files(folder, "ctrl_"), state);
    const bool images = LoadImagePoints(Files(folder, "img_"), state);
    if (control.status != ControlLoadResult::Status::Loaded || !images) {
        std::fprintf(stderr, "input files not loaded\n");
        return 1;
    }
    host.SetItemEnabled(UiItem::Snmkovsouadnice1, true);
    host.SetItemEnabled(UiItem::Orientace1, true);
    std::printf("load: %.3f s, %d images, %d image rows, %d control rows\n", Seconds(t),
                state.ImagePointCounts->r, state.ImagePoints->r, state.ControlPoints->r);

    t = std::chrono::steady_clock::now();
    state.OrientationLogged = false;
    const bool orientation = ApproximateOrientation(state, host);
    std::printf("approximate orientation: %s, %.3f s\n", orientation ? "ok" : "failed", Seconds(t));

    t = std::chrono::steady_clock::now();
    state.OrientationLogged = false;
    const bool bundle = BundlePipeline(state, host);
    std::printf("bundle adjustment pipeline: %s, %.3f s (iterations %d / %d, m0 %.6Lg / %.6Lg)\n",
                bundle ? "ok" : "failed", Seconds(t), state.BundleIterations, state.BundleIterationsF,
                state.BundleSigma0, state.BundleSigma0F);

    t = std::chrono::steady_clock::now();
    state.OrientationLogged = false;
    const bool xyz = ObjectPointsPipeline(state, host);
    std::printf("\"Souřadnice XYZ\" (whole command): %s, %.3f s, %d points, %d pass the F-test\n",
                xyz ? "ok" : "failed", Seconds(t), state.ObjectPoints ? state.ObjectPoints->r : 0,
                state.FTestPassed ? state.FTestPassed->r : 0);
    // The adjusted exterior orientations, for comparison with a reference:
    // image, X0, Y0, Z0 [m], alfa, beta, gama [rad] (and f).
    const bool withF = state.Settings.AdjustCameraConstant && state.BundleUnknownsF && state.BundleImageIndexF;
    const Matice* unknowns = withF ? state.BundleUnknownsF.get() : state.BundleUnknowns.get();
    const Matice* index = withF ? state.BundleImageIndexF.get() : state.BundleImageIndex.get();
    if (unknowns && index) {
        std::printf("adjusted exterior orientation (%s):\n", withF ? "with camera constant" : "without camera constant");
        for (int i = 1; i <= index->r; ++i) {
            const int b = static_cast<int>(std::lround(index->GetPrvek(i, 1)));
            std::printf("%02d", i);
            for (int k = 0; k < (withF ? 7 : 6); ++k) std::printf(" %.9Lf", unknowns->GetPrvek(b + k, 1));
            std::printf("\n");
        }
    }
    return xyz ? 0 : 1;
}
