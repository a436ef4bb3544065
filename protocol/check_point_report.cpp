#include "protocol/check_point_report.h"

#include "matrix/matice.h"
#include "protocol/number_format.h"
#include "protocol/report_layout.h"

namespace pelvanor {

const std::string kCheckPointLegend =
    "X, Y, Z zaměřené; Xv, Yv, Zv vyrovnané; dX, dY, dZ = vyrovnané - zaměřené";
const std::string kCheckPointHeader = Spaces(5) + "Číslo bodu" + Spaces(4) + "X[m]" + Spaces(8) + "Y[m]" +
                                      Spaces(8) + "Z[m]" + Spaces(10) + "Xv[m]" + Spaces(7) + "Yv[m]" +
                                      Spaces(7) + "Zv[m]" + Spaces(9) + "dX[m]" + Spaces(7) + "dY[m]" +
                                      Spaces(7) + "dZ[m]" + Spaces(4) + "Snímků";

const std::string kWeightedControlLegend =
    "Xv, Yv, Zv vyrovnané; dX, dY, dZ = vyrovnané - zaměřené; mX, mY, mZ apriorní směrodatné odchylky";
const std::string kWeightedControlHeader = Spaces(5) + "Číslo bodu" + Spaces(3) + "Xv[m]" + Spaces(7) + "Yv[m]" +
                                           Spaces(7) + "Zv[m]" + Spaces(9) + "dX[m]" + Spaces(5) + "dY[m]" +
                                           Spaces(5) + "dZ[m]" + Spaces(3) + "mX[m]" + Spaces(2) + "mY[m]" +
                                           Spaces(2) + "mZ[m]" + Spaces(3) + "dX/mX" + Spaces(2) + "dY/mY" +
                                           Spaces(2) + "dZ/mZ";

std::string WeightedControlRow(const WeightedControlRowValues& values, char decimal) {
    const CheckPointRowValues& point = values.point;
    std::string row = DumpNumber(point.number, 0) + "    ";
    for (int q = 0; q < 3; ++q) row += (q ? " " : "") + FixedSigned(point.adjusted[q], decimal);
    row += "  ";
    for (int q = 0; q < 3; ++q)
        row += (q ? " " : "") + FormatSigned("0.0000", point.adjusted[q] - point.surveyed[q], decimal);
    row += "  ";
    for (int q = 0; q < 3; ++q) row += (q ? " " : "") + FormatPattern("0.0000", values.sigma[q], decimal);
    row += "  ";
    for (int q = 0; q < 3; ++q) {
        const long double sigma = values.sigma[q];
        const std::string ratio =
            sigma > 0.0L ? FormatSigned("0.00", (point.adjusted[q] - point.surveyed[q]) / sigma, decimal) : "-";
        row += (q ? " " : "") + Spaces(static_cast<int>(ratio.size() < 6 ? 6 - ratio.size() : 0)) + ratio;
    }
    return row;
}

std::vector<std::string> WeightedControlSummaryLines(const CheckPointStatistics& statistics, char decimal) {
    const auto metres = [decimal](long double value) { return FixedSigned(value, decimal).substr(1) + " m"; };
    const char* const axes[3] = {"dX", "dY", "dZ"};
    std::vector<std::string> lines{"Počet vážených vlícovacích bodů: " +
                                   FormatGeneral(static_cast<long double>(statistics.count), decimal)};
    for (int q = 0; q < 3; ++q)
        lines.push_back(std::string("Střední kvadratický posun ") + axes[q] + ": " + metres(statistics.rms[q]));
    lines.push_back("Střední kvadratický posun v prostoru: " + metres(statistics.rmsSpace));
    std::string number = DumpNumber(statistics.largestNumber, 0);
    number.erase(0, number.find_first_not_of(' '));
    lines.push_back("Největší posun v prostoru: " + metres(statistics.largest) + " (bod " + number + ")");
    return lines;
}

std::string CheckPointRow(const CheckPointRowValues& point, char decimal) {
    // Whole point numbers in full, as the coordinate files write them (the
    // general format would turn 10^15 into 1E15).
    std::string row = DumpNumber(point.number, 0) + "    ";
    for (int q = 0; q < 3; ++q) row += (q ? " " : "") + FixedSigned(point.surveyed[q], decimal);
    row += "  ";
    for (int q = 0; q < 3; ++q) row += (q ? " " : "") + FixedSigned(point.adjusted[q], decimal);
    row += "  ";
    for (int q = 0; q < 3; ++q)
        row += (q ? " " : "") + FixedSigned(point.adjusted[q] - point.surveyed[q], decimal);
    row += "  " + FormatGeneral(static_cast<long double>(point.images), decimal);
    return row;
}

std::vector<std::string> CheckPointSummaryLines(const CheckPointStatistics& statistics, char decimal) {
    // Six decimals and at most 15 significant digits, as the coordinates.
    const auto metres = [decimal](long double value) { return FixedSigned(value, decimal).substr(1) + " m"; };
    const char* const axes[3] = {"dX", "dY", "dZ"};
    std::vector<std::string> lines{"Počet kontrolních bodů: " +
                                   FormatGeneral(static_cast<long double>(statistics.count), decimal)};
    for (int q = 0; q < 3; ++q)
        lines.push_back(std::string("Střední kvadratická odchylka ") + axes[q] + ": " + metres(statistics.rms[q]));
    lines.push_back("Střední kvadratická odchylka v prostoru: " + metres(statistics.rmsSpace));
    std::string number = DumpNumber(statistics.largestNumber, 0);
    number.erase(0, number.find_first_not_of(' '));
    lines.push_back("Největší odchylka v prostoru: " + metres(statistics.largest) + " (bod " + number + ")");
    return lines;
}

}  // namespace pelvanor
