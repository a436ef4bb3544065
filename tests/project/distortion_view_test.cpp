#include "project/distortion_view.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adjustment/camera_calibration.h"
#include "project/calibration_result.h"
#include "project/plot_scene.h"

namespace pelvanor {
namespace {

// A made-up calibration of a 7.2 x 5.4 mm format: a camera before with a
// little radial distortion about another principal point, and one after
// with every term, measured positions over most of the format.
ProjectState CalibratedState() {
    ProjectState s;
    CameraCalibrationResult r;
    r.before.f = 7.3L;
    r.before.x0 = 3.6L;
    r.before.y0 = 2.7L;
    r.before.k1 = 1.0e-3L;
    r.summary.camera.f = 7.46L;
    r.summary.camera.x0 = 3.617L;
    r.summary.camera.y0 = 2.609L;
    r.summary.camera.k1 = 4.56e-3L;
    r.summary.camera.k2 = -4.2e-5L;
    r.summary.camera.k3 = -2.2e-6L;
    r.summary.camera.p1 = -7.1e-5L;
    r.summary.camera.p2 = 3.8e-5L;
    for (int i = 0; i < 9; ++i) {
        for (int j = 0; j < 7; ++j) {
            CalibrationObservation o;
            o.point = 1 + i * 7 + j;
            o.image = 1 + (i + j) % 3;
            o.x = 0.2L + 0.85L * i;
            o.y = 0.1L + 0.85L * j;
            r.summary.measurements.push_back(o);
        }
    }
    r.areaXmin = 0.2L;
    r.areaXmax = 0.2L + 0.85L * 8;
    r.areaYmin = 0.1L;
    r.areaYmax = 0.1L + 0.85L * 6;
    s.Calibration = r;
    return s;
}

// The vectors are DistortionCorrection at their grid nodes, magnified
// alike for both cameras, the largest of them drawn at most nine tenths of
// a grid step and no shorter than a third of that; the radial curves
// follow the radial part of the correction, which is what
// DistortionCorrection gives along a ray from the principal point when
// the decentring is zero, on one vertical scale with its zero on the axis.
TEST(DistortionView, VectorsAndCurvesAreTheCorrectionsOfBothCameras) {
    const ProjectState s = CalibratedState();
    const CameraCalibrationResult& r = *s.Calibration;
    const PlotScene scene = BuildPlotScene(s, {PlotView::LensDistortion, 1, PlanAxes::XY, false}, ',', "list");
    EXPECT_EQ(scene.note, "");
    EXPECT_EQ(scene.title, "Zkreslení objektivu - před a po kalibraci - list - program Pelvanor");
    EXPECT_TRUE(scene.yDown);
    EXPECT_EQ(scene.points.size(), r.summary.measurements.size());
    ASSERT_GT(scene.magnification, 0.0);

    const double L = static_cast<double>(r.areaXmax - r.areaXmin);
    const double step = L / kDistortionGridSteps;
    int before = 0;
    int after = 0;
    double longest = 0.0;
    for (const PlotVector& v : scene.vectors) {
        ASSERT_TRUE(v.stroke == PlotStroke::Before || v.stroke == PlotStroke::After);
        EXPECT_GE(v.x, static_cast<double>(r.areaXmin) - 1e-12);
        EXPECT_LE(v.x, static_cast<double>(r.areaXmax) + 1e-12);
        EXPECT_GE(v.y, static_cast<double>(r.areaYmin) - 1e-12);
        EXPECT_LE(v.y, static_cast<double>(r.areaYmax) + 1e-12);
        const CameraParameters& camera = v.stroke == PlotStroke::Before ? r.before : r.summary.camera;
        long double dx = 0.0L;
        long double dy = 0.0L;
        DistortionCorrection(camera, v.x, v.y, dx, dy);
        // The measuring system's y grows downwards in the drawing as well.
        EXPECT_NEAR(v.dx / scene.magnification, static_cast<double>(dx), 1e-12) << v.x << " " << v.y;
        EXPECT_NEAR(v.dy / scene.magnification, static_cast<double>(dy), 1e-12) << v.x << " " << v.y;
        longest = std::max(longest, std::hypot(v.dx, v.dy));
        ++(v.stroke == PlotStroke::Before ? before : after);
    }
    EXPECT_EQ(before, after) << "both cameras on the same grid";
    EXPECT_GE(after, (kDistortionGridSteps + 1) * 5);
    EXPECT_LE(longest, 0.9 * step * (1.0 + 1e-12));
    EXPECT_GE(longest, 0.9 * step / 2.5);

    const PlotPolyline* curves[2] = {nullptr, nullptr};
    const PlotPolyline* zeroAxis = nullptr;
    for (const PlotPolyline& line : scene.lines) {
        if (line.stroke == PlotStroke::Before) curves[0] = &line;
        if (line.stroke == PlotStroke::After) curves[1] = &line;
        if (line.stroke == PlotStroke::Axis && line.y.size() == 2 && line.y[0] == line.y[1]) zeroAxis = &line;
    }
    ASSERT_NE(curves[0], nullptr);
    ASSERT_NE(curves[1], nullptr);
    ASSERT_NE(zeroAxis, nullptr);
    const double left = curves[1]->x.front();
    const double zeroY = zeroAxis->y[0];
    double scale = 0.0;  // drawing units per image unit of correction, the same for both curves
    for (int k = 0; k < 2; ++k) {
        CameraParameters radial = k == 0 ? r.before : r.summary.camera;
        radial.p1 = 0.0L;
        radial.p2 = 0.0L;
        const PlotPolyline& curve = *curves[k];
        ASSERT_EQ(curve.x.size(), static_cast<std::size_t>(kDistortionCurveSteps + 1));
        EXPECT_DOUBLE_EQ(curve.x.front(), left);
        EXPECT_NEAR(curve.y.front(), zeroY, 1e-12);
        for (std::size_t i = 1; i < curve.x.size(); ++i) {
            const long double radius = curve.x[i] - left;
            long double dx = 0.0L;
            long double dy = 0.0L;
            DistortionCorrection(radial, radial.x0 + radius, radial.y0, dx, dy);
            EXPECT_NEAR(static_cast<double>(dy), 0.0, 1e-15);
            if (std::fabs(dx) < 1e-4L) continue;
            // Upwards on the page (y grows downwards) for a correction outwards.
            const double perUnit = (zeroY - curve.y[i]) / static_cast<double>(dx);
            if (scale == 0.0) scale = perUnit;
            EXPECT_NEAR(perUnit / scale, 1.0, 1e-9) << "curve " << k << " at r = " << static_cast<double>(radius);
        }
    }
    EXPECT_GT(scale, 0.0);
    // Out to the farthest measured position from the principal point, every
    // point of the curves inside the graph's height (that of the area).
    double rmax = 0.0;
    for (const CalibrationObservation& o : r.summary.measurements) {
        rmax = std::max(rmax, std::hypot(static_cast<double>(o.x - r.before.x0), static_cast<double>(o.y - r.before.y0)));
        rmax = std::max(rmax, std::hypot(static_cast<double>(o.x - r.summary.camera.x0),
                                         static_cast<double>(o.y - r.summary.camera.y0)));
    }
    EXPECT_NEAR(curves[1]->x.back() - left, rmax, 1e-9);
    for (const PlotPolyline* curve : curves) {
        for (double y : curve->y) {
            EXPECT_GE(y, static_cast<double>(r.areaYmin) - 1e-9);
            EXPECT_LE(y, static_cast<double>(r.areaYmax) + 1e-9);
        }
    }
    EXPECT_NE(scene.magnifiedBar.label.find("zvětšeno"), std::string::npos);
    EXPECT_GT(scene.lengthBar.length, 0.0);

    // Without a calibration there is nothing to draw, and the note says why.
    const PlotScene none =
        BuildPlotScene(ProjectState{}, {PlotView::LensDistortion, 1, PlanAxes::XY, false}, ',', "");
    EXPECT_EQ(none.note, "Výsledky kalibrace kamery nejsou k dispozici.");
    EXPECT_TRUE(none.vectors.empty());
}

}  // namespace
}  // namespace pelvanor
