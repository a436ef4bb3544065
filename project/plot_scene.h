#pragma once
// What the pictures of the block draw, computed from the project state
// without any drawing library: the scene every view fills (points, vectors,
// ellipses, stations, scale bars, legend), the choice of the view, and what
// the views share while they build their scenes.  Each view has its own
// file: the image residual view (project/residual_view.h: the measurements
// of one image in its own coordinates with their residual vectors) and the
// block plan (project/plan_view.h: object points, control points, camera
// stations with their viewing direction, standard deviation ellipses); the
// page mapping is project/plot_viewport.h.  A renderer only maps
// the items to the page and draws them; the choice of what is drawn, the
// extents, the magnification of residuals and ellipses and the scale bars
// are made here, so that they are tested without pixels.
//
// Drawing coordinates are data units: image coordinate units in the
// residual and the distortion views (the measuring system: x as in the files, y growing
// downwards like the files' y), object units (metres) in the plan.  Vectors
// and ellipses are already magnified into drawing units.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "matrix/arithmetic.h"
#include "project/project_state.h"

namespace pelvanor {

enum class PlotView { ImageResiduals, BlockPlan, LensDistortion };
enum class PlanAxes { XY, XZ, YZ };

struct PlotRequest {
    PlotView view = PlotView::ImageResiduals;
    int image = 1;  // residual view: 1-based image number
    PlanAxes axes = PlanAxes::XY;
    bool pointNumbers = false;  // write the point numbers beside the symbols
};

struct PlotRect {
    double xmin = 0.0;
    double xmax = 0.0;
    double ymin = 0.0;
    double ymax = 0.0;
    double Width() const { return xmax - xmin; }
    double Height() const { return ymax - ymin; }
};

// A measured image point (residual view) or an object point (plan).
struct PlotPoint {
    double x = 0.0;
    double y = 0.0;
    long long number = 0;
    bool control = false;        // control point: triangle; else a circle
    bool adjusted = true;        // residual view: entered the kept adjustment (filled symbol)
    bool robustOutlier = false;  // removed by the robust estimation
    bool fTestFailed = false;    // failed the F-test of "Souřadnice XYZ"
    bool dot = false;            // only a measured position: a small grey dot
    std::string label;           // the number as written beside it
    std::string tooltip;         // UTF-8, lines separated by '\n'
};

// How a vector or a line is drawn: a residual, an axis or a grid line of a
// graph, or the lens distortion before or after the calibration.
enum class PlotStroke { Plain, Axis, Grid, Before, After };

// A residual vector from (x, y), magnified: (x + dx, y + dy) is its tip.
struct PlotVector {
    double x = 0.0;
    double y = 0.0;
    double dx = 0.0;
    double dy = 0.0;
    // From the spatial intersection of a point that did not enter the kept
    // bundle adjustment (drawn dashed), not from the bundle adjustment.
    bool fromIntersection = false;
    long long number = 0;
    PlotStroke stroke = PlotStroke::Plain;
};

// A polyline through (x[i], y[i]) in drawing units.
struct PlotPolyline {
    std::vector<double> x;
    std::vector<double> y;
    PlotStroke stroke = PlotStroke::Axis;
};

// A text at a drawing point: `horizontal` -1 ends it there, 0 centres it, 1
// starts it there; `vertical` -1 puts it above the point, 0 centres it, 1
// puts it below (on the page, whichever way the drawing's y grows).
struct PlotLabel {
    double x = 0.0;
    double y = 0.0;
    std::string text;
    int horizontal = 1;
    int vertical = 0;
    bool bold = false;
};

// A standard deviation ellipse about (x, y), semi-axes magnified.
struct PlotEllipse {
    double x = 0.0;
    double y = 0.0;
    double rx = 0.0;
    double ry = 0.0;
    long long number = 0;
};

// A camera station: the projection centre and the viewing direction, whose
// tip is (x + dx, y + dy) (the unit axis in space, scaled and projected into
// the plane, so a camera looking across the plane shows a short stub).
struct PlotStation {
    double x = 0.0;
    double y = 0.0;
    double dx = 0.0;
    double dy = 0.0;
    int image = 0;
    std::string label;
    std::string tooltip;
};

// A bar of `length` drawing units with its caption.
struct PlotScaleBar {
    double length = 0.0;
    double value = 0.0;  // the length in the unit of the caption (before magnification)
    std::string label;
};

enum class PlotSymbol {
    ControlPoint, TiePoint, TiePointNotAdjusted, RobustOutlier, FTestFailed,
    Residual, IntersectionResidual, PrincipalPoint, Station, Ellipse,
    MeasuredPosition, DistortionBefore, DistortionAfter,
};

struct PlotLegendEntry {
    PlotSymbol symbol = PlotSymbol::TiePoint;
    std::string text;
};

struct PlotScene {
    PlotView view = PlotView::ImageResiduals;
    std::string title;     // the title line: view, image or plane, project, program
    std::string subtitle;  // counts, magnification, units
    std::string xCaption;
    std::string yCaption;
    bool yDown = false;    // drawing y grows downwards on the page
    PlotRect extent;       // what "Celý pohled" shows
    bool hasFrame = false;
    PlotRect frame;        // residual view: the image frame
    double principalX = 0.0;
    double principalY = 0.0;
    std::vector<PlotPoint> points;
    std::vector<PlotVector> vectors;
    std::vector<PlotEllipse> ellipses;
    std::vector<PlotStation> stations;
    std::vector<PlotPolyline> lines;
    std::vector<PlotLabel> labels;
    double magnification = 0.0;  // of the residual or distortion vectors or the ellipses; 0 when none is drawn
    PlotScaleBar lengthBar;      // coordinates, unmagnified
    PlotScaleBar magnifiedBar;   // residuals, corrections or standard deviations; length = value * magnification
    std::vector<PlotLegendEntry> legend;
    bool pointNumbers = false;
    std::string note;  // why nothing is drawn, empty when something is
    // What the scale bar captions are written with.
    char decimal = '.';
    std::string lengthUnit;  // " m" in the plan; image units have no name
    bool residuals = true;   // the magnified bar shows residuals, else standard deviations
};

// The bundle adjustment's results the pictures need are there.
bool PlotsAvailable(const ProjectState& state);
// Number of images of the loaded project (0 when none).
int PlotImageCount(const ProjectState& state);

// The scene of one view.  `decimal` is the locale's decimal separator for
// every number written; `projectName` (may be empty) enters the title line.
PlotScene BuildPlotScene(const ProjectState& state, const PlotRequest& request, char decimal,
                         const std::string& projectName);

// The largest of 1, 2, 5 times a power of ten that does not exceed `value`
// (value > 0); 0 for a value that is not positive and finite.
double NiceBelow(double value);

// Magnification that draws a vector of length `typical` at `target` drawing
// units, rounded down to 1, 2 or 5 times a power of ten; 0 when `typical`
// is not positive.
double ChooseMagnification(double typical, double target);

// Scale bars for a view drawn at `pixelsPerUnit`: the coordinate bar about
// a fifth and the magnified bar about a sixth of `widthPixels` long, their
// values 1, 2 or 5 times a power of ten (the scene's own bars are those of
// "Celý pohled"; zooming changes what a bar should measure).
PlotScaleBar LengthBarAt(const PlotScene& scene, double pixelsPerUnit, double widthPixels);
PlotScaleBar MagnifiedBarAt(const PlotScene& scene, double pixelsPerUnit, double widthPixels);

// What the views share while they build their scenes; not for renderers.
namespace scene_detail {

// Point numbers are whole numbers of up to 63 bits, as RoundId gives them.
using PointNumber = decltype(RoundId(0.0L));

// Drawn sizes relative to the larger side of what is drawn: the scale bars.
inline constexpr double kLengthBar = 1.0 / 5.0;
inline constexpr double kResidualBar = 1.0 / 6.0;
inline constexpr double kEllipseBar = 1.0 / 10.0;

// A table with at least one entry.
bool Has(const MatPtr& m);
double D(long double v);
// Number of decimals that resolves about a thousandth of `reference`
// (clamped to 0 .. 9).
int DecimalsFor(double reference, int digits);
// "0.000" for 3 decimals, "0" for none.
std::string Pattern(int decimals);
std::string Fixed(long double value, int decimals, char decimal);
double Median(std::vector<double> values);
// Point numbers of a table's first column (the 1 x 1 zero table is empty).
std::set<PointNumber> NumberSet(const MatPtr& m);

// The adjustment whose results the pictures show: the one with a camera
// constant per image when its residuals exist (its orientations are the ones
// the object coordinates were intersected with), else the one without.
struct KeptAdjustment {
    const Matice* unknowns = nullptr;
    const Matice* imageIndex = nullptr;
    const Matice* residuals = nullptr;
    bool withF = false;
};

KeptAdjustment Kept(const ProjectState& s);

// Exterior orientation of one image from the kept unknowns.
struct StationOrientation {
    long double X0 = 0.0L, Y0 = 0.0L, Z0 = 0.0L;
    long double alfa = 0.0L, beta = 0.0L, gama = 0.0L;
    long double f = 0.0L;
    long double r[9] = {};
};

bool OrientationOf(const ProjectState& s, const KeptAdjustment& k, int image, StationOrientation& o);

// "nevyhověl F-testu (kritérium 5,12 > 1,90)" for a row of ObjectPoints.
std::string FTestLine(const ProjectState& s, std::int32_t objectRow, char decimal);
// F-test failures: the computed points that are not among the passed ones.
std::set<std::int32_t> FailedFTest(const ProjectState& s);

// Grows `r` to take in (x, y); the first point sets it when `empty`.
void Include(PlotRect& r, bool& empty, double x, double y);
// `r` grown by `margin` of its larger side, each side at least a fifth of it.
PlotRect Padded(PlotRect r, double margin);
// A scene of `view` before anything is drawn: which way its y grows, whether
// its magnified bar shows residuals (else standard deviations), and the
// request's point numbers and the decimal separator.
PlotScene NewScene(PlotView view, bool yDown, bool residuals, const PlotRequest& request, char decimal);
// "view - detail - project - program Pelvanor".
std::string TitleLine(const std::string& view, const std::string& detail, const std::string& projectName);
// The coordinate bar of `value` drawing units.
PlotScaleBar LengthBar(const PlotScene& scene, double value);
// The bar of a residual or a standard deviation of `value`, magnified.
PlotScaleBar MagnifiedBar(const PlotScene& scene, double value);
void AddLegend(PlotScene& scene, PlotSymbol symbol, const char* text);

}  // namespace scene_detail

}  // namespace pelvanor
