#include "project/distortion_view.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "adjustment/camera_calibration.h"
#include "project/calibration_result.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

using namespace scene_detail;

// Sizes relative to the larger side L of the measured area.
constexpr double kVectorTarget = 0.9;   // the largest vector, in grid steps
constexpr double kPanelGap = 0.28;      // from the area to the graph's value axis (room for its numbers)
constexpr double kTextGap = 0.018;      // from an axis to its numbers
constexpr double kTitleGap = 0.05;      // from the top of the area to the titles
constexpr double kCaptionGap = 0.07;    // from the radius axis to its caption, under its numbers
constexpr double kMargin = 0.03;

// One grid node's correction.
struct NodeCorrection {
    double x = 0.0;
    double y = 0.0;
    long double dx = 0.0L;
    long double dy = 0.0L;
};

std::vector<NodeCorrection> Corrections(const CameraParameters& camera, const std::vector<std::pair<double, double>>& nodes) {
    std::vector<NodeCorrection> out;
    out.reserve(nodes.size());
    for (const auto& [x, y] : nodes) {
        NodeCorrection c{x, y, 0.0L, 0.0L};
        DistortionCorrection(camera, x, y, c.dx, c.dy);
        if (!std::isfinite(c.dx) || !std::isfinite(c.dy)) c.dx = c.dy = 0.0L;
        out.push_back(c);
    }
    return out;
}

double LargestLength(const std::vector<NodeCorrection>& corrections) {
    double largest = 0.0;
    for (const NodeCorrection& c : corrections) largest = std::max(largest, std::hypot(D(c.dx), D(c.dy)));
    return largest;
}

void AddVectors(PlotScene& scene, const std::vector<NodeCorrection>& corrections, PlotStroke stroke) {
    for (const NodeCorrection& c : corrections) {
        PlotVector v;
        v.x = c.x;
        v.y = c.y;
        v.dx = D(c.dx) * scene.magnification;
        v.dy = D(c.dy) * scene.magnification;
        v.stroke = stroke;
        if (v.dx != 0.0 || v.dy != 0.0) scene.vectors.push_back(v);
    }
}

void AddLine(PlotScene& scene, std::vector<double> x, std::vector<double> y, PlotStroke stroke) {
    scene.lines.push_back({std::move(x), std::move(y), stroke});
}

void AddLabel(PlotScene& scene, double x, double y, std::string text, int horizontal, int vertical,
              bool bold = false) {
    scene.labels.push_back({x, y, std::move(text), horizontal, vertical, bold});
}

// The radial graph: its value axis at x = left, the radius running to the
// right at the drawing's scale, values from `low` at y = bottom to `high`
// at y = top.
struct RadialGraph {
    double left = 0.0;
    double bottom = 0.0;
    double top = 0.0;
    double low = 0.0;
    double high = 0.0;
    double Y(double value) const { return bottom - (value - low) * (bottom - top) / (high - low); }
};

}  // namespace

long double RadialCorrection(const CameraParameters& camera, long double r) {
    const long double r2 = r * r;
    return r * r2 * (camera.k1 + r2 * (camera.k2 + r2 * camera.k3));
}

PlotScene DistortionScene(const ProjectState& s, const PlotRequest& request, char decimal,
                          const std::string& projectName) {
    PlotScene scene = NewScene(PlotView::LensDistortion, true, true, request, decimal);
    scene.xCaption = "x";
    scene.yCaption = "y";
    scene.title = TitleLine("Zkreslení objektivu", "před a po kalibraci", projectName);
    if (!s.Calibration || s.Calibration->summary.measurements.empty()) {
        scene.note = "Výsledky kalibrace kamery nejsou k dispozici.";
        scene.extent = {0.0, 1.0, 0.0, 1.0};
        return scene;
    }
    const CameraCalibrationResult& result = *s.Calibration;
    const CameraParameters& before = result.before;
    const CameraParameters& after = result.summary.camera;
    const std::vector<CalibrationObservation>& measurements = result.summary.measurements;

    // The measured area; one that is a line or a point gets a width.
    PlotRect area{D(result.areaXmin), D(result.areaXmax), D(result.areaYmin), D(result.areaYmax)};
    if (!(area.Width() > 0.0) || !(area.Height() > 0.0)) area = Padded(area, 0.0);
    scene.hasFrame = true;
    scene.frame = area;
    scene.principalX = D(after.x0);
    scene.principalY = D(after.y0);
    const double L = std::max(area.Width(), area.Height());
    const int coordinateDecimals = DecimalsFor(L, 5);

    // The grid over the measured area, corners included.
    const double step = L / kDistortionGridSteps;
    const int nx = std::max(1, static_cast<int>(std::lround(area.Width() / step)));
    const int ny = std::max(1, static_cast<int>(std::lround(area.Height() / step)));
    std::vector<std::pair<double, double>> nodes;
    for (int j = 0; j <= ny; ++j) {
        for (int i = 0; i <= nx; ++i) {
            nodes.emplace_back(area.xmin + area.Width() * i / nx, area.ymin + area.Height() * j / ny);
        }
    }
    const std::vector<NodeCorrection> fieldBefore = Corrections(before, nodes);
    const std::vector<NodeCorrection> fieldAfter = Corrections(after, nodes);
    // One magnification for both cameras, so that their vectors compare.
    const double largest = std::max(LargestLength(fieldBefore), LargestLength(fieldAfter));
    scene.magnification = ChooseMagnification(largest, kVectorTarget * step);
    if (scene.magnification > 0.0) {
        AddVectors(scene, fieldBefore, PlotStroke::Before);
        AddVectors(scene, fieldAfter, PlotStroke::After);
    }

    // Every measured position, with its correction and residual.
    std::vector<std::int32_t> images;
    for (const CalibrationObservation& o : measurements) {
        PlotPoint p;
        p.x = D(o.x);
        p.y = D(o.y);
        p.number = RoundId(o.point);
        p.control = o.control;
        p.dot = true;
        p.label = std::to_string(p.number);
        long double dx = 0.0L;
        long double dy = 0.0L;
        DistortionCorrection(after, o.x, o.y, dx, dy);
        // The residuals are computed minus measured in the corrected frame;
        // the measuring system's y runs the other way.
        p.tooltip = "Bod " + p.label + ", snímek " + std::to_string(o.image) + "\nx = " +
                    Fixed(o.x, coordinateDecimals, decimal) + "  y = " + Fixed(o.y, coordinateDecimals, decimal) +
                    "\noprava po kalibraci: dx = " + FormatSigned(Pattern(coordinateDecimals + 1), dx, decimal) +
                    "  dy = " + FormatSigned(Pattern(coordinateDecimals + 1), dy, decimal) +
                    "\nreziduum: vx = " + FormatSigned(Pattern(coordinateDecimals + 1), o.vx, decimal) +
                    "  vy = " + FormatSigned(Pattern(coordinateDecimals + 1), -o.vy, decimal);
        scene.points.push_back(std::move(p));
        if (std::find(images.begin(), images.end(), o.image) == images.end()) images.push_back(o.image);
    }

    // The radial graph beside the area, out to the farthest measured
    // position from either principal point.
    long double rmax = 0.0L;
    for (const CalibrationObservation& o : measurements) {
        rmax = std::max({rmax, std::hypot(o.x - before.x0, o.y - before.y0), std::hypot(o.x - after.x0, o.y - after.y0)});
    }
    if (!(rmax > 0.0L) || !std::isfinite(rmax)) rmax = static_cast<long double>(L);
    std::vector<double> radius;
    std::vector<double> valueBefore;
    std::vector<double> valueAfter;
    double low = 0.0;
    double high = 0.0;
    for (int i = 0; i <= kDistortionCurveSteps; ++i) {
        const long double r = rmax * static_cast<long double>(i) / kDistortionCurveSteps;
        radius.push_back(D(r));
        valueBefore.push_back(D(RadialCorrection(before, r)));
        valueAfter.push_back(D(RadialCorrection(after, r)));
        for (double v : {valueBefore.back(), valueAfter.back()}) {
            if (!std::isfinite(v)) continue;
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    // Whole ticks of 1, 2 or 5 times a power of ten, about four of them.
    if (!(high - low > 0.0)) high = L / 1000.0;
    double tick = NiceBelow((high - low) / 4.0);
    if (!(tick > 0.0)) tick = (high - low) / 4.0;
    RadialGraph graph;
    graph.left = area.xmax + kPanelGap * L;
    graph.top = area.ymin;
    graph.bottom = area.ymax;
    graph.low = std::floor(low / tick + 1e-9) * tick;
    graph.high = std::ceil(high / tick - 1e-9) * tick;
    const double right = graph.left + D(rmax);
    const int valueDecimals = DecimalsFor(tick, 0);
    for (int k = 0; k <= 20 && graph.low + k * tick <= graph.high + tick * 1e-6; ++k) {
        const double v = graph.low + k * tick;
        AddLine(scene, {graph.left, right}, {graph.Y(v), graph.Y(v)}, PlotStroke::Grid);
        AddLabel(scene, graph.left - kTextGap * L, graph.Y(v),
                 FormatPattern(Pattern(valueDecimals), static_cast<long double>(std::fabs(v) < tick * 1e-6 ? 0.0 : v),
                               decimal),
                 -1, 0);
    }
    const double radiusTick = NiceBelow(D(rmax) / 4.0);
    const int radiusDecimals = DecimalsFor(radiusTick, 0);
    for (int k = 0; k <= 20 && radiusTick > 0.0 && k * radiusTick <= D(rmax) * (1.0 + 1e-9); ++k) {
        const double x = graph.left + k * radiusTick;
        AddLine(scene, {x, x}, {graph.Y(graph.low), graph.Y(graph.high)}, PlotStroke::Grid);
        AddLabel(scene, x, graph.bottom + kTextGap * L,
                 FormatPattern(Pattern(radiusDecimals), static_cast<long double>(k * radiusTick), decimal), 0, 1);
    }
    AddLine(scene, {graph.left, graph.left}, {graph.Y(graph.low), graph.Y(graph.high)}, PlotStroke::Axis);
    AddLine(scene, {graph.left, right}, {graph.Y(0.0), graph.Y(0.0)}, PlotStroke::Axis);
    AddLabel(scene, right + kTextGap * L, graph.Y(0.0), "r", 1, 0);
    const auto curve = [&](const std::vector<double>& values, PlotStroke stroke) {
        std::vector<double> x;
        std::vector<double> y;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (!std::isfinite(values[i])) continue;
            x.push_back(graph.left + radius[i]);
            y.push_back(graph.Y(values[i]));
        }
        AddLine(scene, std::move(x), std::move(y), stroke);
    };
    curve(valueBefore, PlotStroke::Before);
    curve(valueAfter, PlotStroke::After);

    AddLabel(scene, area.xmin, area.ymin - kTitleGap * L, "Oprava o distorzi v měřené oblasti", 1, -1, true);
    AddLabel(scene, graph.left, area.ymin - kTitleGap * L, "Radiální oprava", 1, -1, true);
    AddLabel(scene, (graph.left + right) / 2.0, graph.bottom + kCaptionGap * L, "r: vzdálenost od hlavního bodu", 0, 1);

    // What "Celý pohled" shows: the area with the vectors' tips, the graph
    // with its numbers and the titles.
    PlotRect reach = area;
    bool none = false;
    for (const PlotVector& v : scene.vectors) Include(reach, none, v.x + v.dx, v.y + v.dy);
    Include(reach, none, area.xmin, area.ymin - (kTitleGap + 0.04) * L);
    Include(reach, none, right + 0.06 * L, graph.bottom + (kCaptionGap + 0.04) * L);
    scene.extent = Padded(reach, kMargin);

    scene.lengthBar = LengthBar(scene, NiceBelow(L * kLengthBar));
    if (scene.magnification > 0.0) {
        scene.magnifiedBar = MagnifiedBar(scene, NiceBelow(L * kResidualBar / scene.magnification));
    }

    AddLegend(scene, PlotSymbol::PrincipalPoint, "hlavní snímkový bod po kalibraci");
    AddLegend(scene, PlotSymbol::MeasuredPosition, "měřený bod");
    AddLegend(scene, PlotSymbol::DistortionBefore, "před kalibrací");
    AddLegend(scene, PlotSymbol::DistortionAfter, "po kalibraci");

    scene.subtitle = "Měření: " + std::to_string(measurements.size()) + " na " + std::to_string(images.size()) +
                     " snímcích; největší oprava v měřené oblasti před kalibrací " +
                     Fixed(result.distortionBefore.length, coordinateDecimals, decimal) + ", po kalibraci " +
                     Fixed(result.distortionAfter.length, coordinateDecimals, decimal) +
                     "; délky v jednotkách snímkových souřadnic";
    return scene;
}

}  // namespace pelvanor
