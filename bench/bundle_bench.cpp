// Time of the bundle adjustment on synthetic blocks, and the share of it
// spent in the pseudo-inverse of the bordered normal matrix.
//
//   bundle_bench [--passes N]   (default 3 passes per block; 0: until convergence, at most 21)
//
// Build with -DCMAKE_BUILD_TYPE=Release.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "adjustment/approximate_points.h"
#include "adjustment/bundle_adjustment.h"
#include "matrix/arithmetic.h"
#include "orientation/collinearity.h"
#include "orientation/observation_assembly.h"
#include "tools/synth/synth.h"

using namespace pelvanor;

namespace {

constexpr long double kScale = 4000.0L;  // image unit: pixels, f = 4000

struct Tables {
    MatPtr control, controlCounts, controlRanges, image, imageCounts, imageRanges;
    MatPtr tieIndex, tieCounts, controlIndex, controlTable;
};

MatPtr TableOf(const std::vector<std::vector<std::vector<long double>>>& perImage, std::uint16_t cols,
               MatPtr& counts, MatPtr& ranges) {
    std::size_t total = 0;
    for (const auto& rows : perImage) total += rows.size();
    counts = NewMatrix(static_cast<std::uint16_t>(perImage.size()), 1);
    ranges = NewMatrix(static_cast<std::uint16_t>(perImage.size()), 2);
    MatPtr t = NewMatrix(static_cast<std::uint16_t>(total), cols);
    int row = 1;
    for (std::size_t i = 0; i < perImage.size(); ++i) {
        const int img = static_cast<int>(i + 1);
        counts->SetPrvek(img, 1, static_cast<long double>(perImage[i].size()));
        ranges->SetPrvek(img, 1, row);
        for (const auto& r : perImage[i]) {
            for (std::size_t j = 0; j < r.size(); ++j) t->SetPrvek(row, static_cast<int>(j + 1), r[j]);
            ++row;
        }
        ranges->SetPrvek(img, 2, row - 1);
    }
    return t;
}

bool BuildTables(const synth::Project& p, Tables& t) {
    std::vector<std::vector<std::vector<long double>>> control, points;
    for (const auto& img : p.images) {
        std::vector<std::vector<long double>> c, q;
        for (const auto& ob : img.control)
            for (const auto& pt : p.control_points)
                if (pt.id == ob.id)
                    c.push_back({static_cast<long double>(ob.id), pt.X, pt.Y, pt.Z, ob.x_meas * kScale,
                                 ob.y_meas * kScale});
        for (const auto& ob : img.points)
            q.push_back({static_cast<long double>(ob.id), ob.x_meas * kScale, ob.y_meas * kScale});
        control.push_back(c);
        points.push_back(q);
    }
    t.control = TableOf(control, 6, t.controlCounts, t.controlRanges);
    t.image = TableOf(points, 3, t.imageCounts, t.imageRanges);
    MatPtr cids, pids;
    return DistinctPoints(t.control.get(), t.controlRanges.get(), t.controlCounts.get(), cids) &&
           ControlPointIndex(t.control.get(), t.controlCounts.get(), cids.get(), t.controlTable, t.controlIndex) &&
           DistinctPoints(t.image.get(), t.imageRanges.get(), t.imageCounts.get(), pids) &&
           TiePointIndex(t.image.get(), t.imageCounts.get(), pids.get(), t.tieCounts, t.tieIndex);
}

// Truth moved by a few centimetres and a few tenths of a milliradian.
MatPtr StartOrientations(const synth::Project& p) {
    MatPtr o = NewMatrix(static_cast<std::uint16_t>(p.stations.size()), 12);
    for (std::size_t i = 0; i < p.stations.size(); ++i) {
        const auto& st = p.stations[i];
        const long double s = i % 2 == 0 ? 1.0L : -1.0L;
        MatPtr R;
        RotationMatrix(R, st.alfa + s * 3e-4L, st.beta - 2e-4L, st.gama + s * 2e-4L);
        const int row = static_cast<int>(i + 1);
        for (int q = 1; q <= 9; ++q) o->SetPrvek(row, q, R->GetPrvek(1, q));
        o->SetPrvek(row, 10, st.X0 + s * 0.02L);
        o->SetPrvek(row, 11, st.Y0 - 0.01L);
        o->SetPrvek(row, 12, st.Z0 + s * 0.015L);
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    int passes = 3;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--passes") == 0) passes = std::atoi(argv[i + 1]);

    const int blocks[][2] = {{4, 40}, {10, 200}, {20, 500}};
    std::printf("%8s %8s %6s %6s %7s %12s %12s %10s %12s\n", "images", "points", "rows", "order", "passes",
                "s/pass", "svd s/pass", "svd share", "other s/pass");
    for (const auto& b : blocks) {
        synth::Options o;
        o.images = b[0];
        o.points = b[1];
        o.control = 10;
        o.sigma = 0.3L / kScale;
        o.distortion = false;
        o.seed = 7;
        synth::Project project;
        std::string error;
        if (!synth::Generate(o, project, &error)) {
            std::printf("generator: %s\n", error.c_str());
            return 1;
        }
        Tables t;
        if (!BuildTables(project, t)) return 1;
        MatPtr start = StartOrientations(project);
        const long double x0 = project.camera.x0 * kScale, y0 = project.camera.y0 * kScale,
                          f = project.camera.f * kScale;
        MatPtr points;
        if (!ApproximateObjectPoints(t.tieIndex.get(), t.tieCounts.get(), t.image.get(), start.get(), x0, y0, f,
                                     points))
            return 1;

        BundleOptions options;
        BundleSummary summary;
        BundleTimings timings;
        options.Timings = &timings;
        options.MaxIterations = passes > 0 ? passes - 1 : 20;
        MatPtr unknowns, list, imageIndex, pointIndex, weights;
        std::int32_t done = 0, redundancy = 0;
        long double m0 = 0.0L;
        const bool ok = BundleAdjust(true, t.control.get(), t.image.get(), t.tieIndex.get(), t.tieCounts.get(),
                                     t.controlIndex.get(), t.controlTable.get(), t.controlCounts.get(),
                                     points.get(), start.get(), x0, y0, f, 4, options, summary, unknowns, done, m0, list,
                                     imageIndex, pointIndex, weights, redundancy);
        const int rows = weights ? weights->r : 0;
        const int order = unknowns ? unknowns->r + 12 : 0;
        const double perPass = done > 0 ? timings.totalSeconds / done : 0.0;
        const double svd = done > 0 ? timings.pseudoInverseSeconds / done : 0.0;
        std::printf("%8d %8d %6d %6d %7d %12.3f %12.3f %9.2f%% %12.4f %s m0 %.3Lf px\n", b[0],
                    list ? list->r : 0, rows, order, done, perPass, svd,
                    timings.totalSeconds > 0 ? 100.0 * timings.pseudoInverseSeconds / timings.totalSeconds : 0.0,
                    perPass - svd, ok ? "ok" : "FAILED", m0);
        std::fflush(stdout);
    }
    return 0;
}
