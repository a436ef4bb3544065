// Scale of the object-coordinates road: generated projects of growing size
// and the real calibration sheet, run as the command "Souřadnice XYZ" runs
// them (default settings), once per normal-equation solve.  Prints per
// stage the time (wall and processor), the adjustment passes and which
// solve ran them, and the peak resident memory.
//
//   scale_bench                 every project, every solve
//   scale_bench --svd-orders    time of one pseudo-inverse pass against the
//                               bordered order, on one and on two threads
//   scale_bench --only N        only generated project N (1..4), 0: only the sheet
//   scale_bench --svd-limit K   skip the SVD runs above bordered order K (default 1500)
//   scale_bench --sheet S [R]   only the sheet with solve S (svd, sparse,
//                               auto), R times (for profiling)
//
// Build with -DCMAKE_BUILD_TYPE=Release.  The machine's load average is
// printed with every project: on a shared machine the processor times are
// the figures to compare.

#include <algorithm>
#include <cmath>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "adjustment/bundle_adjustment.h"
#include "adjustment/schur_solve.h"
#include "project/bundle_pipeline.h"
#include "project/object_points_pipeline.h"
#include "project/orientation_pipeline.h"
#include "project/loaders.h"
#include "project/project_state.h"
#include "input/camera_file.h"
#include "input/control_file.h"
#include "input/image_file.h"
#include "matrix/arithmetic.h"
#include "matrix/parallel.h"
#include "tools/synth/synth.h"
#include "bench/project_files.h"

using namespace pelvanor;

namespace {

constexpr long double kScale = 4000.0L;  // generated image unit: pixels, f = 4000

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Peak resident memory since the last reset, in MB (VmHWM; the reset writes
// 5 to clear_refs).
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }
double PeakMb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0.0;
}

// A moment of the command seen by the host: the pipelines read the camera
// fields when they start and write a log line when they end.
struct Mark {
    std::string what;
    std::chrono::steady_clock::time_point wall;
    double cpu = 0.0;
    double peak = 0.0;  // since the previous mark
};

class BenchHost : public CommandHost {
public:
    explicit BenchHost(ProjectState& state) : state_(state) {}
    void WriteLog(const std::string& message) override {
        last = message;
        Note(message);
    }
    void SetItemEnabled(UiItem item, bool enabled) override { enabled_[static_cast<int>(item)] = enabled; }
    bool IsItemEnabled(UiItem item) const override { return enabled_[static_cast<int>(item)]; }
    bool ReadCameraFields() override {
        Note("camera fields");
        state_.Camera = camera;
        return true;
    }
    int OrientationMethod() const override { return method; }
    char DecimalSeparator() const override { return ','; }
    void ShowMessage(const std::string& text) override { std::printf("  message: %s\n", text.c_str()); }

    void Note(const std::string& what) {
        if (!marking) return;
        marks.push_back({what, std::chrono::steady_clock::now(), CpuSeconds(), PeakMb()});
        ResetPeak();
    }

    CameraParameters camera;
    int method = 1;
    std::string last;
    bool marking = false;
    std::vector<Mark> marks;

private:
    ProjectState& state_;
    bool enabled_[64] = {};
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

using pelvanor::bench::Files;

const char* Name(NormalSolve s) {
    return s == NormalSolve::Svd ? "svd" : s == NormalSolve::Sparse ? "sparse" : "auto";
}

const char* Kind(const BundleTimings::Adjustment& a) {
    return a.imageWidth == 6 ? "BundleAdjust     " : "BundleAdjustWithF";
}

const char* SolveOf(const BundleTimings::Adjustment& a) {
    if (a.sparsePasses > 0) return a.fallbackPasses > 0 ? "elimination (+svd fallback)" : "elimination";
    return a.fallbackPasses > 0 ? "svd (certificate failed)" : "svd";
}

// Loads the folder and runs "Souřadnice XYZ" with `solve`, timed by stage
// from the host's marks.  The command reads the camera fields, and so does
// the approximate orientation it starts with; the third read is the bundle
// adjustment pipeline's, which ends the orientation stage; the pipeline's
// log line ends the bundle adjustment, the command's log line the
// intersection and the F-test.  The adjustments inside are timed one by one.
bool RunRoad(const std::filesystem::path& folder, bool plane, NormalSolve solve, MatPtr* unknowns = nullptr,
             MatPtr* points = nullptr) {
    ProjectState state;
    BenchHost host(state);
    host.method = plane ? 0 : 1;
    auto t = std::chrono::steady_clock::now();
    if (!LoadCameraFile((folder / "camera.txt").string(), state)) return false;
    host.camera = state.Camera;
    const auto control = LoadControlPoints(Files(folder, "ctrl_"), state);
    const bool images = LoadImagePoints(Files(folder, "img_"), state);
    if (control.status != ControlLoadResult::Status::Loaded || !images) return false;
    host.SetItemEnabled(UiItem::Snmkovsouadnice1, true);
    host.SetItemEnabled(UiItem::Orientace1, true);
    state.Settings.NormalEquations = solve;
    const double load = Seconds(t);

    BundleTimings timings;
    SetDefaultBundleTimings(&timings);
    ResetPeak();
    host.marking = true;
    host.Note("start");
    const bool ok = ObjectPointsCommand(state, host);
    host.Note("end");
    host.marking = false;
    SetDefaultBundleTimings(nullptr);

    // Stage boundaries: start, third camera read, the bundle pipeline's log
    // line, end.
    const auto& marks = host.marks;
    std::vector<std::size_t> cut = {0};
    int reads = 0;
    for (std::size_t k = 1; k < marks.size(); ++k) {
        if (marks[k].what == "camera fields" && ++reads == 3) cut.push_back(k);
        if (marks[k].what.find("Svazkové vyrovnání - výpočet") != std::string::npos) cut.push_back(k);
    }
    cut.push_back(marks.size() - 1);
    const auto stage = [&](std::size_t a, std::size_t b, double& wall, double& cpu, double& peak) {
        wall = std::chrono::duration<double>(marks[b].wall - marks[a].wall).count();
        cpu = marks[b].cpu - marks[a].cpu;
        peak = 0.0;
        for (std::size_t k = a + 1; k <= b; ++k) peak = std::max(peak, marks[k].peak);
    };
    double wall = 0, cpu = 0, peak = 0;
    stage(0, marks.size() - 1, wall, cpu, peak);
    std::printf("  %-6s \"Souřadnice XYZ\" %s: %8.3f s wall, %8.3f s cpu, peak %7.1f MB | passes %d + %d, m0 %.4Lg / "
                "%.4Lg | protocol line: %s | %s\n",
                Name(solve), ok ? "ok" : "FAILED", wall, cpu, peak, state.BundleIterations, state.BundleIterationsF,
                state.BundleSigma0, state.BundleSigma0F, state.BundleByElimination ? "yes" : "no", host.last.c_str());
    std::printf("         %-46s %8.3f s wall\n", "load the files", load);
    const char* names[] = {"approximate orientation", "bundle adjustment pipeline", "intersection and F-test"};
    for (std::size_t s = 0; s + 1 < cut.size() && s < 3; ++s) {
        stage(cut[s], cut[s + 1], wall, cpu, peak);
        std::printf("         %-46s %8.3f s wall, %8.3f s cpu, peak %7.1f MB\n", names[s], wall, cpu, peak);
        if (s != 1) continue;
        double adjustWall = 0.0, adjustCpu = 0.0;
        for (const auto& a : timings.adjustments) {
            std::printf("           %s order %5lld: %8.3f s wall, %8.3f s cpu | %2d passes by %s%s\n", Kind(a),
                        static_cast<long long>(a.order), a.seconds, a.cpuSeconds, a.passes, SolveOf(a),
                        a.ok ? "" : " | FAILED");
            adjustWall += a.seconds;
            adjustCpu += a.cpuSeconds;
        }
        std::printf("           %-44s %8.3f s wall, %8.3f s cpu\n",
                    "orientation, selection, start values, outliers", wall - adjustWall, cpu - adjustCpu);
    }
    std::fflush(stdout);
    if (unknowns != nullptr && state.BundleUnknownsF) *unknowns = MatCopy(*state.BundleUnknownsF);
    if (points != nullptr && state.ObjectPoints) *points = MatCopy(*state.ObjectPoints);
    return ok;
}

// One pass of the bundle adjustment by the pseudo-inverse, timed against the
// bordered order, on one and two threads.
int SvdOrders() {
    // Wall time of the adjustment, and processor time of the whole command
    // (which the machine's other load does not inflate).
    std::printf("one pseudo-inverse pass of BundleAdjust (10 images), load %s\n", LoadAverage().c_str());
    std::printf("%6s %12s %12s %8s %14s %14s\n", "order", "1 thread s", "2 threads s", "speed-up", "1 thr cpu s",
                "2 thr cpu s");
    for (const int target : {100, 200, 300, 400, 450, 500, 600, 800}) {
        synth::Options o;
        o.images = 10;
        o.control = 10;
        o.points = std::max(4, (target - 12 - 60) / 3 - 10);
        o.sigma = 0.3L / kScale;
        o.distortion = false;
        o.seed = 3;
        synth::Project project;
        std::string error;
        if (!synth::Generate(o, project, &error)) {
            std::printf("generator: %s\n", error.c_str());
            return 1;
        }
        const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pelvanor_svd_orders";
        std::filesystem::remove_all(dir);
        if (!synth::WriteProject(project, dir.string(), &error)) return 1;
        double secs[2] = {0, 0};
        double cpu[2] = {0, 0};
        int order = 0;
        for (const int threads : {1, 2}) {
            SetParallelThreads(threads);
            ProjectState state;
            BenchHost host(state);
            if (!LoadCameraFile((dir / "camera.txt").string(), state)) return 1;
            host.camera = state.Camera;
            LoadControlPoints(Files(dir, "ctrl_"), state);
            LoadImagePoints(Files(dir, "img_"), state);
            host.SetItemEnabled(UiItem::Snmkovsouadnice1, true);
            host.SetItemEnabled(UiItem::Orientace1, true);
            state.Settings.PointPercent = 100;
            state.Settings.RobustEstimation = false;
            state.Settings.AdjustCameraConstant = false;
            state.Settings.MaxIterations = 0;  // one pass
            state.Settings.NormalEquations = NormalSolve::Svd;
            BundleTimings timings;
            SetDefaultBundleTimings(&timings);
            const std::clock_t c0 = std::clock();
            ObjectPointsCommand(state, host);
            cpu[threads - 1] = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
            SetDefaultBundleTimings(nullptr);
            secs[threads - 1] = timings.totalSeconds;
            order = state.BundleUnknowns ? state.BundleUnknowns->r + 12 : 0;
            if (order == 0) std::printf("  failed: %s\n", host.last.c_str());
        }
        SetParallelThreads(0);
        std::printf("%6d %12.3f %12.3f %8.2f %14.3f %14.3f\n", order, secs[0], secs[1],
                    secs[1] > 0 ? secs[0] / secs[1] : 0.0, cpu[0], cpu[1]);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int only = -1;
    int svdLimit = 1500;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--svd-orders")) return SvdOrders();
        if (!std::strcmp(argv[i], "--sheet") && i + 1 < argc) {
            const std::string which = argv[++i];
            const NormalSolve solve = which == "svd" ? NormalSolve::Svd : which == "sparse" ? NormalSolve::Sparse : NormalSolve::Auto;
            const int repeat = i + 1 < argc ? std::atoi(argv[i + 1]) : 1;
            for (int k = 0; k < std::max(1, repeat); ++k)
                RunRoad(std::filesystem::path(PELVANOR_REAL_DIR) / "prague2016_cam_fixed/exact", true, solve);
            return 0;
        }
        if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = std::atoi(argv[++i]);
        if (!std::strcmp(argv[i], "--svd-limit") && i + 1 < argc) svdLimit = std::atoi(argv[++i]);
    }
    std::printf("threads %d, load %s\n", ParallelThreads(), LoadAverage().c_str());

    struct Size {
        int images, points, maxViews;
    };
    const Size sizes[] = {{10, 500, 0}, {20, 2000, 0}, {40, 8000, 4}, {40, 16000, 4}};
    for (int k = 0; k < 4; ++k) {
        if (only >= 0 && only != k + 1) continue;
        const Size& z = sizes[k];
        synth::Options o;
        o.images = z.images;
        o.points = z.points;
        o.max_views = z.maxViews;
        o.control = 10;
        o.sigma = 0.3L / kScale;
        o.realistic = true;
        o.distortion = false;
        o.seed = 11;
        synth::Project project;
        std::string error;
        auto t = std::chrono::steady_clock::now();
        if (!synth::Generate(o, project, &error)) {
            std::printf("generator: %s\n", error.c_str());
            return 1;
        }
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("pelvanor_scale_" + std::to_string(k + 1));
        std::filesystem::remove_all(dir);
        if (!synth::WriteProject(project, dir.string(), &error)) {
            std::printf("writer: %s\n", error.c_str());
            return 1;
        }
        std::size_t lines = 0;
        for (const auto& img : project.images) lines += img.points.size();
        std::printf("project %d: %d images, %d tie points, %zu image rows (generated and written in %.1f s), load %s\n",
                    k + 1, z.images, z.points, lines, Seconds(t), LoadAverage().c_str());
        for (const NormalSolve solve : {NormalSolve::Svd, NormalSolve::Sparse, NormalSolve::Auto}) {
            // Bordered order with the default 50 % of the tie points.
            const long long order = 3LL * (z.points / 2 + 10) + 7LL * z.images + 12;
            if (solve == NormalSolve::Svd && order > svdLimit) {
                std::printf("  %-6s skipped: bordered order about %lld (about %.0f s per pass)\n", Name(solve), order,
                            9e-9 * static_cast<double>(order) * order * order);
                continue;
            }
            RunRoad(dir, false, solve);
        }
    }

    if (only <= 0) {
        const std::filesystem::path sheet =
            std::filesystem::path(PELVANOR_REAL_DIR) / "prague2016_cam_fixed/exact";
        std::printf("calibration sheet %s (plane method), load %s\n", sheet.string().c_str(), LoadAverage().c_str());
        MatPtr u[2], xyz[2];
        RunRoad(sheet, true, NormalSolve::Svd, &u[0], &xyz[0]);
        RunRoad(sheet, true, NormalSolve::Sparse, &u[1], &xyz[1]);
        RunRoad(sheet, true, NormalSolve::Auto);
        // Largest difference of the adjusted unknowns (with the camera
        // constant) and of the object coordinates between the two solves.
        for (int k = 0; k < 2; ++k) {
            const MatPtr& a = k == 0 ? u[0] : xyz[0];
            const MatPtr& b = k == 0 ? u[1] : xyz[1];
            if (!a || !b || a->prvky.size() != b->prvky.size()) continue;
            long double rel = 0.0L;
            for (std::size_t e = 0; e < a->prvky.size(); ++e) {
                const long double scale = std::max(1.0L, std::fabs(a->prvky[e]));
                rel = std::max(rel, std::fabs(a->prvky[e] - b->prvky[e]) / scale);
            }
            std::printf("  svd against sparse, %s: largest |difference| / max(1, |value|) = %.3Le\n",
                        k == 0 ? "unknowns with camera constant" : "object coordinates table", rel);
        }
    }
    return 0;
}
