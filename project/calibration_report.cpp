#include "project/calibration_report.h"

#include <cmath>

#include "matrix/elementary.h"
#include "project/log_texts.h"
#include "protocol/number_format.h"
#include "protocol/report_layout.h"

namespace pelvanor {

namespace {

// `text` (ASCII: numbers, names, "ano", "ne") padded with spaces to `width`
// characters; a longer text keeps its length and one space follows.
std::string Cell(const std::string& text, std::size_t width) {
    if (text.size() >= width) return text + " ";
    return text + std::string(width - text.size(), ' ');
}

// `text` right-aligned in `width` characters.
std::string Right(const std::string& text, std::size_t width) {
    if (text.size() >= width) return text;
    return std::string(width - text.size(), ' ') + text;
}

// A standard deviation to three significant digits: more would be noise.
long double ThreeDigits(long double value) {
    if (!(value > 0.0L) || !std::isfinite(value)) return value;
    const long double scale = Pow(10.0L, static_cast<long double>(DecimalExponentOf(value) - 2));
    return std::round(value / scale) * scale;
}

// Characters of a UTF-8 text (the bytes that do not continue a sequence).
int Characters(const std::string& text) {
    int count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// A subsection heading underlined by "-" of its length.
// A calibrated value to two digits beyond the first digit of its standard
// deviation: the digits the data determine, and no more.
long double ToItsAccuracy(long double value, long double sd) {
    if (!(sd > 0.0L) || !std::isfinite(sd)) return value;
    const long double scale = Pow(10.0L, static_cast<long double>(DecimalExponentOf(sd) - 2));
    return std::round(value / scale) * scale;
}

void Heading(std::vector<std::string>& lines, const std::string& heading) {
    lines.push_back(heading);
    lines.push_back(Rule('-', Characters(heading)));
}

std::string Count(long double value, char decimal) { return FormatGeneral(value, decimal); }

// Column widths of the parameter table.
constexpr std::size_t kName = 10, kValue = 24, kSd = 16, kRatio = 12, kFree = 9;
// Column widths of the correlation table.
constexpr std::size_t kCorrelation = 9;
// Column widths of the residual tables.
constexpr std::size_t kLabel = 10, kNumber = 12;

}  // namespace

std::vector<std::string> CalibrationReportLines(const CameraCalibrationResult& r, char decimal) {
    const CalibrationSummary& s = r.summary;
    std::vector<std::string> lines;
    const std::string title = "Kalibrace kamery - program Pelvanor";
    lines.push_back(title);
    lines.push_back(Rule('*', Characters(title)));
    lines.push_back(kBlankLine);
    lines.push_back("Počet snímků: " + Count(r.images, decimal));
    lines.push_back("Počet bodů ve vyrovnání: " + Count(r.points, decimal));
    lines.push_back("Počet měřených bodů na snímcích: " + Count(static_cast<long double>(s.measurements.size()), decimal));
    lines.push_back("Počet vlícovacích bodů - stabilizace: " + Count(r.fixedPoints, decimal));
    lines.push_back(kBlankLine);

    // The camera before and after, with the accuracy of what was estimated.
    Heading(lines, "Parametry kamery");
    lines.push_back("Parametr" + Spaces(2) + "Před kalibrací" + Spaces(10) + "Po kalibraci" + Spaces(12) +
                    "Směr. odchylka" + Spaces(2) + "Poměr" + Spaces(7) + "Určován" + Spaces(2) + "Významný");
    for (int j = 0; j < kCameraParameterCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        std::string row = Cell(CameraParameterName(j), kName);
        row += Cell(FormatGeneral(CameraParameterValue(r.before, j), decimal), kValue);
        if (s.free[sj]) {
            row += Cell(FormatGeneral(ToItsAccuracy(CameraParameterValue(s.camera, j), s.sd[sj]), decimal), kValue);
            row += Cell(FormatGeneral(ThreeDigits(s.sd[sj]), decimal), kSd);
            row += Cell(FormatPattern("0.0", r.ratio[sj], decimal), kRatio);
            row += Cell("ano", kFree);
            row += r.criticalRatio > 0.0L ? (r.significant[sj] ? "ano" : "ne") : "?";
        } else {
            row += Cell(FormatGeneral(CameraParameterValue(s.camera, j), decimal), kValue);
            row += Cell("-", kSd) + Cell("-", kRatio) + Cell("ne", kFree) + "-";
        }
        lines.push_back(row);
    }
    lines.push_back(kBlankLine);
    lines.push_back("Hodnoty v jednotkách snímkových souřadnic, určované na dvě místa za první číslicí své");
    lines.push_back("směrodatné odchylky (plně v souboru kalibrované kamery); neurčované mají hodnotu z polí kamery.");
    lines.push_back("Poměr = |hodnota| / směrodatná odchylka; významný, je-li větší než " +
                    FormatPattern("0.00", r.criticalRatio, decimal) + " (hladina významnosti " +
                    Count(r.significancePercent, decimal) + " %).");
    lines.push_back(kBlankLine);

    // Correlations of the estimated parameters, lower triangle.
    std::vector<int> estimated;
    for (int j = 0; j < kCameraParameterCount; ++j) {
        if (s.free[static_cast<std::size_t>(j)]) estimated.push_back(j);
    }
    Heading(lines, "Korelace parametrů kamery (* |r| > " + FormatPattern("0.0", 0.9L, decimal) + ")");
    std::string header = Spaces(static_cast<int>(kName));
    for (int j : estimated) header += Cell(CameraParameterName(j), kCorrelation);
    while (!header.empty() && header.back() == ' ') header.pop_back();
    lines.push_back(header);
    for (std::size_t a = 0; a < estimated.size(); ++a) {
        std::string row = Cell(CameraParameterName(estimated[a]), kName);
        for (std::size_t b = 0; b <= a; ++b) {
            const long double rho =
                s.correlation[static_cast<std::size_t>(estimated[a])][static_cast<std::size_t>(estimated[b])];
            const bool marked = a != b && std::fabs(rho) > 0.9L;
            row += Cell(FormatSigned("0.000", rho, decimal) + (marked ? "*" : ""), kCorrelation);
        }
        while (!row.empty() && row.back() == ' ') row.pop_back();
        lines.push_back(row);
    }
    lines.push_back(kBlankLine);

    Heading(lines, "Výsledek vyrovnání");
    lines.push_back("Aposteriorní směrodatná odchylka jednotková: " + FormatPattern("0.000000", s.m0, decimal));
    lines.push_back("Počet nadbytečných měření: " + Count(s.redundancy, decimal));
    lines.push_back("Počet iterací: " + Count(s.passes, decimal));
    if (s.limitReached) lines.push_back("Výpočet skončil na maximálním počtu iterací.");
    lines.push_back(kBlankLine);

    // Residual root mean squares per image and over all.
    Heading(lines, "Střední kvadratická rezidua snímkových souřadnic");
    lines.push_back("Snímek" + Spaces(4) + "Bodů" + Spaces(4) + "RMS x" + Spaces(7) + "RMS y" + Spaces(7) + "RMS");
    const auto rmsRow = [&](const std::string& label, const CalibrationResidualStatistics& t) {
        return Cell(label, kLabel) + Right(Count(t.measurements, decimal), 4) + Spaces(4) +
               Cell(FormatPattern("0.000000", t.rmsX, decimal), kNumber) +
               Cell(FormatPattern("0.000000", t.rmsY, decimal), kNumber) + FormatPattern("0.000000", t.rms, decimal);
    };
    for (const CalibrationResidualStatistics& t : r.perImage) lines.push_back(rmsRow(ImageNumber(t.image, decimal), t));
    lines.push_back(rmsRow("Celkem", r.overall));
    lines.push_back("RMS na jednu souřadnici, v jednotkách snímkových souřadnic.");
    lines.push_back(kBlankLine);

    Heading(lines, "Největší rezidua");
    lines.push_back("Bod" + Spaces(11) + "Snímek" + Spaces(4) + "vx" + Spaces(11) + "vy" + Spaces(11) + "|v|");
    for (const CalibrationResidual& v : r.largest) {
        lines.push_back(Cell(detail::NumberText(v.point), 14) + Cell(ImageNumber(v.image, decimal), kLabel) +
                        Cell(FormatSigned("0.000000", v.vx, decimal), 13) +
                        Cell(FormatSigned("0.000000", v.vy, decimal), 13) +
                        FormatPattern("0.000000", v.length, decimal));
    }
    lines.push_back(kBlankLine);

    Heading(lines, "Největší oprava o distorzi v měřené oblasti");
    const auto at = [decimal](long double value) { return FormatPattern("0.000000", value, decimal); };
    lines.push_back("Měřená oblast: x od " + at(r.areaXmin) + " do " + at(r.areaXmax) + ", y od " + at(r.areaYmin) +
                    " do " + at(r.areaYmax));
    const auto largest = [&](const std::string& label, const DistortionMaximum& d) {
        return label + at(d.length) + " (x = " + at(d.x) + ", y = " + at(d.y) + ")";
    };
    lines.push_back(largest("Před kalibrací: ", r.distortionBefore));
    lines.push_back(largest("Po kalibraci:   ", r.distortionAfter));
    return lines;
}

}  // namespace pelvanor
