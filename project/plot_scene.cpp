#include "project/plot_scene.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "matrix/arithmetic.h"
#include "orientation/collinearity.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

// Point numbers are whole numbers of up to 63 bits, as RoundId gives them.
using PointNumber = decltype(RoundId(0.0L));

// Drawn sizes relative to the larger side of what is drawn.
constexpr double kResidualTarget = 1.0 / 50.0;  // a typical residual vector
constexpr double kResidualBar = 1.0 / 6.0;
constexpr double kLengthBar = 1.0 / 5.0;
constexpr double kEllipseTarget = 1.0 / 80.0;   // a typical ellipse's larger semi-axis
constexpr double kEllipseBar = 1.0 / 10.0;
constexpr double kStationStub = 1.0 / 10.0;     // a viewing direction along the plane
constexpr double kFrameMargin = 0.04;
constexpr double kPlanMargin = 0.06;

bool Has(const MatPtr& m) { return m && m->r >= 1 && m->s >= 1; }

double D(long double v) { return static_cast<double>(v); }

// Number of decimals that resolves about a thousandth of `reference`
// (clamped to 0 .. 9).
int DecimalsFor(double reference, int digits) {
    if (!(reference > 0.0) || !std::isfinite(reference)) return 3;
    const int d = digits - static_cast<int>(std::floor(std::log10(reference)));
    return std::clamp(d, 0, 9);
}

std::string Pattern(int decimals) {
    return decimals > 0 ? "0." + std::string(static_cast<std::size_t>(decimals), '0') : "0";
}

std::string Fixed(long double value, int decimals, char decimal) {
    return FormatPattern(Pattern(decimals), value, decimal);
}

std::string Signed(long double value, int decimals, char decimal) {
    return FormatSigned(Pattern(decimals), value, decimal);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
    return values[mid];
}

// Point numbers of a table's first column (the 1 x 1 zero table is empty).
std::set<PointNumber> NumberSet(const MatPtr& m) {
    std::set<PointNumber> numbers;
    if (!Has(m)) return numbers;
    for (std::int32_t i = 1; i <= m->r; ++i) {
        const PointNumber n = RoundId(m->GetPrvek(i, 1));
        if (n != 0) numbers.insert(n);
    }
    return numbers;
}

// The adjustment whose results the pictures show: the one with a camera
// constant per image when its residuals exist (its orientations are the ones
// the object coordinates were intersected with), else the one without.
struct KeptAdjustment {
    const Matice* unknowns = nullptr;
    const Matice* imageIndex = nullptr;
    const Matice* residuals = nullptr;
    bool withF = false;
};

KeptAdjustment Kept(const ProjectState& s) {
    KeptAdjustment k;
    const bool fResults = Has(s.BundleUnknownsF) && Has(s.BundleImageIndexF);
    const bool results = Has(s.BundleUnknowns) && Has(s.BundleImageIndex);
    if (fResults && (Has(s.BundleResidualsF) || !Has(s.BundleResiduals) || !results)) {
        k.unknowns = s.BundleUnknownsF.get();
        k.imageIndex = s.BundleImageIndexF.get();
        k.residuals = s.BundleResidualsF.get();
        k.withF = true;
    } else if (results) {
        k.unknowns = s.BundleUnknowns.get();
        k.imageIndex = s.BundleImageIndex.get();
        k.residuals = s.BundleResiduals.get();
    }
    return k;
}

// Exterior orientation of one image from the kept unknowns.
struct StationOrientation {
    long double X0 = 0.0L, Y0 = 0.0L, Z0 = 0.0L;
    long double alfa = 0.0L, beta = 0.0L, gama = 0.0L;
    long double f = 0.0L;
    long double r[9] = {};
};

bool OrientationOf(const ProjectState& s, const KeptAdjustment& k, int image, StationOrientation& o) {
    if (k.unknowns == nullptr || k.imageIndex == nullptr || image < 1 || image > k.imageIndex->r) return false;
    const std::int64_t start = RoundId(k.imageIndex->GetPrvek(image, 1));
    if (start < 1 || start + (k.withF ? 6 : 5) > k.unknowns->r) return false;
    const auto first = static_cast<std::int32_t>(start);
    const Matice& u = *k.unknowns;
    o.X0 = u.GetPrvek(first, 1);
    o.Y0 = u.GetPrvek(first + 1, 1);
    o.Z0 = u.GetPrvek(first + 2, 1);
    o.alfa = u.GetPrvek(first + 3, 1);
    o.beta = u.GetPrvek(first + 4, 1);
    o.gama = u.GetPrvek(first + 5, 1);
    o.f = k.withF ? u.GetPrvek(first + 6, 1) : s.Camera.f;
    MatPtr R;
    if (!RotationMatrix(R, o.alfa, o.beta, o.gama) || !R || R->s < 9) return false;
    for (int q = 0; q < 9; ++q) o.r[q] = R->GetPrvek(1, q + 1);
    return true;
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

// "nevyhověl F-testu (kritérium 5,12 > 1,90)" for a row of ObjectPoints.
std::string FTestLine(const ProjectState& s, std::int32_t objectRow, char decimal) {
    std::string line = "nevyhověl F-testu";
    if (Has(s.FTestResults) && objectRow <= s.FTestResults->r && s.FTestResults->s >= 2) {
        line += " (kritérium " + Fixed(s.FTestResults->GetPrvek(objectRow, 1), 2, decimal) + " > " +
                Fixed(s.FTestResults->GetPrvek(objectRow, 2), 2, decimal) + ")";
    }
    return line;
}

// F-test failures: the computed points that are not among the passed ones.
std::set<std::int32_t> FailedFTest(const ProjectState& s) {
    std::set<std::int32_t> failed;
    if (!Has(s.ObjectPoints) || !Has(s.FTestPassed)) return failed;
    const std::set<PointNumber> passed = NumberSet(s.FTestPassed);
    for (const PointNumber n : NumberSet(s.ObjectPoints)) {
        if (!passed.count(n)) failed.insert(n);
    }
    return failed;
}

void Include(PlotRect& r, bool& empty, double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (empty) {
        r = {x, x, y, y};
        empty = false;
        return;
    }
    r.xmin = std::min(r.xmin, x);
    r.xmax = std::max(r.xmax, x);
    r.ymin = std::min(r.ymin, y);
    r.ymax = std::max(r.ymax, y);
}

// `r` grown by `margin` of its larger side, each side at least a fifth of it.
PlotRect Padded(PlotRect r, double margin) {
    double big = std::max(r.Width(), r.Height());
    if (!(big > 0.0)) big = 1.0;
    const double minSide = big / 5.0;
    if (r.Width() < minSide) {
        const double c = (r.xmin + r.xmax) / 2.0;
        r.xmin = c - minSide / 2.0;
        r.xmax = c + minSide / 2.0;
    }
    if (r.Height() < minSide) {
        const double c = (r.ymin + r.ymax) / 2.0;
        r.ymin = c - minSide / 2.0;
        r.ymax = c + minSide / 2.0;
    }
    r.xmin -= margin * big;
    r.xmax += margin * big;
    r.ymin -= margin * big;
    r.ymax += margin * big;
    return r;
}

std::string TitleLine(const std::string& view, const std::string& detail, const std::string& projectName) {
    std::string title = view + " - " + detail;
    if (!projectName.empty()) title += " - " + projectName;
    return title + " - program Pelvanor";
}

// The coordinate bar of `value` drawing units.
PlotScaleBar LengthBar(const PlotScene& scene, double value) {
    PlotScaleBar bar;
    if (!(value > 0.0)) return bar;
    bar.value = value;
    bar.length = value;
    bar.label = FormatGeneral(static_cast<long double>(value), scene.decimal) + scene.lengthUnit;
    return bar;
}

// The bar of a residual or a standard deviation of `value`, magnified.
PlotScaleBar MagnifiedBar(const PlotScene& scene, double value) {
    PlotScaleBar bar;
    if (!(scene.magnification > 0.0) || !(value > 0.0) || !std::isfinite(value)) return bar;
    bar.value = value;
    bar.length = value * scene.magnification;
    bar.label = std::string(scene.residuals ? "oprava " : "σ ") +
                FormatGeneral(static_cast<long double>(value), scene.decimal) + scene.lengthUnit + " (zvětšeno " +
                FormatGeneral(static_cast<long double>(scene.magnification), scene.decimal) + "×)";
    return bar;
}

void AddLegend(PlotScene& scene, PlotSymbol symbol, const char* text) {
    scene.legend.push_back({symbol, text});
}

// ---------------------------------------------------------------------------
// Image residuals

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

PlotScene ResidualScene(const ProjectState& s, const PlotRequest& request, char decimal,
                        const std::string& projectName) {
    PlotScene scene;
    scene.view = PlotView::ImageResiduals;
    scene.yDown = true;
    scene.decimal = decimal;
    scene.residuals = true;
    scene.pointNumbers = request.pointNumbers;
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

// ---------------------------------------------------------------------------
// Block plan

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

std::string PlaneName(PlanAxes axes) {
    const Axes a = AxesOf(axes);
    return std::string(AxisName(a.a)) + "–" + AxisName(a.b);
}

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

PlotScene PlanScene(const ProjectState& s, const PlotRequest& request, char decimal,
                    const std::string& projectName) {
    PlotScene scene;
    scene.view = PlotView::BlockPlan;
    scene.yDown = false;
    scene.decimal = decimal;
    scene.lengthUnit = " m";
    scene.residuals = false;
    scene.pointNumbers = request.pointNumbers;
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

}  // namespace

bool PlotsAvailable(const ProjectState& s) {
    const KeptAdjustment kept = Kept(s);
    return kept.unknowns != nullptr && Has(s.BundleObservationTable) && PlotImageCount(s) > 0;
}

int PlotImageCount(const ProjectState& s) {
    if (Has(s.ControlPointRanges)) return s.ControlPointRanges->r;
    if (Has(s.ImagePointRanges)) return s.ImagePointRanges->r;
    return 0;
}

PlotScene BuildPlotScene(const ProjectState& state, const PlotRequest& request, char decimal,
                         const std::string& projectName) {
    // Files loaded after the last computation: the corrected tables and the
    // results still describe the old measurements, which the new ranges no
    // longer index.
    const auto stale = [](const MatPtr& raw, const MatPtr& corrected) {
        return Has(raw) && Has(corrected) && raw->r != corrected->r;
    };
    if (stale(state.ImagePoints, state.ImagePointsCorrected) ||
        stale(state.ControlPoints, state.ControlPointsCorrected)) {
        PlotScene scene;
        scene.view = request.view;
        scene.decimal = decimal;
        scene.extent = {0.0, 1.0, 0.0, 1.0};
        scene.title = TitleLine(request.view == PlotView::ImageResiduals ? "Rezidua snímku" : "Půdorys bloku",
                                request.view == PlotView::ImageResiduals ? "Snimek " + std::to_string(request.image)
                                                                         : PlaneName(request.axes),
                                projectName);
        scene.note = "Vstupní soubory se od posledního výpočtu změnily; spusťte výpočet znovu.";
        return scene;
    }
    PlotScene scene = request.view == PlotView::ImageResiduals
                          ? ResidualScene(state, request, decimal, projectName)
                          : PlanScene(state, request, decimal, projectName);
    if (!PlotsAvailable(state) && scene.note.empty()) {
        scene.note = "Výsledky svazkového vyrovnání nejsou k dispozici.";
    }
    return scene;
}

double NiceBelow(double value) {
    if (!(value > 0.0) || !std::isfinite(value)) return 0.0;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    // The tiny allowance keeps an exact 2 or 5 times a power of ten, which
    // the logarithm can put a rounding below its own decade.
    const double m = value / power * (1.0 + 1e-12);
    const double step = m >= 5.0 ? 5.0 : m >= 2.0 ? 2.0 : 1.0;
    return step * power;
}

double ChooseMagnification(double typical, double target) {
    if (!(typical > 0.0) || !(target > 0.0) || !std::isfinite(typical)) return 0.0;
    return NiceBelow(target / typical);
}

PlotScaleBar LengthBarAt(const PlotScene& scene, double pixelsPerUnit, double widthPixels) {
    if (!(pixelsPerUnit > 0.0)) return {};
    return LengthBar(scene, NiceBelow(widthPixels * kLengthBar / pixelsPerUnit));
}

PlotScaleBar MagnifiedBarAt(const PlotScene& scene, double pixelsPerUnit, double widthPixels) {
    if (!(pixelsPerUnit > 0.0) || !(scene.magnification > 0.0)) return {};
    const double fraction = scene.residuals ? kResidualBar : kEllipseBar;
    return MagnifiedBar(scene, NiceBelow(widthPixels * fraction / (pixelsPerUnit * scene.magnification)));
}

PlotViewport FitViewport(const PlotRect& extent, bool yDown, double width, double height) {
    PlotViewport v;
    v.width = width > 1.0 ? width : 1.0;
    v.height = height > 1.0 ? height : 1.0;
    v.yDown = yDown;
    v.cx = (extent.xmin + extent.xmax) / 2.0;
    v.cy = (extent.ymin + extent.ymax) / 2.0;
    const double w = extent.Width() > 0.0 ? extent.Width() : 1.0;
    const double h = extent.Height() > 0.0 ? extent.Height() : 1.0;
    v.scale = std::min(v.width / w, v.height / h);
    return v;
}

PlotViewport ZoomViewport(const PlotViewport& viewport, double sx, double sy, double factor) {
    if (!(factor > 0.0)) return viewport;
    PlotViewport v = viewport;
    const double x = viewport.ToDataX(sx);
    const double y = viewport.ToDataY(sy);
    v.scale = viewport.scale * factor;
    // Move the centre so that (x, y) stays under (sx, sy).
    v.cx = x - (sx - v.width / 2.0) / v.scale;
    v.cy = v.yDown ? y - (sy - v.height / 2.0) / v.scale : y + (sy - v.height / 2.0) / v.scale;
    return v;
}

PlotViewport ResizeViewport(const PlotViewport& viewport, double width, double height) {
    PlotViewport v = viewport;
    v.width = width > 1.0 ? width : 1.0;
    v.height = height > 1.0 ? height : 1.0;
    v.scale = viewport.scale * std::min(v.width / viewport.width, v.height / viewport.height);
    return v;
}

std::string TooltipAt(const PlotScene& scene, const PlotViewport& viewport, double sx, double sy,
                      double radius) {
    const std::string* best = nullptr;
    double bestDistance = radius;
    const auto consider = [&](double x, double y, const std::string& tooltip) {
        const double d = std::hypot(viewport.ToScreenX(x) - sx, viewport.ToScreenY(y) - sy);
        if (d <= bestDistance) {
            bestDistance = d;
            best = &tooltip;
        }
    };
    for (const PlotPoint& p : scene.points) consider(p.x, p.y, p.tooltip);
    for (const PlotStation& st : scene.stations) consider(st.x, st.y, st.tooltip);
    return best != nullptr ? *best : std::string();
}

}  // namespace pelvanor
