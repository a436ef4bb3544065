#include "project/plot_scene.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "orientation/collinearity.h"
#include "project/distortion_view.h"
#include "project/plan_view.h"
#include "project/residual_view.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace scene_detail {

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

PlotScene NewScene(PlotView view, bool yDown, bool residuals, const PlotRequest& request, char decimal) {
    PlotScene scene;
    scene.view = view;
    scene.yDown = yDown;
    scene.decimal = decimal;
    scene.residuals = residuals;
    scene.pointNumbers = request.pointNumbers;
    return scene;
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

}  // namespace scene_detail

using namespace scene_detail;

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
        scene.title = request.view == PlotView::LensDistortion
                          ? TitleLine("Zkreslení objektivu", "před a po kalibraci", projectName)
                          : TitleLine(request.view == PlotView::ImageResiduals ? "Rezidua snímku" : "Půdorys bloku",
                                      request.view == PlotView::ImageResiduals
                                          ? "Snimek " + std::to_string(request.image)
                                          : PlaneName(request.axes),
                                      projectName);
        scene.note = "Vstupní soubory se od posledního výpočtu změnily; spusťte výpočet znovu.";
        return scene;
    }
    // The distortion view draws the calibration's own record and needs no
    // other result.
    if (request.view == PlotView::LensDistortion) return DistortionScene(state, request, decimal, projectName);
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

}  // namespace pelvanor
