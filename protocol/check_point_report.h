#pragma once
// The rows of the check point protocol ("Výsledky" > "Kontrolní body"): for
// every check point its surveyed and adjusted coordinates, their
// differences and the number of images it was measured on, then the root
// mean square of the differences and the largest one.

#include <string>
#include <vector>

namespace pelvanor {

// One check point: surveyed X, Y, Z (the control point files) and the X, Y, Z
// an adjustment gave it, in metres.
struct CheckPointRowValues {
    long double number = 0.0L;
    long double surveyed[3] = {0.0L, 0.0L, 0.0L};
    long double adjusted[3] = {0.0L, 0.0L, 0.0L};
    int images = 0;
};

// What the differences (adjusted minus surveyed) of a set of check points
// add up to, in metres.
struct CheckPointStatistics {
    int count = 0;
    long double rms[3] = {0.0L, 0.0L, 0.0L};  // per axis: sqrt(sum d^2 / count)
    long double rmsSpace = 0.0L;              // sqrt(sum (dX^2 + dY^2 + dZ^2) / count)
    long double largest = 0.0L;               // the largest sqrt(dX^2 + dY^2 + dZ^2)
    long double largestNumber = 0.0L;         // the point it belongs to
};

// A control point weighted by its survey: the row of a check point and the
// a priori standard deviations it was weighted with (metres, 0: that
// coordinate carried no weight).
struct WeightedControlRowValues {
    CheckPointRowValues point;
    long double sigma[3] = {0.0L, 0.0L, 0.0L};
};

// The legend of the column names, and the column header of the rows.
extern const std::string kCheckPointLegend;
extern const std::string kCheckPointHeader;

// A row: the point number right-aligned as in the coordinate files, four
// spaces, the surveyed X Y Z, two spaces, the adjusted X Y Z, two spaces,
// the differences adjusted minus surveyed (all signed, six decimals), two
// spaces and the number of images.
std::string CheckPointRow(const CheckPointRowValues& point, char decimal);

// The legend and the header of the weighted control points, and their row:
// the point number, the adjusted X Y Z, the shifts adjusted minus surveyed,
// the a priori standard deviations (four decimals) and each shift divided
// by its standard deviation (two decimals; "-" for a coordinate without
// weight).
extern const std::string kWeightedControlLegend;
extern const std::string kWeightedControlHeader;
std::string WeightedControlRow(const WeightedControlRowValues& values, char decimal);

// The count of the weighted points, the root mean square of their shifts
// per axis and in space and the largest shift with its point number.
std::vector<std::string> WeightedControlSummaryLines(const CheckPointStatistics& statistics, char decimal);

// The count of the points, the root mean square of the differences per
// axis and in space and the largest difference with its point number.
std::vector<std::string> CheckPointSummaryLines(const CheckPointStatistics& statistics, char decimal);

}  // namespace pelvanor
