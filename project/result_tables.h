#pragma once
// The results of a computed project as records and as tables for
// "Výsledky" > "Tabulka výsledků": the computed points with their standard
// deviations and F-test, the images with their adjusted exterior
// orientation and its precision, and the check points.  Read from the state
// as the protocols read it, so the window's tables, the clipboard, the
// exports and the protocols always tell the same.

#include <string>
#include <vector>

#include "project/project_state.h"

namespace pelvanor {

// A computed point of "Souřadnice XYZ" (a row of ObjectPoints).
struct PointResult {
    long double number = 0.0L;
    long double X = 0.0L, Y = 0.0L, Z = 0.0L;
    long double m0 = 0.0L;
    long double sigma[3] = {0.0L, 0.0L, 0.0L};  // Mx, My, Mz
    long double criterion = 0.0L;               // of the F-test
    long double quantile = 0.0L;
    bool passed = true;  // among FTestPassed
    int images = 0;      // images it was measured on
};

// Every computed point in the order of ObjectPoints; empty without
// computed coordinates.
std::vector<PointResult> PointResults(const ProjectState& state);

// A control point as surveyed: its first row in the control point files.
struct ControlPointRecord {
    long double number = 0.0L;
    long double X = 0.0L, Y = 0.0L, Z = 0.0L;
};
// The distinct control points of the loaded files, in the order they first
// appear; empty without control points.
std::vector<ControlPointRecord> ControlPointRecords(const ProjectState& state);

// An image of the bundle adjustment whose results are kept: the one with a
// camera constant per image when it ran and was kept (its orientations are
// the ones the coordinates were intersected with), else the one without.
struct StationResult {
    int image = 0;
    long double X0 = 0.0L, Y0 = 0.0L, Z0 = 0.0L;
    long double alfa = 0.0L, beta = 0.0L, gama = 0.0L;  // radians
    bool hasF = false;
    long double f = 0.0L;  // the image's own camera constant (hasF)
    // Standard deviations of X0, Y0, Z0, alfa, beta, gama (and f) from the
    // cofactor matrix of the adjustment; hasSigma false when it has none
    // (a datum defect).
    bool hasSigma = false;
    long double sigma[7] = {0.0L, 0.0L, 0.0L, 0.0L, 0.0L, 0.0L, 0.0L};
    // Root mean square of the residuals vx, vy of its measurements in the
    // adjustment, image units, and how many measurements those were.
    long double rms = 0.0L;
    int points = 0;
};
std::vector<StationResult> StationResults(const ProjectState& state);

// One shown cell: its text and the key it sorts by (the value of a number;
// the order of a text's values, such as the failed F-test before the
// passed one).
struct ResultCell {
    std::string text;
    double key = 0.0;
    bool numeric = true;  // a number (right-aligned), else a text
};

// A table of the window: its column captions, its rows and, per row, the
// point number (points, check points) or image number (images) it shows.
struct ResultTable {
    std::vector<std::string> columns;
    std::vector<std::vector<ResultCell>> rows;
    std::vector<long double> ids;
};

// The three tables, numbers written with `decimal`.  The F-test verdict
// sorts the failed points before the passed ones.
ResultTable PointTable(const ProjectState& state, char decimal);
ResultTable StationTable(const ProjectState& state, char decimal);
ResultTable CheckPointTable(const ProjectState& state, char decimal);

// The table as tab-separated text for the clipboard: the captions, then
// the rows in `order` (indices into table.rows; all in their order when
// empty), each line ended by "\n".
std::string TabSeparated(const ResultTable& table, const std::vector<std::size_t>& order = {});

}  // namespace pelvanor
