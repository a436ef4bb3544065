#include "project/plan_view.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace pelvanor {

namespace {

using namespace scene_detail;

// Drawn sizes relative to the larger side of the block.
constexpr double kEllipseTarget = 1.0 / 80.0;   // a typical ellipse's larger semi-axis
constexpr double kStationStub = 1.0 / 10.0;     // a viewing direction along the plane
constexpr double kPlanMargin = 0.06;

struct Axes {
    int a = 0;  // 0 X, 1 Y, 2 Z
    int b = 1;
};

Axes AxesOf(PlanAxes axes) {
    switch (axes) {
        case PlanAxes::XZ: return {0, 2};
        case PlanAxes::YZ: return {1, 2};
        case PlanAxes::XY: break;
    }
    return {0, 1};
}

const char* AxisName(int axis) { return axis == 0 ? "X" : axis == 1 ? "Y" : "Z"; }

struct ObjectPointRow {
    std::int32_t number = 0;
    long double xyz[3] = {};
    long double sigma[3] = {};
    bool hasSigma = false;
    bool control = false;
    std::int32_t objectRow = 0;  // in ObjectPoints, 0 when from the adjustment
};

// The points of the plan: control points at their known coordinates, then
// the computed points of "Souřadnice XYZ" with their standard deviations,
// or, before that command, the adjusted points of the bundle adjustment.
std::vector<ObjectPointRow> PlanPoints(const ProjectState& s, const KeptAdjustment& kept) {
    std::vector<ObjectPointRow> out;
    std::set<PointNumber> seenControl;
    if (Has(s.ControlPointsCorrected) && s.ControlPointsCorrected->s >= 4) {
        const Matice& c = *s.ControlPointsCorrected;
        for (std::int32_t i = 1; i <= c.r; ++i) {
            const PointNumber n = RoundId(c.GetPrvek(i, 1));
            if (!seenControl.insert(n).second) continue;
            ObjectPointRow p;
            p.number = n;
            p.control = true;
            for (int q = 0; q < 3; ++q) p.xyz[q] = c.GetPrvek(i, 2 + q);
            out.push_back(p);
        }
    }
    if (Has(s.ObjectPoints) && s.ObjectPoints->s >= 8) {
        const Matice& o = *s.ObjectPoints;
        for (std::int32_t i = 1; i <= o.r; ++i) {
            const PointNumber n = RoundId(o.GetPrvek(i, 1));
            if (n == 0) continue;
            ObjectPointRow p;
            p.number = n;
            p.objectRow = i;
            for (int q = 0; q < 3; ++q) {
                p.xyz[q] = o.GetPrvek(i, 2 + q);
                p.sigma[q] = o.GetPrvek(i, 6 + q);
            }
            p.hasSigma = true;
            out.push_back(p);
        }
        return out;
    }
    if (kept.unknowns == nullptr || !Has(s.BundleObservationTable)) return out;
    const Matice& list = *s.BundleObservationTable;
    for (std::int32_t i = 1; i <= list.r; ++i) {
        bool control = false;
        for (std::int32_t col = 3; col <= list.s; col += 2) {
            if (RoundId(list.GetPrvek(i, col)) < 0) control = true;
        }
        if (control || 3 * i > kept.unknowns->r) continue;
        ObjectPointRow p;
        p.number = RoundId(list.GetPrvek(i, 1));
        for (int q = 0; q < 3; ++q) p.xyz[q] = kept.unknowns->GetPrvek(3 * i - 2 + q, 1);
        out.push_back(p);
    }
    return out;
}

}  // namespace

std::string PlaneName(PlanAxes axes) {
    const Axes a = AxesOf(axes);
    return std::string(AxisName(a.a)) + "–" + AxisName(a.b);
}

PlotScene PlanScene(const ProjectState& s, const PlotRequest& request, char decimal,
                    const std::string& projectName) {
    PlotScene scene = NewScene(PlotView::BlockPlan, false, false, request, decimal);
    scene.lengthUnit = " m";
    const Axes axes = AxesOf(request.axes);
    scene.xCaption = std::string(AxisName(axes.a)) + " [m]";
    scene.yCaption = std::string(AxisName(axes.b)) + " [m]";
    scene.title = TitleLine("Půdorys bloku", PlaneName(request.axes), projectName);

    const KeptAdjustment kept = Kept(s);
    const std::vector<ObjectPointRow> points = PlanPoints(s, kept);
    const std::set<PointNumber> outliers = NumberSet(s.RobustOutliers);
    const std::set<std::int32_t> failed = FailedFTest(s);

    // Stations and the extent of points and stations first: the stubs and
    // ellipses are sized from it.
    struct StationRow {
        int image = 0;
        StationOrientation o;
    };
    std::vector<StationRow> stations;
    const int images = PlotImageCount(s);
    for (int j = 1; j <= images; ++j) {
        StationRow row;
        row.image = j;
        if (OrientationOf(s, kept, j, row.o)) stations.push_back(row);
    }
    PlotRect box;
    bool empty = true;
    for (const ObjectPointRow& p : points) Include(box, empty, D(p.xyz[axes.a]), D(p.xyz[axes.b]));
    for (const StationRow& st : stations) {
        const long double c[3] = {st.o.X0, st.o.Y0, st.o.Z0};
        Include(box, empty, D(c[axes.a]), D(c[axes.b]));
    }
    if (empty) {
        scene.note = "Výsledky svazkového vyrovnání nejsou k dispozici.";
        scene.extent = {0.0, 1.0, 0.0, 1.0};
        return scene;
    }
    double L = std::max(box.Width(), box.Height());
    if (!(L > 0.0)) L = 1.0;
    const int coordinateDecimals = DecimalsFor(L, 5);

    bool anyControl = false, anyTie = false, anyOutlier = false, anyFailed = false;
    std::vector<double> sigmas;
    for (const ObjectPointRow& p : points) {
        if (p.hasSigma) sigmas.push_back(std::max(D(p.sigma[axes.a]), D(p.sigma[axes.b])));
    }
    const double typicalSigma = Median(sigmas);
    scene.magnification = ChooseMagnification(typicalSigma, L * kEllipseTarget);
    const int sigmaDecimals = DecimalsFor(typicalSigma > 0.0 ? typicalSigma : L / 1000.0, 2);

    for (const ObjectPointRow& r : points) {
        PlotPoint p;
        p.x = D(r.xyz[axes.a]);
        p.y = D(r.xyz[axes.b]);
        p.number = r.number;
        p.control = r.control;
        p.adjusted = true;
        p.robustOutlier = !r.control && outliers.count(r.number) > 0;
        p.fTestFailed = !r.control && failed.count(r.number) > 0;
        p.label = std::to_string(r.number);
        p.tooltip = "Bod " + p.label + (r.control ? " (vlícovací bod)" : " (spojovací bod)") + "\nX = " +
                    Fixed(r.xyz[0], coordinateDecimals, decimal) + "  Y = " +
                    Fixed(r.xyz[1], coordinateDecimals, decimal) + "  Z = " +
                    Fixed(r.xyz[2], coordinateDecimals, decimal);
        if (r.hasSigma) {
            p.tooltip += "\nσX = " + Fixed(r.sigma[0], sigmaDecimals, decimal) + "  σY = " +
                         Fixed(r.sigma[1], sigmaDecimals, decimal) + "  σZ = " +
                         Fixed(r.sigma[2], sigmaDecimals, decimal);
            if (scene.magnification > 0.0) {
                PlotEllipse e;
                e.x = p.x;
                e.y = p.y;
                e.rx = D(r.sigma[axes.a]) * scene.magnification;
                e.ry = D(r.sigma[axes.b]) * scene.magnification;
                e.number = r.number;
                scene.ellipses.push_back(e);
            }
        }
        if (p.robustOutlier) p.tooltip += "\nvyřazen robustním odhadem";
        if (p.fTestFailed) p.tooltip += "\n" + FTestLine(s, r.objectRow, decimal);
        anyControl = anyControl || r.control;
        anyTie = anyTie || !r.control;
        anyOutlier = anyOutlier || p.robustOutlier;
        anyFailed = anyFailed || p.fTestFailed;
        scene.points.push_back(std::move(p));
    }

    // A point in front of the camera has W = (r13, r23, r33) . (P - C) < 0:
    // the camera looks along minus the third column of R.
    const double stub = L * kStationStub;
    PlotRect extent = box;
    for (const StationRow& st : stations) {
        const long double c[3] = {st.o.X0, st.o.Y0, st.o.Z0};
        const double d[3] = {-D(st.o.r[2]), -D(st.o.r[5]), -D(st.o.r[8])};
        PlotStation ps;
        ps.x = D(c[axes.a]);
        ps.y = D(c[axes.b]);
        ps.dx = d[axes.a] * stub;
        ps.dy = d[axes.b] * stub;
        ps.image = st.image;
        ps.label = std::to_string(st.image);
        ps.tooltip = "Snimek " + ps.label + "\nX0 = " + Fixed(st.o.X0, coordinateDecimals, decimal) +
                     "  Y0 = " + Fixed(st.o.Y0, coordinateDecimals, decimal) + "  Z0 = " +
                     Fixed(st.o.Z0, coordinateDecimals, decimal);
        if (kept.withF) ps.tooltip += "\nf = " + Fixed(st.o.f, DecimalsFor(D(st.o.f), 5), decimal);
        Include(extent, empty, ps.x + ps.dx, ps.y + ps.dy);
        scene.stations.push_back(std::move(ps));
    }
    for (const PlotEllipse& e : scene.ellipses) {
        Include(extent, empty, e.x - e.rx, e.y - e.ry);
        Include(extent, empty, e.x + e.rx, e.y + e.ry);
    }
    scene.extent = Padded(extent, kPlanMargin);

    scene.lengthBar = LengthBar(scene, NiceBelow(L * kLengthBar));
    if (scene.magnification > 0.0) {
        scene.magnifiedBar = MagnifiedBar(scene, NiceBelow(L * kEllipseBar / scene.magnification));
    }

    if (anyControl) AddLegend(scene, PlotSymbol::ControlPoint, "vlícovací bod");
    if (anyTie) AddLegend(scene, PlotSymbol::TiePoint, "spojovací bod");
    if (!scene.stations.empty()) AddLegend(scene, PlotSymbol::Station, "stanovisko a směr záběru");
    if (!scene.ellipses.empty()) AddLegend(scene, PlotSymbol::Ellipse, "elipsa směrodatných odchylek");
    if (anyOutlier) AddLegend(scene, PlotSymbol::RobustOutlier, "vyřazen robustním odhadem");
    if (anyFailed) AddLegend(scene, PlotSymbol::FTestFailed, "nevyhověl F-testu");

    std::size_t tieCount = 0;
    for (const ObjectPointRow& p : points) tieCount += p.control ? 0 : 1;
    scene.subtitle = "Spojovací body: " + std::to_string(tieCount) + ", vlícovací body: " +
                     std::to_string(points.size() - tieCount) + ", snímky: " + std::to_string(stations.size()) +
                     (Has(s.ObjectPoints) ? "; směrodatné odchylky ze Souřadnic XYZ"
                                          : "; body ze svazkového vyrovnání (bez směrodatných odchylek)");
    return scene;
}

}  // namespace pelvanor
