#include "project/point_export.h"

#include <algorithm>
#include <cmath>

#include "matrix/arithmetic.h"
#include "matrix/text_file.h"
#include "project/result_tables.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

std::string Number(long double value) { return FormatPattern("0.000000", value, '.'); }

std::string PointNumber(long double number) { return std::to_string(RoundId(number)); }

std::string Csv(const std::vector<PointResult>& points) {
    std::string text = "bod,X,Y,Z,sX,sY,sZ,F_test,snimku\r\n";
    for (const PointResult& p : points) {
        text += PointNumber(p.number) + ',' + Number(p.X) + ',' + Number(p.Y) + ',' + Number(p.Z) + ',' +
                Number(p.sigma[0]) + ',' + Number(p.sigma[1]) + ',' + Number(p.sigma[2]) + ',' +
                (p.passed ? "vyhověl" : "nevyhověl") + ',' + std::to_string(p.images) + "\r\n";
    }
    return text;
}

// One group code and its value, each on a line of its own.
void Group(std::string& dxf, int code, const std::string& value) {
    dxf += std::to_string(code);
    dxf += "\r\n";
    dxf += value;
    dxf += "\r\n";
}

void Layer(std::string& dxf, const char* name, int colour) {
    Group(dxf, 0, "LAYER");
    Group(dxf, 2, name);
    Group(dxf, 70, "0");
    Group(dxf, 62, std::to_string(colour));
    Group(dxf, 6, "CONTINUOUS");
}

void PointWithNumber(std::string& dxf, const char* layer, long double number, long double X, long double Y,
                     long double Z, long double height) {
    Group(dxf, 0, "POINT");
    Group(dxf, 8, layer);
    Group(dxf, 10, Number(X));
    Group(dxf, 20, Number(Y));
    Group(dxf, 30, Number(Z));
    // The number beside the point, up and to the right by half its height.
    Group(dxf, 0, "TEXT");
    Group(dxf, 8, layer);
    Group(dxf, 10, Number(X + height / 2.0L));
    Group(dxf, 20, Number(Y + height / 2.0L));
    Group(dxf, 30, Number(Z));
    Group(dxf, 40, Number(height));
    Group(dxf, 1, PointNumber(number));
}

std::string Dxf(const std::vector<PointResult>& points, const std::vector<ControlPointRecord>& control) {
    // The text height: a two-hundredth of the larger side of the points'
    // extent in plan, so that the numbers stay legible beside the points
    // whatever the units; 1 unit for a single point.
    long double xmin = 0.0L, xmax = 0.0L, ymin = 0.0L, ymax = 0.0L;
    bool first = true;
    const auto extend = [&](long double X, long double Y) {
        xmin = first ? X : std::min(xmin, X);
        xmax = first ? X : std::max(xmax, X);
        ymin = first ? Y : std::min(ymin, Y);
        ymax = first ? Y : std::max(ymax, Y);
        first = false;
    };
    for (const PointResult& p : points) extend(p.X, p.Y);
    for (const ControlPointRecord& c : control) extend(c.X, c.Y);
    const long double side = std::max(xmax - xmin, ymax - ymin);
    const long double height = side > 0.0L ? side / 200.0L : 1.0L;

    std::string dxf;
    Group(dxf, 0, "SECTION");
    Group(dxf, 2, "HEADER");
    Group(dxf, 9, "$ACADVER");
    Group(dxf, 1, "AC1009");
    Group(dxf, 0, "ENDSEC");
    Group(dxf, 0, "SECTION");
    Group(dxf, 2, "TABLES");
    Group(dxf, 0, "TABLE");
    Group(dxf, 2, "LAYER");
    Group(dxf, 70, "4");
    Layer(dxf, "0", 7);
    Layer(dxf, kControlLayer, 1);  // red
    Layer(dxf, kTieLayer, 5);      // blue
    Layer(dxf, kFailedLayer, 6);   // magenta
    Group(dxf, 0, "ENDTAB");
    Group(dxf, 0, "ENDSEC");
    Group(dxf, 0, "SECTION");
    Group(dxf, 2, "ENTITIES");
    for (const ControlPointRecord& c : control) PointWithNumber(dxf, kControlLayer, c.number, c.X, c.Y, c.Z, height);
    for (const PointResult& p : points)
        PointWithNumber(dxf, p.passed ? kTieLayer : kFailedLayer, p.number, p.X, p.Y, p.Z, height);
    Group(dxf, 0, "ENDSEC");
    Group(dxf, 0, "EOF");
    return dxf;
}

std::string Ply(const std::vector<PointResult>& points) {
    std::string text = "ply\nformat ascii 1.0\ncomment Pelvanor: computed object points\n";
    text += "element vertex " + std::to_string(points.size()) + "\n";
    text += "property double x\nproperty double y\nproperty double z\n";
    text += "property double sigma\nproperty uchar f_test\nend_header\n";
    for (const PointResult& p : points) {
        const long double sigma =
            std::sqrt(p.sigma[0] * p.sigma[0] + p.sigma[1] * p.sigma[1] + p.sigma[2] * p.sigma[2]);
        text += Number(p.X) + ' ' + Number(p.Y) + ' ' + Number(p.Z) + ' ' + Number(sigma) + ' ' +
                (p.passed ? "1" : "0") + '\n';
    }
    return text;
}

}  // namespace

const char* ExportFileName(PointExportFormat format) {
    switch (format) {
        case PointExportFormat::Csv: return "body.csv";
        case PointExportFormat::Dxf: return "body.dxf";
        case PointExportFormat::Ply: return "body.ply";
    }
    return "body.csv";
}

const char* ExportExtension(PointExportFormat format) {
    switch (format) {
        case PointExportFormat::Csv: return "csv";
        case PointExportFormat::Dxf: return "dxf";
        case PointExportFormat::Ply: return "ply";
    }
    return "csv";
}

std::string PointExportText(const ProjectState& state, PointExportFormat format) {
    const std::vector<PointResult> points = PointResults(state);
    if (points.empty()) return std::string();
    switch (format) {
        case PointExportFormat::Csv: return Csv(points);
        case PointExportFormat::Dxf: return Dxf(points, ControlPointRecords(state));
        case PointExportFormat::Ply: return Ply(points);
    }
    return std::string();
}

bool ExportPoints(const ProjectState& state, PointExportFormat format, CommandHost& host, const std::string& path) {
    const std::string text = PointExportText(state, format);
    if (text.empty()) return false;
    WriteTextFile(path, text, false);
    host.WriteLog("Exportovány body: " + path);
    return true;
}

}  // namespace pelvanor
