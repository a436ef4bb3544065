#include "project/plot_scene.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "project/object_points_pipeline.h"
#include "project/plot_viewport.h"
#include "tests/project/loaded_project.h"
#include "tests/project/road_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using synth::ObjectPoint;

long long Id(long double v) { return std::llround(v); }

// The mantissa of a magnification or scale bar value: 1, 2 or 5.
bool OneTwoFive(double value) {
    if (!(value > 0.0)) return false;
    const double m = value / std::pow(10.0, std::floor(std::log10(value) + 1e-12));
    return std::fabs(m - 1.0) < 1e-9 || std::fabs(m - 2.0) < 1e-9 || std::fabs(m - 5.0) < 1e-9;
}

// Measurements of the point list in observation order: (image, is control,
// row in its table).
struct ListedMeasurement {
    int image = 0;
    bool control = false;
    int row = 0;
    long long point = 0;
    int listRow = 0;
};
std::vector<ListedMeasurement> Listed(const Matice& list) {
    std::vector<ListedMeasurement> out;
    for (int i = 1; i <= list.r; ++i)
        for (int c = 2; c + 1 <= list.s; c += 2) {
            const long long g = Id(list.GetPrvek(i, c + 1));
            if (g != 0)
                out.push_back({static_cast<int>(std::llabs(g)), g < 0, static_cast<int>(Id(list.GetPrvek(i, c))),
                               Id(list.GetPrvek(i, 1)), i});
        }
    return out;
}

// The road project (one blunder of 6 mm that the robust estimation removes)
// through "Souřadnice XYZ", default settings.
struct Computed {
    test::LoadedProject lp{test::RoadProject()};
    Computed() { EXPECT_TRUE(ObjectPointsCommand(lp.state, lp.host)); }
    ProjectState& s() { return lp.state; }
};

TEST(BundleResiduals, AreThoseOfTheKeptAdjustmentsMeasurementByMeasurement) {
    Computed c;
    ProjectState& s = c.s();
    ASSERT_TRUE(s.BundleResiduals && s.BundleResidualsF && s.BundleObservationTable);
    const std::vector<ListedMeasurement> listed = Listed(*s.BundleObservationTable);
    for (const Matice* v : {s.BundleResiduals.get(), s.BundleResidualsF.get()}) {
        ASSERT_EQ(v->r, static_cast<int>(listed.size()));
        ASSERT_EQ(v->s, 2);
    }
    // m0 is the root of the sum of squares over the redundancy.
    long double vtv = 0.0L;
    for (int h = 1; h <= s.BundleResidualsF->r; ++h)
        vtv += std::pow(s.BundleResidualsF->GetPrvek(h, 1), 2) + std::pow(s.BundleResidualsF->GetPrvek(h, 2), 2);
    EXPECT_NEAR(static_cast<double>(std::sqrt(vtv / s.BundleRedundancyF)), static_cast<double>(s.BundleSigma0F),
                1e-12);

    // Each pair is the projection of the adjusted point through the adjusted
    // image (the generator's own camera model) minus the measurement.
    const Matice& u = *s.BundleUnknownsF;
    synth::Camera camera;
    camera.x0 = s.Camera.x0;
    camera.y0 = s.Camera.y0;
    long double worst = 0.0L;
    for (std::size_t h = 0; h < listed.size(); ++h) {
        const ListedMeasurement& m = listed[h];
        const int b = static_cast<int>(Id(s.BundleImageIndexF->GetPrvek(m.image, 1)));
        synth::Station st{u.GetPrvek(b, 1),     u.GetPrvek(b + 1, 1), u.GetPrvek(b + 2, 1), u.GetPrvek(b + 3, 1),
                          u.GetPrvek(b + 4, 1), u.GetPrvek(b + 5, 1), u.GetPrvek(b + 6, 1)};
        camera.f = st.f;
        long double xc = 0.0L, yc = 0.0L;
        const int p = 3 * m.listRow;
        ASSERT_TRUE(synth::ProjectPoint(st, camera, u.GetPrvek(p - 2, 1), u.GetPrvek(p - 1, 1), u.GetPrvek(p, 1), xc,
                                        yc));
        const Matice& table = m.control ? *s.ControlPointsCorrected : *s.ImagePointsCorrected;
        const int col = m.control ? 5 : 2;
        const int row = static_cast<int>(h) + 1;
        worst = std::fmax(worst, std::fabs(xc - table.GetPrvek(m.row, col) - s.BundleResidualsF->GetPrvek(row, 1)));
        worst = std::fmax(worst, std::fabs(yc - table.GetPrvek(m.row, col + 1) - s.BundleResidualsF->GetPrvek(row, 2)));
    }
    // Linearised residuals of a converged solution: equal to well below the
    // 2 micrometre noise.
    EXPECT_LT(worst, 1e-6L);
}

TEST(PlotScene, ResidualViewDrawsEveryMeasurementAndTheKeptResiduals) {
    Computed c;
    ProjectState& s = c.s();
    const synth::Project& truth = c.lp.project;
    ASSERT_EQ(truth.gross_errors.size(), 1u);
    const long long blunder = truth.gross_errors[0].id;
    const int blunderImage = truth.gross_errors[0].image;
    const std::vector<ListedMeasurement> listed = Listed(*s.BundleObservationTable);
    std::set<long long> passed;
    for (int i = 1; i <= s.FTestPassed->r; ++i) passed.insert(Id(s.FTestPassed->GetPrvek(i, 1)));

    // One magnification for every image.
    double magnification = 0.0;
    for (int image = 1; image <= static_cast<int>(truth.images.size()); ++image) {
        SCOPED_TRACE(image);
        const PlotScene scene = BuildPlotScene(s, {PlotView::ImageResiduals, image, PlanAxes::XY, true}, ',', "p");
        EXPECT_TRUE(scene.note.empty());
        EXPECT_EQ(scene.title, "Rezidua snímku - Snimek " + std::to_string(image) + " - p - program Pelvanor");
        const synth::Image& im = truth.images[static_cast<std::size_t>(image - 1)];
        ASSERT_EQ(scene.points.size(), im.control.size() + im.points.size());
        if (image == 1) magnification = scene.magnification;
        EXPECT_EQ(scene.magnification, magnification);
        ASSERT_TRUE(OneTwoFive(scene.magnification));

        // Every measurement of this image in the kept adjustment has its
        // residual, magnified, at its point; y is drawn as the files run.
        std::map<std::pair<bool, int>, int> residualRow;
        for (std::size_t h = 0; h < listed.size(); ++h)
            if (listed[h].image == image) residualRow[{listed[h].control, listed[h].row}] = static_cast<int>(h) + 1;
        std::size_t bundleVectors = 0;
        for (const PlotVector& v : scene.vectors) bundleVectors += v.fromIntersection ? 0 : 1;
        EXPECT_EQ(bundleVectors, residualRow.size());
        for (const auto& [key, h] : residualRow) {
            const Matice& table = key.first ? *s.ControlPointsCorrected : *s.ImagePointsCorrected;
            const int col = key.first ? 5 : 2;
            const double x = static_cast<double>(table.GetPrvek(key.second, col));
            const double y = -static_cast<double>(table.GetPrvek(key.second, col + 1));
            const auto v = std::find_if(scene.vectors.begin(), scene.vectors.end(), [&](const PlotVector& p) {
                return !p.fromIntersection && p.x == x && p.y == y;
            });
            ASSERT_NE(v, scene.vectors.end());
            EXPECT_DOUBLE_EQ(v->dx, static_cast<double>(s.BundleResidualsF->GetPrvek(h, 1)) * magnification);
            EXPECT_DOUBLE_EQ(v->dy, -static_cast<double>(s.BundleResidualsF->GetPrvek(h, 2)) * magnification);
        }

        // Marks: the removed blunder and the F-test failures, on tie points only.
        for (const PlotPoint& p : scene.points) {
            EXPECT_EQ(p.robustOutlier, !p.control && p.number == blunder) << p.number;
            EXPECT_EQ(p.fTestFailed, !p.control && !passed.count(p.number)) << p.number;
        }
        // The blunder left the adjustment; its residual from the intersection
        // is the longest vector of its image, by far.
        if (image == blunderImage) {
            std::vector<double> lengths;
            double blunderLength = 0.0;
            for (const PlotVector& v : scene.vectors) {
                const double l = std::hypot(v.dx, v.dy);
                if (v.number == blunder) {
                    EXPECT_TRUE(v.fromIntersection);
                    blunderLength = l;
                } else {
                    lengths.push_back(l);
                }
            }
            ASSERT_FALSE(lengths.empty());
            EXPECT_GT(blunderLength, 20.0 * *std::max_element(lengths.begin(), lengths.end()));
        }
        // Scale bars: 1, 2 or 5 units, the residual bar magnified.
        EXPECT_TRUE(OneTwoFive(scene.lengthBar.value));
        EXPECT_TRUE(OneTwoFive(scene.magnifiedBar.value));
        EXPECT_DOUBLE_EQ(scene.magnifiedBar.length, scene.magnifiedBar.value * magnification);
    }

    // The magnification draws the median bundle residual at a fiftieth of
    // the frame, rounded down to 1, 2 or 5.
    std::vector<double> lengths;
    for (int h = 1; h <= s.BundleResidualsF->r; ++h)
        lengths.push_back(std::hypot(static_cast<double>(s.BundleResidualsF->GetPrvek(h, 1)),
                                     static_cast<double>(s.BundleResidualsF->GetPrvek(h, 2))));
    std::sort(lengths.begin(), lengths.end());
    const double median = lengths[lengths.size() / 2];
    const PlotScene first = BuildPlotScene(s, {}, ',', "");
    const double target = std::max(first.frame.Width(), first.frame.Height()) / 50.0;
    EXPECT_LE(median * magnification, target * (1 + 1e-9));
    EXPECT_GT(median * magnification, target / 2.5);
    // The frame is centred on the principal point.
    EXPECT_NEAR((first.frame.xmin + first.frame.xmax) / 2, static_cast<double>(s.Camera.x0), 1e-9);
    EXPECT_NEAR((first.frame.ymin + first.frame.ymax) / 2, static_cast<double>(s.Camera.y0), 1e-9);
}

TEST(PlotScene, PlanShowsPointsStationsLookingAtTheObjectAndEllipses) {
    Computed c;
    ProjectState& s = c.s();
    const synth::Project& truth = c.lp.project;
    for (const PlanAxes axes : {PlanAxes::XY, PlanAxes::XZ, PlanAxes::YZ}) {
        const PlotScene scene = BuildPlotScene(s, {PlotView::BlockPlan, 1, axes, false}, '.', "p");
        const int a = axes == PlanAxes::YZ ? 1 : 0;
        const int b = axes == PlanAxes::XY ? 1 : 2;
        SCOPED_TRACE(scene.title);
        // Control points at their known coordinates, then every computed point.
        ASSERT_EQ(scene.points.size(), truth.control_points.size() + static_cast<std::size_t>(s.ObjectPoints->r));
        ASSERT_EQ(scene.ellipses.size(), static_cast<std::size_t>(s.ObjectPoints->r));
        ASSERT_TRUE(OneTwoFive(scene.magnification));
        for (int i = 1; i <= s.ObjectPoints->r; ++i) {
            const PlotEllipse& e = scene.ellipses[static_cast<std::size_t>(i - 1)];
            EXPECT_EQ(e.number, Id(s.ObjectPoints->GetPrvek(i, 1)));
            EXPECT_DOUBLE_EQ(e.x, static_cast<double>(s.ObjectPoints->GetPrvek(i, 2 + a)));
            EXPECT_DOUBLE_EQ(e.rx, static_cast<double>(s.ObjectPoints->GetPrvek(i, 6 + a)) * scene.magnification);
            EXPECT_DOUBLE_EQ(e.ry, static_cast<double>(s.ObjectPoints->GetPrvek(i, 6 + b)) * scene.magnification);
        }
        // One station per image at its true centre (within a decimetre: with
        // a camera constant of its own a centre moves along the axis),
        // looking towards the object points it measured.
        ASSERT_EQ(scene.stations.size(), truth.stations.size());
        double cx = 0.0, cy = 0.0;
        for (const ObjectPoint& p : truth.tie_points) {
            const long double xyz[3] = {p.X, p.Y, p.Z};
            cx += static_cast<double>(xyz[a]) / truth.tie_points.size();
            cy += static_cast<double>(xyz[b]) / truth.tie_points.size();
        }
        for (const PlotStation& st : scene.stations) {
            const synth::Station& t = truth.stations[static_cast<std::size_t>(st.image - 1)];
            const long double c3[3] = {t.X0, t.Y0, t.Z0};
            EXPECT_NEAR(st.x, static_cast<double>(c3[a]), 0.1);
            EXPECT_NEAR(st.y, static_cast<double>(c3[b]), 0.1);
            if (axes != PlanAxes::XY) {
                EXPECT_GT(st.dx * (cx - st.x) + st.dy * (cy - st.y), 0.0) << st.image;
            }
        }
        // Everything lies inside the extent.
        for (const PlotPoint& p : scene.points) {
            EXPECT_TRUE(p.x >= scene.extent.xmin && p.x <= scene.extent.xmax && p.y >= scene.extent.ymin &&
                        p.y <= scene.extent.ymax);
        }
    }
}

TEST(PlotViewport, ZoomKeepsThePointUnderTheCursorAndTooltipsFindTheNearest) {
    PlotScene scene;
    scene.extent = {0.0, 10.0, 0.0, 5.0};
    scene.points.resize(2);
    scene.points[0].x = 2.0;
    scene.points[0].y = 1.0;
    scene.points[0].tooltip = "a";
    scene.points[1].x = 8.0;
    scene.points[1].y = 4.0;
    scene.points[1].tooltip = "b";
    for (const bool down : {false, true}) {
        const PlotViewport fit = FitViewport(scene.extent, down, 400.0, 400.0);
        EXPECT_DOUBLE_EQ(fit.scale, 40.0);
        EXPECT_DOUBLE_EQ(fit.ToScreenX(0.0), 0.0);
        EXPECT_DOUBLE_EQ(fit.ToScreenY(down ? 0.0 : 5.0), 100.0);
        const PlotViewport zoomed = ZoomViewport(fit, 120.0, 330.0, 3.0);
        EXPECT_DOUBLE_EQ(zoomed.ToScreenX(fit.ToDataX(120.0)), 120.0);
        EXPECT_DOUBLE_EQ(zoomed.ToScreenY(fit.ToDataY(330.0)), 330.0);
        const double sx = zoomed.ToScreenX(8.0) + 3.0;
        const double sy = zoomed.ToScreenY(4.0) - 2.0;
        EXPECT_EQ(TooltipAt(scene, zoomed, sx, sy, 6.0), "b");
        EXPECT_EQ(TooltipAt(scene, zoomed, sx + 10.0, sy, 6.0), "");
    }
}

// The sample project of the guide: its two blunders stand out on their
// images, and the six stations stand in front of the facade along it.
TEST(PlotScene, SampleFacadeShowsItsBlundersAndStations) {
    ProjectState s;
    test::RecordingHost host(&s, ',');
    const std::string dir = test::SourcePath("examples/fasada/");
    ASSERT_TRUE(LoadCameraFile(dir + "camera.txt", s));
    std::vector<std::string> ctrl, img;
    for (int i = 1; i <= 6; ++i) {
        ctrl.push_back(dir + "ctrl_0" + std::to_string(i) + ".txt");
        img.push_back(dir + "img_0" + std::to_string(i) + ".txt");
    }
    ASSERT_EQ(LoadControlPoints(ctrl, s).status, ControlLoadResult::Status::Loaded);
    ASSERT_TRUE(LoadImagePoints(img, s));
    host.items[UiItem::Orientace1] = true;
    host.items[UiItem::Snmkovsouadnice1] = true;
    host.camera = s.Camera;
    ASSERT_TRUE(ObjectPointsCommand(s, host));

    for (const auto& [number, image] : {std::pair<long long, int>{1008, 6}, {1019, 2}}) {
        SCOPED_TRACE(number);
        const PlotScene scene = BuildPlotScene(s, {PlotView::ImageResiduals, image, PlanAxes::XY, false}, ',', "");
        const auto longest = std::max_element(scene.vectors.begin(), scene.vectors.end(), [](const auto& a, const auto& b) {
            return std::hypot(a.dx, a.dy) < std::hypot(b.dx, b.dy);
        });
        ASSERT_NE(longest, scene.vectors.end());
        EXPECT_EQ(longest->number, number);
        std::vector<double> others;
        for (const PlotVector& v : scene.vectors)
            if (v.number != number) others.push_back(std::hypot(v.dx, v.dy));
        std::sort(others.begin(), others.end());
        EXPECT_GT(std::hypot(longest->dx, longest->dy), 5.0 * others[others.size() / 2]);
        const auto point = std::find_if(scene.points.begin(), scene.points.end(),
                                        [&](const PlotPoint& p) { return p.number == number && !p.control; });
        ASSERT_NE(point, scene.points.end());
        EXPECT_TRUE(point->fTestFailed);
    }

    const PlotScene plan = BuildPlotScene(s, {PlotView::BlockPlan, 1, PlanAxes::XZ, false}, ',', "fasada");
    ASSERT_EQ(plan.stations.size(), 6u);
    double xmin = 1e300, xmax = -1e300, zmax = -1e300;
    for (const PlotPoint& p : plan.points) {
        xmin = std::min(xmin, p.x);
        xmax = std::max(xmax, p.x);
        zmax = std::max(zmax, p.y);
    }
    std::set<bool> leftOfCentre;
    for (const PlotStation& st : plan.stations) {
        EXPECT_GT(st.y, zmax + 5.0) << st.image;  // in front of the facade
        EXPECT_LT(st.dy, 0.0) << st.image;        // looking at it
        EXPECT_GT(st.x, xmin - 10.0);
        EXPECT_LT(st.x, xmax + 10.0);
        leftOfCentre.insert(st.x < (xmin + xmax) / 2);
    }
    EXPECT_EQ(leftOfCentre.size(), 2u);  // spread along the facade
}

}  // namespace
}  // namespace pelvanor
