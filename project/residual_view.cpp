#include "project/residual_view.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "orientation/collinearity.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

using namespace scene_detail;

// Drawn sizes relative to the larger side of the image frame.
constexpr double kResidualTarget = 1.0 / 50.0;  // a typical residual vector
constexpr double kFrameMargin = 0.04;

std::string Signed(long double value, int decimals, char decimal) {
    return FormatSigned(Pattern(decimals), value, decimal);
}

// Computed minus measured image coordinates (corrected frame) of an object
// point on an oriented image; false when the point cannot be projected.
bool Misclosure(const StationOrientation& o, const CameraParameters& camera, long double X, long double Y,
                long double Z, long double x, long double y, long double& vx, long double& vy) {
    Matice point(1, 5);
    point.SetPrvek(1, 1, X);
    point.SetPrvek(1, 2, Y);
    point.SetPrvek(1, 3, Z);
    point.SetPrvek(1, 4, x);
    point.SetPrvek(1, 5, y);
    MatPtr design;
    MatPtr misclosure;
    if (!CollinearityRows3(point, design, misclosure, o.r[0], o.r[1], o.r[2], o.r[3], o.r[4], o.r[5], o.r[6],
                           o.r[7], o.r[8], o.X0, o.Y0, o.Z0, camera.x0, camera.y0, o.f) ||
        !misclosure || misclosure->r < 2)
        return false;
    vx = misclosure->GetPrvek(1, 1);
    vy = misclosure->GetPrvek(2, 1);
    return std::isfinite(vx) && std::isfinite(vy);
}

// Key of a measurement: its table (control or image coordinates) and row.
using MeasurementKey = std::pair<bool, PointNumber>;

// Row of each measurement of the kept adjustment in its residual table, in
// the order the adjustment assembles its observation rows: points of the
// point list in order, their (row, image) pairs in order.  Empty when the
// residuals do not belong to the point list.
std::map<MeasurementKey, std::int32_t> ResidualRows(const ProjectState& s, const Matice* residuals) {
    std::map<MeasurementKey, std::int32_t> rows;
    if (residuals == nullptr || !Has(s.BundleObservationTable)) return rows;
    const Matice& list = *s.BundleObservationTable;
    std::int32_t h = 0;
    for (std::int32_t i = 1; i <= list.r; ++i) {
        for (std::int32_t col = 2; col + 1 <= list.s; col += 2) {
            const PointNumber g = RoundId(list.GetPrvek(i, col + 1));
            if (g == 0) continue;
            ++h;
            rows[{g < 0, RoundId(list.GetPrvek(i, col))}] = h;
        }
    }
    if (h != residuals->r || residuals->s < 2) rows.clear();
    return rows;
}

// The first row of every number in a table's first column, compared after
// rounding.
std::map<PointNumber, std::int32_t> RowsByNumber(const MatPtr& table) {
    std::map<PointNumber, std::int32_t> rows;
    if (!Has(table)) return rows;
    for (std::int32_t i = table->r; i >= 1; --i) rows[RoundId(table->GetPrvek(i, 1))] = i;
    return rows;
}

std::int32_t RowOf(const std::map<PointNumber, std::int32_t>& rows, PointNumber number) {
    const auto it = rows.find(number);
    return it == rows.end() ? 0 : it->second;
}

struct Measured {
    bool control = false;
    std::int32_t row = 0;  // in ControlPointsCorrected or ImagePointsCorrected
    PointNumber number = 0;
    long double xc = 0.0L;  // corrected frame (y up)
    long double yc = 0.0L;
    long double xRaw = 0.0L;  // as in the file
    long double yRaw = 0.0L;
};

// The measurements of image `image` (1-based): control points, then the
// image coordinate file's points.
std::vector<Measured> MeasurementsOf(const ProjectState& s, int image) {
    std::vector<Measured> out;
    const auto take = [&](const MatPtr& ranges, const MatPtr& corrected, const MatPtr& raw, bool control) {
        if (!Has(ranges) || !Has(corrected) || image > ranges->r || ranges->s < 2) return;
        const int xCol = control ? 5 : 2;
        if (corrected->s < xCol + 1) return;
        const std::int64_t first = std::max<std::int64_t>(1, RoundId(ranges->GetPrvek(image, 1)));
        const std::int64_t last = std::min<std::int64_t>(corrected->r, RoundId(ranges->GetPrvek(image, 2)));
        for (std::int32_t row = static_cast<std::int32_t>(first); row <= last; ++row) {
            Measured m;
            m.control = control;
            m.row = row;
            m.number = RoundId(corrected->GetPrvek(row, 1));
            m.xc = corrected->GetPrvek(row, xCol);
            m.yc = corrected->GetPrvek(row, xCol + 1);
            const bool haveRaw = Has(raw) && raw->r == corrected->r && raw->s >= xCol + 1;
            m.xRaw = haveRaw ? raw->GetPrvek(row, xCol) : m.xc;
            m.yRaw = haveRaw ? raw->GetPrvek(row, xCol + 1) : -m.yc;
            out.push_back(m);
        }
    };
    take(s.ControlPointRanges, s.ControlPointsCorrected, s.ControlPoints, true);
    take(s.ImagePointRanges, s.ImagePointsCorrected, s.ImagePoints, false);
    return out;
}

// The image frame: centred on the principal point, as far out as the
// farthest measurement of any image in each direction.
PlotRect ImageFrame(const ProjectState& s, int images) {
    const double px = D(s.Camera.x0);
    const double py = D(s.Camera.y0);
    double a = 0.0;
    double b = 0.0;
    for (int j = 1; j <= images; ++j) {
        for (const Measured& m : MeasurementsOf(s, j)) {
            a = std::max(a, std::fabs(D(m.xc) - px));
            b = std::max(b, std::fabs(-D(m.yc) - py));
        }
    }
    if (!(a > 0.0)) a = 1.0;
    if (!(b > 0.0)) b = 1.0;
    return {px - a, px + a, py - b, py + b};
}

// Residual lengths of the kept adjustment over all images (for the
// magnification, the same on every image so that images compare).
std::vector<double> ResidualLengths(const Matice* residuals) {
    std::vector<double> lengths;
    if (residuals == nullptr || residuals->s < 2) return lengths;
    for (std::int32_t h = 1; h <= residuals->r; ++h) {
        lengths.push_back(std::hypot(D(residuals->GetPrvek(h, 1)), D(residuals->GetPrvek(h, 2))));
    }
    return lengths;
}

}  // namespace

PlotScene ResidualScene(const ProjectState& s, const PlotRequest& request, char decimal,
                        const std::string& projectName) {
    PlotScene scene = NewScene(PlotView::ImageResiduals, true, true, request, decimal);
    scene.xCaption = "x";
    scene.yCaption = "y";
    const int images = PlotImageCount(s);
    const int image = request.image;
    scene.title = TitleLine("Rezidua snímku", "Snimek " + std::to_string(image), projectName);
    if (image < 1 || image > images) {
        scene.note = "Snímek " + std::to_string(image) + " v projektu není.";
        scene.extent = {0.0, 1.0, 0.0, 1.0};
        return scene;
    }
    const KeptAdjustment kept = Kept(s);
    const auto residualRows = ResidualRows(s, kept.residuals);
    const Matice* residuals = residualRows.empty() ? nullptr : kept.residuals;
    StationOrientation orientation;
    const bool oriented = OrientationOf(s, kept, image, orientation);
    const std::set<PointNumber> outliers = NumberSet(s.RobustOutliers);
    const std::set<std::int32_t> failed = FailedFTest(s);
    const std::map<PointNumber, std::int32_t> objectRows = RowsByNumber(s.ObjectPoints);

    scene.frame = ImageFrame(s, images);
    scene.hasFrame = true;
    scene.principalX = D(s.Camera.x0);
    scene.principalY = D(s.Camera.y0);
    const double L = std::max(scene.frame.Width(), scene.frame.Height());
    scene.extent = Padded(scene.frame, kFrameMargin);

    const std::vector<double> lengths = ResidualLengths(residuals);
    const double typical = Median(lengths);
    const int coordinateDecimals = DecimalsFor(L, 5);
    const int residualDecimals = DecimalsFor(typical > 0.0 ? typical : L / 1000.0, 2);

    // First the vectors' magnification: intersection residuals use the same.
    std::vector<Measured> measured = MeasurementsOf(s, image);
    struct Pending {
        long double vx = 0.0L, vy = 0.0L;
        bool has = false, fromIntersection = false;
    };
    std::vector<Pending> pending(measured.size());
    std::vector<double> intersectionLengths;
    for (std::size_t i = 0; i < measured.size(); ++i) {
        const Measured& m = measured[i];
        const auto it = residualRows.find({m.control, m.row});
        if (it != residualRows.end()) {
            pending[i] = {residuals->GetPrvek(it->second, 1), residuals->GetPrvek(it->second, 2), true, false};
            continue;
        }
        // A point left out of the adjustment (not chosen, or removed as an
        // outlier) shows its residual from the spatial intersection.
        if (m.control || !oriented) continue;
        const std::int32_t row = RowOf(objectRows, m.number);
        if (row == 0 || s.ObjectPoints->s < 4) continue;
        long double vx = 0.0L, vy = 0.0L;
        if (Misclosure(orientation, s.Camera, s.ObjectPoints->GetPrvek(row, 2), s.ObjectPoints->GetPrvek(row, 3),
                       s.ObjectPoints->GetPrvek(row, 4), m.xc, m.yc, vx, vy)) {
            pending[i] = {vx, vy, true, true};
            intersectionLengths.push_back(std::hypot(D(vx), D(vy)));
        }
    }
    const double magnificationBase = typical > 0.0 ? typical : Median(intersectionLengths);
    scene.magnification = ChooseMagnification(magnificationBase, L * kResidualTarget);

    std::size_t adjustedCount = 0;
    bool anyNotAdjusted = false, anyControl = false, anyTie = false, anyOutlier = false, anyFailed = false,
         anyIntersection = false, anyResidual = false;
    for (std::size_t i = 0; i < measured.size(); ++i) {
        const Measured& m = measured[i];
        const Pending& v = pending[i];
        PlotPoint p;
        p.x = D(m.xc);
        p.y = -D(m.yc);
        p.number = m.number;
        p.control = m.control;
        p.adjusted = v.has && !v.fromIntersection;
        p.robustOutlier = !m.control && outliers.count(m.number) > 0;
        p.fTestFailed = !m.control && failed.count(m.number) > 0;
        p.label = std::to_string(m.number);
        p.tooltip = "Bod " + p.label + (m.control ? " (vlícovací bod)" : " (spojovací bod)") + "\nx = " +
                    Fixed(m.xRaw, coordinateDecimals, decimal) + "  y = " + Fixed(m.yRaw, coordinateDecimals, decimal);
        if (v.has) {
            // Shown in the measuring system: y of the files runs the other way.
            p.tooltip += "\nvx = " + Signed(v.vx, residualDecimals, decimal) + "  vy = " +
                         Signed(-v.vy, residualDecimals, decimal) +
                         (v.fromIntersection ? " (oprava z protínání)" : " (oprava ze svazkového vyrovnání)");
            if (scene.magnification > 0.0) {
                PlotVector vec;
                vec.x = p.x;
                vec.y = p.y;
                vec.dx = D(v.vx) * scene.magnification;
                vec.dy = -D(v.vy) * scene.magnification;
                vec.fromIntersection = v.fromIntersection;
                vec.number = m.number;
                scene.vectors.push_back(vec);
            }
        } else {
            p.tooltip += "\nbod nevstoupil do vyrovnání";
        }
        if (p.robustOutlier) p.tooltip += "\nvyřazen robustním odhadem";
        if (p.fTestFailed) p.tooltip += "\n" + FTestLine(s, RowOf(objectRows, m.number), decimal);
        if (p.adjusted) ++adjustedCount;
        anyNotAdjusted = anyNotAdjusted || !p.adjusted;
        anyControl = anyControl || p.control;
        anyTie = anyTie || (!p.control && p.adjusted);
        anyOutlier = anyOutlier || p.robustOutlier;
        anyFailed = anyFailed || p.fTestFailed;
        anyIntersection = anyIntersection || (v.has && v.fromIntersection);
        anyResidual = anyResidual || (v.has && !v.fromIntersection);
        scene.points.push_back(std::move(p));
    }

    // The view takes in the tips of the vectors that end near the frame, so
    // that a blunder's vector is seen whole; a vector reaching farther (a
    // mismatched point) runs out of the view rather than shrink the image.
    PlotRect reach = scene.frame;
    bool none = false;
    const PlotRect near = Padded(scene.frame, 0.5);
    for (const PlotVector& vec : scene.vectors) {
        const double x = vec.x + vec.dx;
        const double y = vec.y + vec.dy;
        if (x >= near.xmin && x <= near.xmax && y >= near.ymin && y <= near.ymax) Include(reach, none, x, y);
    }
    scene.extent = Padded(reach, kFrameMargin);

    scene.lengthBar = LengthBar(scene, NiceBelow(L * kLengthBar));
    if (scene.magnification > 0.0) {
        scene.magnifiedBar = MagnifiedBar(scene, NiceBelow(L * kResidualBar / scene.magnification));
    }

    AddLegend(scene, PlotSymbol::PrincipalPoint, "hlavní snímkový bod");
    if (anyControl) AddLegend(scene, PlotSymbol::ControlPoint, "vlícovací bod");
    if (anyTie) AddLegend(scene, PlotSymbol::TiePoint, "spojovací bod");
    if (anyNotAdjusted) AddLegend(scene, PlotSymbol::TiePointNotAdjusted, "bod mimo vyrovnání");
    if (anyResidual) AddLegend(scene, PlotSymbol::Residual, "oprava ze svazkového vyrovnání");
    if (anyIntersection) AddLegend(scene, PlotSymbol::IntersectionResidual, "oprava z protínání");
    if (anyOutlier) AddLegend(scene, PlotSymbol::RobustOutlier, "vyřazen robustním odhadem");
    if (anyFailed) AddLegend(scene, PlotSymbol::FTestFailed, "nevyhověl F-testu");

    scene.subtitle = "Měření: " + std::to_string(measured.size()) + ", ve vyrovnání: " +
                     std::to_string(adjustedCount) +
                     (kept.withF ? ", vyrovnání s konstantou komory" : ", vyrovnání bez konstanty komory") +
                     "; délky v jednotkách snímkových souřadnic";
    if (measured.empty()) scene.note = "Na snímku nejsou žádná měření.";
    return scene;
}

}  // namespace pelvanor
