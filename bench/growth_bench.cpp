// How the cost of every step of the road grows with the data.  For each
// size (tie points) a synthetic project is generated and written, then every
// step runs on its own and its processor time is printed; the column
// "x2" is the time divided by that of the half size, so a step that grows as
// n log n shows about 2 and a quadratic one about 4.
//
//   growth_bench [--images N] [--control N] [--repeat R] [--seed S] SIZE...
//   e.g. growth_bench 2000 4000 8000 16000
//
// The bundle adjustment's solve is cubic by nature and is not timed here:
// the adjustment runs with a solver that returns a zero correction, so that
// its set-up and the assembly of its observation rows are what is measured.
// Times are processor time (user and system) of the process, the minimum of
// R runs, so that other work on the machine disturbs them little.  Build
// with -DCMAKE_BUILD_TYPE=Release.

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "adjustment/approximate_points.h"
#include "adjustment/bundle_adjustment.h"
#include "adjustment/f_test.h"
#include "adjustment/intersection.h"
#include "adjustment/point_selection.h"
#include "matrix/arithmetic.h"
#include "orientation/distortion.h"
#include "orientation/observation_assembly.h"
#include "project/complete_protocol.h"
#include "project/distortion_commands.h"
#include "project/loaders.h"
#include "project/orientation_pipeline.h"
#include "project/project_state.h"
#include "project/result_commands.h"
#include "project/state_reports.h"
#include "tools/synth/synth.h"
#include "bench/project_files.h"

using namespace pelvanor;

namespace {

class BenchHost : public CommandHost {
public:
    explicit BenchHost(ProjectState& state) : state_(state) {}
    void WriteLog(const std::string&) override {}
    void SetItemEnabled(UiItem item, bool enabled) override { enabled_[static_cast<int>(item)] = enabled; }
    bool IsItemEnabled(UiItem item) const override { return enabled_[static_cast<int>(item)]; }
    bool ReadCameraFields() override {
        state_.Camera = camera;
        return true;
    }
    int OrientationMethod() const override { return 1; }
    char DecimalSeparator() const override { return ','; }

    CameraParameters camera;

private:
    ProjectState& state_;
    bool enabled_[32] = {};
};

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

using pelvanor::bench::Files;

// One row of the table: a step's times over the sizes (negative: failed).
struct StepTimes {
    std::string name;
    std::vector<double> seconds;
};

class Timer {
public:
    Timer(int repeats, std::vector<StepTimes>& table, std::size_t column)
        : repeats_(repeats), table_(table), column_(column) {}

    // Runs `prepare` (not timed) and `body` (timed) `repeats` times and keeps
    // the fastest run of the body.
    void Step(const std::string& name, const std::function<bool()>& body,
              const std::function<void()>& prepare = {}) {
        double best = std::numeric_limits<double>::max();
        bool ok = true;
        for (int r = 0; r < repeats_; ++r) {
            if (prepare) prepare();
            const double start = CpuSeconds();
            ok = body() && ok;
            best = std::min(best, CpuSeconds() - start);
        }
        auto it = std::find_if(table_.begin(), table_.end(), [&](const StepTimes& s) { return s.name == name; });
        if (it == table_.end()) {
            table_.push_back({name, {}});
            it = table_.end() - 1;
        }
        it->seconds.resize(column_ + 1, 0.0);
        it->seconds[column_] = ok ? best : -best;
    }

private:
    int repeats_;
    std::vector<StepTimes>& table_;
    std::size_t column_;
};

// A pass solver that leaves the unknowns as they are: the residuals are the
// misclosures.  Two passes run (the second finds m0 unchanged).
bool ZeroCorrection(const BundleRows& rows, const std::vector<long double>*, bool,
                    std::vector<long double>& d, std::vector<long double>& v, long double& vtv) {
    d.assign(static_cast<std::size_t>(rows.u), 0.0L);
    v = rows.l;
    long double sum = 0.0L;
    for (const long double x : v) sum = x * x + sum;
    vtv = sum;
    return true;
}

struct SizeInfo {
    int points = 0;
    int imageRows = 0;
    int tiePoints = 0;
    int outliers = 0;
};

bool RunSize(const synth::Options& options, const std::filesystem::path& folder, int repeats,
             std::vector<StepTimes>& table, std::size_t column, SizeInfo& info) {
    synth::Project project;
    std::string error;
    if (!synth::Generate(options, project, &error) || !synth::WriteProject(project, folder.string(), &error)) {
        std::fprintf(stderr, "project of %d points not generated: %s\n", options.points, error.c_str());
        return false;
    }
    const std::vector<std::string> controlFiles = Files(folder, "ctrl_");
    const std::vector<std::string> imageFiles = Files(folder, "img_");
    const std::string out = (folder / "out.txt").string();

    ProjectState s;
    BenchHost host(s);
    Timer timer(repeats, table, column);

    timer.Step("load the files", [&] {
        s = ProjectState{};
        const bool camera = LoadCameraFile((folder / "camera.txt").string(), s);
        const auto control = LoadControlPoints(controlFiles, s);
        const bool images = LoadImagePoints(imageFiles, s);
        return camera && control.status == ControlLoadResult::Status::Loaded && images;
    });
    host.camera = s.Camera;
    host.SetItemEnabled(UiItem::Snmkovsouadnice1, true);
    host.SetItemEnabled(UiItem::Orientace1, true);
    const CameraParameters& c = s.Camera;
    const AdjustmentSettings& set = s.Settings;
    info.imageRows = s.ImagePoints ? s.ImagePoints->r : 0;

    timer.Step("distortion correction", [&] {
        return CorrectImagePoints(s.ImagePoints.get(), s.ImagePointsCorrected, c.x0, c.y0, c.f, c.k1, c.k2,
                                  c.k3, c.p1, c.p2) &&
               CorrectControlPoints(s.ControlPoints.get(), s.ControlPointsCorrected, c.x0, c.y0, c.f, c.k1,
                                    c.k2, c.k3, c.p1, c.p2);
    });
    timer.Step("distinct points", [&] {
        return DistinctPoints(s.ControlPointsCorrected.get(), s.ControlPointRanges.get(),
                              s.ControlPointCounts.get(), s.ControlPointIds) &&
               DistinctPoints(s.ImagePointsCorrected.get(), s.ImagePointRanges.get(), s.ImagePointCounts.get(),
                              s.ImagePointIds);
    });
    timer.Step("index tables", [&] {
        return TiePointIndex(s.ImagePointsCorrected.get(), s.ImagePointCounts.get(), s.ImagePointIds.get(),
                             s.TiePointImageCounts, s.TiePointOccurrences) &&
               ControlPointIndex(s.ControlPointsCorrected.get(), s.ControlPointCounts.get(),
                                 s.ControlPointIds.get(), s.ControlPointImageCounts, s.ControlPointOccurrences);
    });
    timer.Step("selected control rows", [&] {
        MatPtr selected;
        return SelectedControlRows(s.SelectedOrientationPoints.get(), s.ControlPointsCorrected.get(),
                                   s.ControlPointCounts.get(), s.ControlPointRanges.get(), selected);
    });
    timer.Step("approximate orientation (whole)", [&] {
        s.OrientationLogged = false;
        return ApproximateOrientation(s, host);
    });
    info.tiePoints = s.TiePointOccurrences ? s.TiePointOccurrences->r : 0;

    timer.Step("point selection", [&] {
        return SelectBundlePoints(s.TiePointOccurrences.get(), s.TiePointImageCounts.get(), set.PointPercent,
                                  s.BundlePointOccurrences, s.BundlePointImageCounts);
    });
    timer.Step("approximate object coordinates", [&] {
        return ApproximateObjectPoints(s.BundlePointOccurrences.get(), s.BundlePointImageCounts.get(),
                                       s.ImagePointsCorrected.get(), s.OrientationRefined.get(), c.x0, c.y0,
                                       c.f, s.ApproxObjectPoints);
    });

    BundleOptions bundleOptions;
    bundleOptions.MaxIterations = set.MaxIterations;
    bundleOptions.Tolerance = set.Tolerance;
    bundleOptions.MemoryLimit = std::numeric_limits<long double>::max();
    bundleOptions.Solver = ZeroCorrection;
    BundleSummary summary;
    timer.Step("bundle set-up and assembly (no solve)", [&] {
        return BundleAdjust(true, s.ControlPointsCorrected.get(), s.ImagePointsCorrected.get(),
                            s.BundlePointOccurrences.get(), s.BundlePointImageCounts.get(),
                            s.ControlPointOccurrences.get(), s.ControlPointImageCounts.get(),
                            s.ControlPointCounts.get(), s.ApproxObjectPoints.get(), s.OrientationRefined.get(),
                            c.x0, c.y0, c.f, set.FixedPointCount, bundleOptions, summary, s.BundleUnknowns,
                            s.BundleIterations, s.BundleSigma0, s.BundleObservationTable, s.BundleImageIndex,
                            s.BundlePointIndex, s.BundleWeights, s.BundleRedundancy);
    });
    timer.Step("bundle with f, set-up and assembly (no solve)", [&] {
        return BundleAdjustWithF(true, s.ControlPointsCorrected.get(), s.ImagePointsCorrected.get(),
                                 s.BundleUnknowns.get(), s.ControlPointCounts.get(), s.BundleObservationTable.get(),
                                 s.BundleImageIndex.get(), s.BundlePointIndex.get(), s.BundlePointImageCounts.get(),
                                 c.x0, c.y0, c.f, set.Tolerance, set.FixedPointCount, s.BundleWeights.get(),
                                 bundleOptions, summary, s.BundleUnknownsF, s.BundleIterationsF, s.BundleSigma0F,
                                 s.BundleImageIndexF, s.BundleWeightsF, s.BundleRedundancyF);
    });

    // Many outliers, the hard case of the selection: every seventh
    // observation row pair of the tie points gets a low weight.
    if (s.BundleWeights) {
        Matice& w = *s.BundleWeights;
        for (int i = 1; i <= w.r; ++i)
            if (((i - 1) / 2) % 7 == 3) w.SetPrvek(i, 1, 0.01L);
    }
    timer.Step("outlier selection", [&] {
        return SelectOutliers(s.BundleObservationTable.get(), s.BundlePointOccurrences.get(),
                              s.ControlPointCounts.get(), static_cast<long double>(set.RobustWeightPercent),
                              s.BundlePointImageCounts.get(), s.ControlPointImageCounts.get(),
                              s.BundleWeights.get(), set.FixedPointCount, s.RobustPointOccurrences,
                              s.RobustPointImageCounts, s.RobustOutliers);
    });
    info.outliers = s.RobustOutliers && RoundId(s.RobustOutliers->GetPrvek(1, 1)) > 0 ? s.RobustOutliers->r : 0;

    timer.Step("start coordinates from the bundle", [&] {
        return ApproximatePointsFromBundle(s.TiePointOccurrences.get(), s.TiePointImageCounts.get(),
                                           s.ImagePointsCorrected.get(), s.BundleUnknowns.get(),
                                           s.BundleImageIndex.get(), c.x0, c.y0, c.f, s.ApproxObjectPoints);
    });
    MatPtr start;
    const auto copyStart = [&] { start = s.ApproxObjectPoints ? MatCopy(*s.ApproxObjectPoints) : nullptr; };
    timer.Step(
        "intersection",
        [&] {
            return IntersectPoints(s.ImagePointsCorrected.get(), s.TiePointOccurrences.get(),
                                   s.TiePointImageCounts.get(), start.get(), s.BundleUnknowns.get(),
                                   s.BundleImageIndex.get(), set.Tolerance, c.x0, c.y0, c.f, set.MaxIterations,
                                   s.ObjectPoints);
        },
        copyStart);
    timer.Step(
        "intersection with f",
        [&] {
            return IntersectPointsWithF(s.ImagePointsCorrected.get(), s.TiePointOccurrences.get(),
                                        s.TiePointImageCounts.get(), start.get(), s.BundleUnknownsF.get(),
                                        s.BundleImageIndexF.get(), set.Tolerance, c.x0, c.y0,
                                        set.MaxIterations, s.ObjectPoints);
        },
        copyStart);
    s.ApproxObjectPoints = std::move(start);
    info.points = s.ObjectPoints ? s.ObjectPoints->r : 0;
    timer.Step("F-test", [&] {
        return FTest(s.ObjectPoints.get(), s.TiePointImageCounts.get(), s.FTestPassed,
                     static_cast<long double>(set.SignificancePercent), s.BundleSigma0F, s.FTestResults);
    });

    timer.Step("panel reports", [&] {
        const auto a = ShowOrientationResults(s, host);
        const auto b = ShowBundleResults(s, host);
        const auto d = CoordinateSummaryLines(s, host.DecimalSeparator());
        return !a.empty() && !b.empty() && !d.empty();
    });
    timer.Step("complete protocol file", [&] {
        WriteCompleteProtocol(out, s, host.DecimalSeparator());
        return true;
    });
    timer.Step("coordinate files", [&] {
        const bool shown = !SaveCoordinatesWithFTest(s, host, out).empty();
        SavePassedCoordinates(s, host, out);
        return shown;
    });
    timer.Step("corrected coordinate files", [&] {
        return !SaveCorrectedImagePoints(s, host, out).empty() &&
               !SaveCorrectedControlPoints(s, host, out).empty();
    });
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    synth::Options options;
    options.images = 4;
    options.control = 12;
    options.sigma = 0.0002L;
    int repeats = 3;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        const auto value = [&](int& target) {
            if (i + 1 < argc) target = std::atoi(argv[++i]);
        };
        if (!std::strcmp(argv[i], "--images")) value(options.images);
        else if (!std::strcmp(argv[i], "--control")) value(options.control);
        else if (!std::strcmp(argv[i], "--repeat")) value(repeats);
        else if (!std::strcmp(argv[i], "--seed")) {
            int seed = 1;
            value(seed);
            options.seed = static_cast<std::uint64_t>(seed);
        } else if (argv[i][0] != '-' && std::atoi(argv[i]) > 0) sizes.push_back(std::atoi(argv[i]));
        else {
            std::fprintf(stderr, "usage: growth_bench [--images N] [--control N] [--repeat R] [--seed S] SIZE...\n");
            return 2;
        }
    }
    if (sizes.empty()) sizes = {1000, 2000, 4000, 8000};
    repeats = std::max(repeats, 1);

    char pattern[] = "/tmp/growth_bench_XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path root = pattern;

    std::vector<StepTimes> table;
    std::vector<SizeInfo> infos(sizes.size());
    bool ok = true;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        options.points = sizes[k];
        const std::filesystem::path folder = root / std::to_string(sizes[k]);
        ok = RunSize(options, folder, repeats, table, k, infos[k]) && ok;
        std::filesystem::remove_all(folder);
    }
    std::filesystem::remove_all(root);

    std::printf("%d images, %d control points; processor seconds, fastest of %d runs; "
                "x2 = time / time of the previous size\n", options.images, options.control, repeats);
    std::printf("%-46s", "tie points generated");
    for (int size : sizes) std::printf(" %9d      ", size);
    std::printf("\n%-46s", "image rows");
    for (const auto& info : infos) std::printf(" %9d      ", info.imageRows);
    std::printf("\n%-46s", "points intersected");
    for (const auto& info : infos) std::printf(" %9d      ", info.points);
    std::printf("\n%-46s", "outliers listed");
    for (const auto& info : infos) std::printf(" %9d      ", info.outliers);
    std::printf("\n");
    for (const StepTimes& step : table) {
        std::printf("%-46s", step.name.c_str());
        for (std::size_t k = 0; k < step.seconds.size(); ++k) {
            const double t = step.seconds[k];
            std::printf(" %9.4f%s", std::fabs(t), t < 0 ? "!" : " ");
            if (k > 0 && step.seconds[k - 1] != 0.0)
                std::printf(" x%-4.1f", std::fabs(t) / std::fabs(step.seconds[k - 1]));
            else
                std::printf("      ");
        }
        std::printf("\n");
    }
    std::printf("(! marks a step that reported failure)\n");
    return ok ? 0 : 1;
}
