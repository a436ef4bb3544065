#include "project/result_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>

#include "matrix/fp_guard.h"
#include "orientation/collinearity.h"
#include "project/log_texts.h"

namespace pelvanor {

namespace {

using detail::IndexValue;
using detail::kWarn;
using detail::ListText;
using detail::NumberText;

// ---------------------------------------------------------------------------
// Thresholds.

// A projection centre or an object point farther from the centroid of the
// control points than this many times their spread (the root mean square of
// their distances from the centroid).  In a workable block the object points
// lie among the control points or close around them (extrapolating far
// beyond the control is already unreliable), and the cameras stand at a few
// control extents in close range and at most a few tens of them with long
// focal lengths or in aerial blocks (the real aerial test block: 1.8 km
// above control of 0.46 km spread, four spreads).  A hundredfold distance is no network at all:
// it is the mark of a diverged solution or of files paired with the wrong
// images.
constexpr long double kFarFactor = 100.0L;

// Two projection centres are "nearly the same" when the distance between
// them (the base) is below this fraction of their distance from the control
// points' centroid.  The intersection angle of the two rays to a point is
// about base / distance: at 1/1000 (0.06 degree) the depth of a point seen
// from these two images is a thousand times less precise than its position
// across the rays, so the pair contributes no base.  The same image loaded
// twice, or the same station used twice, gives exactly 0.
constexpr long double kNoBaseRatio = 1.0e-3L;

// A residual (computed minus measured, either coordinate) larger than the
// extent of the measured image coordinates of that image (the larger of the
// x and y ranges of all its measurements): the computed image point falls
// outside the measured area, which no measuring error can do.  The extent of
// the measurements stands for the frame, whose size the program is not told.

// A standard deviation of an object coordinate below this fraction of the
// control points' spread is "zero".  The best close-range photogrammetry
// reaches about 1 : 1 000 000 of the object's size; ten times better than
// that is no precision but rays without residuals: identical images, or a
// point determined without any redundancy.  (The real calibration sheet:
// 2.5e-5 of its spread; one image of the facade example loaded six times:
// of the order of 1e-8.)  Exact zeros count whether or not the spread is
// known.
constexpr long double kZeroDeviationRatio = 1.0e-7L;

// ---------------------------------------------------------------------------
// Geometry of the control.

struct Point3 {
    long double X = 0.0L;
    long double Y = 0.0L;
    long double Z = 0.0L;
};

long double Distance(const Point3& a, const Point3& b) {
    return std::sqrt((a.X - b.X) * (a.X - b.X) + (a.Y - b.Y) * (a.Y - b.Y) + (a.Z - b.Z) * (a.Z - b.Z));
}

struct ControlFrame {
    Point3 centroid;
    long double spread = 0.0L;
    bool valid = false;
};

// Centroid and spread of the distinct control points (first row of each
// positive number; rows of number 0 are empty lines).
ControlFrame FrameOfControl(const ProjectState& s) {
    ControlFrame frame;
    const Matice* cp = s.ControlPoints.get();
    if (!cp || cp->s < 4) return frame;
    std::set<long double> seen;
    std::vector<Point3> points;
    for (int i = 1; i <= cp->r; ++i) {
        const long double number = std::nearbyint(cp->GetPrvek(i, 1));
        if (!(number > 0.0L) || !seen.insert(number).second) continue;
        points.push_back({cp->GetPrvek(i, 2), cp->GetPrvek(i, 3), cp->GetPrvek(i, 4)});
    }
    if (points.size() < 2) return frame;
    frame.valid = GuardedComputation([&] {
        const long double n = static_cast<long double>(points.size());
        for (const Point3& p : points) {
            frame.centroid.X += p.X / n;
            frame.centroid.Y += p.Y / n;
            frame.centroid.Z += p.Z / n;
        }
        long double sum = 0.0L;
        for (const Point3& p : points) {
            const long double d = Distance(p, frame.centroid);
            sum += d * d;
        }
        frame.spread = std::sqrt(sum / n);
        FpBarrier(frame.spread);
        return frame.spread > 0.0L;
    });
    return frame;
}

// ---------------------------------------------------------------------------
// Orientations of the images.

struct ImageOrientation {
    int image = 0;
    Point3 centre;
    long double alfa = 0.0L;
    long double beta = 0.0L;
    long double gama = 0.0L;
    long double f = 0.0L;
};

// One adjustment's (or the refinement's) orientations, with the name the
// warnings give it.
struct OrientationSet {
    std::string label;
    std::vector<ImageOrientation> images;  // in image order
};

// From the unknowns of an adjustment: X0 Y0 Z0 alfa beta gama (f) from the
// image's first position; `f` when the adjustment holds no f of its own.
OrientationSet FromUnknowns(const char* label, const Matice* unknowns, const Matice* imageIndex,
                            bool ownF, long double f) {
    OrientationSet set{label, {}};
    if (!unknowns || !imageIndex || imageIndex->s < 1) return set;
    for (int j = 1; j <= imageIndex->r; ++j) {
        const long long first = IndexValue(imageIndex->GetPrvek(j, 1));
        if (first < 1 || first + (ownF ? 6 : 5) > unknowns->r) return {label, {}};
        const auto at = [&](long long k) { return unknowns->GetPrvek(static_cast<int>(first + k), 1); };
        ImageOrientation o;
        o.image = j;
        o.centre = {at(0), at(1), at(2)};
        o.alfa = at(3);
        o.beta = at(4);
        o.gama = at(5);
        o.f = ownF ? at(6) : f;
        set.images.push_back(o);
    }
    return set;
}

OrientationSet WithoutF(const ProjectState& s) {
    return FromUnknowns("vyrovnání bez konstanty komory", s.BundleUnknowns.get(), s.BundleImageIndex.get(),
                        false, s.Camera.f);
}

OrientationSet WithF(const ProjectState& s) {
    return FromUnknowns("vyrovnání s konstantou komory", s.BundleUnknownsF.get(), s.BundleImageIndexF.get(),
                        true, s.Camera.f);
}

// Projection centres of the refined approximate orientation (columns 10..12).
OrientationSet FromRefinement(const ProjectState& s) {
    OrientationSet set{"přibližná orientace", {}};
    const Matice* refined = s.OrientationRefined.get();
    if (!refined || refined->s < 12) return set;
    for (int j = 1; j <= refined->r; ++j) {
        ImageOrientation o;
        o.image = j;
        o.centre = {refined->GetPrvek(j, 10), refined->GetPrvek(j, 11), refined->GetPrvek(j, 12)};
        set.images.push_back(o);
    }
    return set;
}

// ---------------------------------------------------------------------------
// Checks on results.

void PassLimitWarnings(const ProjectState& s, std::vector<std::string>& out) {
    const auto line = [&](const char* which, std::int32_t passes) {
        out.push_back(std::string(kWarn) + "Svazkové vyrovnání " + which +
                      " nekonvergovalo (skončilo na limitu " + std::to_string(passes) +
                      " iterací, tolerance nesplněna)");
    };
    if (s.BundleUnknowns && s.BundlePassLimitReached) line("bez konstanty komory", s.BundleIterations);
    if (s.BundleUnknownsF && s.BundlePassLimitReachedF) line("s konstantou komory", s.BundleIterationsF);
}

bool Far(const ControlFrame& frame, const Point3& p) {
    if (!frame.valid) return false;
    long double d = 0.0L;
    // Positions too large even to square are certainly far.
    if (!GuardedComputation([&] {
            d = Distance(p, frame.centroid);
            FpBarrier(d);
            return true;
        }))
        return true;
    return d > kFarFactor * frame.spread;
}

std::string FarPrefix(const std::string& label) {
    return std::string(kWarn) + "Dál od těžiště vlícovacích bodů než 100násobek jejich rozptylu (" + label + "): ";
}

void FarCentreWarning(const ControlFrame& frame, const OrientationSet& set, std::vector<std::string>& out) {
    std::vector<std::string> images;
    for (const ImageOrientation& o : set.images)
        if (Far(frame, o.centre)) images.push_back(std::to_string(o.image));
    if (images.empty()) return;
    out.push_back(FarPrefix(set.label) +
                  (images.size() == 1 ? "střed promítání snímku " : "středy promítání snímků ") + ListText(images));
}

// Clusters of images whose projection centres are nearly the same (single
// linkage: a chain of close pairs is one cluster).
void SameCentreWarnings(const ControlFrame& frame, const OrientationSet& set, std::vector<std::string>& out) {
    const std::size_t n = set.images.size();
    if (n < 2) return;
    std::vector<std::size_t> cluster(n);
    for (std::size_t i = 0; i < n; ++i) cluster[i] = i;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const Point3& a = set.images[i].centre;
            const Point3& b = set.images[j].centre;
            bool close = false;
            GuardedComputation([&] {
                long double reference = 0.5L * (Distance(a, frame.centroid) + Distance(b, frame.centroid));
                if (frame.valid) reference = std::max(reference, frame.spread);
                close = Distance(a, b) <= kNoBaseRatio * reference;
                return true;
            });
            if (!close) continue;
            const std::size_t from = cluster[j];
            const std::size_t to = cluster[i];
            for (std::size_t& c : cluster)
                if (c == from) c = to;
        }
    }
    for (std::size_t root = 0; root < n; ++root) {
        std::vector<std::string> images;
        for (std::size_t i = 0; i < n; ++i)
            if (cluster[i] == root) images.push_back(std::to_string(set.images[i].image));
        if (images.size() < 2) continue;
        out.push_back(std::string(kWarn) + "Snímky " + ListText(images) +
                      " mají (téměř) stejný střed promítání, mezi nimi není základna (" + set.label + ")");
    }
}

void FarPointWarning(const ControlFrame& frame, const std::string& label, const std::vector<long double>& numbers,
                     const std::vector<Point3>& points, std::vector<std::string>& out) {
    std::vector<std::string> far;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (Far(frame, points[i])) far.push_back(NumberText(numbers[i]));
    if (far.empty()) return;
    out.push_back(FarPrefix(label) + (far.size() == 1 ? "bod " : "body ") + ListText(far));
}

// Extent of the measured (corrected) image coordinates of every image.
std::vector<long double> ImageExtents(const ProjectState& s, std::size_t images) {
    std::vector<long double> lo_x(images, 0.0L), hi_x(images, 0.0L), lo_y(images, 0.0L), hi_y(images, 0.0L);
    std::vector<bool> any(images, false);
    const auto add = [&](const Matice* table, const Matice* ranges, int xColumn) {
        if (!table || !ranges || ranges->s < 2 || table->s < xColumn + 1) return;
        for (int j = 1; j <= ranges->r && static_cast<std::size_t>(j) <= images; ++j) {
            const long long first = IndexValue(ranges->GetPrvek(j, 1));
            const long long last = IndexValue(ranges->GetPrvek(j, 2));
            for (long long row = std::max(first, 1LL); row <= last && row <= table->r; ++row) {
                const int i = static_cast<int>(row);
                if (!(std::nearbyint(table->GetPrvek(i, 1)) > 0.0L)) continue;
                const long double x = table->GetPrvek(i, xColumn);
                const long double y = table->GetPrvek(i, xColumn + 1);
                const std::size_t k = static_cast<std::size_t>(j - 1);
                if (!any[k]) {
                    lo_x[k] = hi_x[k] = x;
                    lo_y[k] = hi_y[k] = y;
                    any[k] = true;
                }
                lo_x[k] = std::min(lo_x[k], x);
                hi_x[k] = std::max(hi_x[k], x);
                lo_y[k] = std::min(lo_y[k], y);
                hi_y[k] = std::max(hi_y[k], y);
            }
        }
    };
    add(s.ImagePointsCorrected.get(), s.ImagePointRanges.get(), 2);
    add(s.ControlPointsCorrected.get(), s.ControlPointRanges.get(), 5);
    std::vector<long double> extent(images, 0.0L);
    for (std::size_t k = 0; k < images; ++k)
        if (any[k]) extent[k] = std::max(hi_x[k] - lo_x[k], hi_y[k] - lo_y[k]);
    return extent;
}

// One measurement of a point: the image and the measured corrected x, y.
struct Measurement {
    int image = 0;
    long double x = 0.0L;
    long double y = 0.0L;
};

// The measurements of row `row` of an index table (number, then (row,
// image) pairs; negative images are control measurements).
std::vector<Measurement> MeasurementsOf(const ProjectState& s, const Matice& index, int row) {
    std::vector<Measurement> list;
    for (int col = 2; col + 1 <= index.s; col += 2) {
        const long long tableRow = IndexValue(index.GetPrvek(row, col));
        const long long image = IndexValue(index.GetPrvek(row, col + 1));
        if (image == 0 || tableRow < 1) continue;
        const Matice* table = image < 0 ? s.ControlPointsCorrected.get() : s.ImagePointsCorrected.get();
        const int xColumn = image < 0 ? 5 : 2;
        if (!table || tableRow > table->r || table->s < xColumn + 1) continue;
        list.push_back({static_cast<int>(std::llabs(image)), table->GetPrvek(static_cast<int>(tableRow), xColumn),
                        table->GetPrvek(static_cast<int>(tableRow), xColumn + 1)});
    }
    return list;
}

// The largest residual (computed minus measured, either coordinate) of a
// measurement; false when the image point cannot be computed at all (the
// point on the camera's principal plane, or values beyond the range).
bool LargestResidual(const Point3& p, const Measurement& m, const ImageOrientation& o, long double x0,
                     long double y0, long double& residual) {
    return GuardedComputation([&] {
        MatPtr R;
        if (!RotationMatrix(R, o.alfa, o.beta, o.gama)) return false;
        MatPtr point = NewMatrix(1, 5);
        point->SetPrvek(1, 1, p.X);
        point->SetPrvek(1, 2, p.Y);
        point->SetPrvek(1, 3, p.Z);
        point->SetPrvek(1, 4, m.x);
        point->SetPrvek(1, 5, m.y);
        MatPtr design, misclosure;
        const long double* r = R->Row(1);
        if (!CollinearityRows3(*point, design, misclosure, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8],
                               o.centre.X, o.centre.Y, o.centre.Z, x0, y0, o.f) ||
            !misclosure || misclosure->r < 2)
            return false;
        residual = std::max(std::fabs(misclosure->GetPrvek(1, 1)), std::fabs(misclosure->GetPrvek(2, 1)));
        FpBarrier(residual);
        return true;
    });
}

// Points of a result with the index table row that holds their measurements.
struct ResultPoints {
    std::string label;
    const Matice* index = nullptr;  // rows aligned with the points
    std::vector<long double> numbers;
    std::vector<Point3> points;
};

void ResidualWarning(const ProjectState& s, const ResultPoints& result, const OrientationSet& set,
                     std::vector<std::string>& out) {
    if (!result.index || set.images.empty()) return;
    const std::vector<long double> extent = ImageExtents(s, set.images.size());
    std::vector<std::string> items;
    for (std::size_t k = 0; k < result.points.size() && static_cast<int>(k) < result.index->r; ++k) {
        for (const Measurement& m : MeasurementsOf(s, *result.index, static_cast<int>(k) + 1)) {
            if (m.image < 1 || static_cast<std::size_t>(m.image) > set.images.size()) continue;
            const long double limit = extent[static_cast<std::size_t>(m.image - 1)];
            if (!(limit > 0.0L)) continue;
            long double residual = 0.0L;
            const bool computed = LargestResidual(result.points[k], m, set.images[static_cast<std::size_t>(m.image - 1)],
                                                  s.Camera.x0, s.Camera.y0, residual);
            if (computed && residual <= limit) continue;
            items.push_back("bod " + NumberText(result.numbers[k]) + " na snímku " + std::to_string(m.image));
        }
    }
    if (items.empty()) return;
    out.push_back(std::string(kWarn) + "Opravy snímkových souřadnic větší než rozsah měření na snímku (" +
                  result.label + "): " + ListText(items));
}

// The points an adjustment determined: row i of the point list, unknowns
// 3i-2 .. 3i.
ResultPoints AdjustedPoints(const ProjectState& s, const OrientationSet& set, const Matice* unknowns) {
    ResultPoints result{set.label, s.BundleObservationTable.get(), {}, {}};
    const Matice* list = s.BundleObservationTable.get();
    if (!list || !unknowns || set.images.empty()) return {set.label, nullptr, {}, {}};
    for (int i = 1; i <= list->r && 3 * i <= unknowns->r; ++i) {
        result.numbers.push_back(list->GetPrvek(i, 1));
        result.points.push_back(
            {unknowns->GetPrvek(3 * i - 2, 1), unknowns->GetPrvek(3 * i - 1, 1), unknowns->GetPrvek(3 * i, 1)});
    }
    return result;
}

// The computed object points; their measurements are the rows of the tie
// point index table.
ResultPoints ObjectPointResult(const ProjectState& s) {
    ResultPoints result{"Souřadnice XYZ", s.TiePointOccurrences.get(), {}, {}};
    const Matice* op = s.ObjectPoints.get();
    if (!op || op->s < 4) return {"Souřadnice XYZ", nullptr, {}, {}};
    for (int i = 1; i <= op->r; ++i) {
        result.numbers.push_back(op->GetPrvek(i, 1));
        result.points.push_back({op->GetPrvek(i, 2), op->GetPrvek(i, 3), op->GetPrvek(i, 4)});
    }
    // The index must describe the same points row for row.
    const Matice* index = result.index;
    if (!index || index->r < op->r) result.index = nullptr;
    for (int i = 1; result.index && i <= op->r; ++i)
        if (std::nearbyint(index->GetPrvek(i, 1)) != std::nearbyint(op->GetPrvek(i, 1))) result.index = nullptr;
    return result;
}

void ZeroDeviationWarning(const ControlFrame& frame, const ProjectState& s, std::vector<std::string>& out) {
    const Matice* op = s.ObjectPoints.get();
    if (!op || op->s < 8) return;
    const long double zero = frame.valid ? kZeroDeviationRatio * frame.spread : 0.0L;
    std::vector<std::string> points;
    for (int i = 1; i <= op->r; ++i) {
        bool any = false;
        for (int col = 6; col <= 8; ++col) any |= std::fabs(op->GetPrvek(i, col)) <= zero;
        if (any) points.push_back(NumberText(op->GetPrvek(i, 1)));
    }
    if (points.empty()) return;
    out.push_back(std::string(kWarn) + "(Téměř) nulové směrodatné odchylky souřadnic (Souřadnice XYZ): " +
                  (points.size() == 1 ? "bod " : "body ") + ListText(points));
}

}  // namespace

std::vector<std::string> ResultWarnings(const ProjectState& s, ComputingCommand command) {
    std::vector<std::string> out;
    const ControlFrame frame = FrameOfControl(s);
    if (command == ComputingCommand::Orientation) {
        const OrientationSet refined = FromRefinement(s);
        FarCentreWarning(frame, refined, out);
        SameCentreWarnings(frame, refined, out);
        return out;
    }
    PassLimitWarnings(s, out);
    const OrientationSet withoutF = WithoutF(s);
    const OrientationSet withF = WithF(s);
    for (const OrientationSet* set : {&withoutF, &withF}) {
        FarCentreWarning(frame, *set, out);
        SameCentreWarnings(frame, *set, out);
    }
    if (command == ComputingCommand::Bundle) {
        const std::pair<const OrientationSet*, const Matice*> adjustments[] = {
            {&withoutF, s.BundleUnknowns.get()}, {&withF, s.BundleUnknownsF.get()}};
        for (const auto& [set, unknowns] : adjustments) {
            const ResultPoints points = AdjustedPoints(s, *set, unknowns);
            FarPointWarning(frame, points.label, points.numbers, points.points, out);
            ResidualWarning(s, points, *set, out);
        }
        return out;
    }
    const ResultPoints points = ObjectPointResult(s);
    FarPointWarning(frame, points.label, points.numbers, points.points, out);
    // The intersection used the orientations of the adjustment with the
    // camera constant when that setting is on.
    ResidualWarning(s, points, s.Settings.AdjustCameraConstant ? withF : withoutF, out);
    ZeroDeviationWarning(frame, s, out);
    return out;
}

}  // namespace pelvanor
