// "Tabulka výsledků" and "Exportovat body" against the protocols of the same
// project: every number of the tables is the one the protocols print, and
// every export reads back, the DXF through a DXF library.

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <dl_creationadapter.h>
#include <dl_dxf.h>
#include <gtest/gtest.h>

#include "project/check_points.h"
#include "project/object_points_pipeline.h"
#include "project/point_export.h"
#include "project/result_commands.h"
#include "project/result_tables.h"
#include "protocol/bundle_report.h"
#include "tests/project/loaded_project.h"
#include "tests/project/road_project.h"

namespace pelvanor {
namespace {

using test::LoadedProject;

std::vector<std::string> Tokens(const std::string& line, char separator = ' ') {
    std::vector<std::string> out;
    std::string token;
    std::istringstream in(line);
    while (std::getline(in, token, separator))
        if (!token.empty()) out.push_back(token);
    return out;
}

long double Value(const std::string& text) { return std::stold(text); }

// Half a unit of the last digit a number was written with.
double HalfUnit(const std::string& text) {
    const std::size_t point = text.find('.');
    const std::size_t end = text.find_first_of("eE");
    const std::size_t digits = point == std::string::npos ? 0 : (end == std::string::npos ? text.size() : end) - point - 1;
    double half = 0.5 * std::pow(10.0, -static_cast<double>(digits));
    if (end != std::string::npos) half *= std::pow(10.0, std::stod(text.substr(end + 1)));
    return half;
}

// A cell's text read as a number written with ".".
long double Cell(const ResultTable& t, std::size_t row, std::size_t column) {
    return Value(t.rows.at(row).at(column).text);
}

std::size_t Column(const ResultTable& t, const std::string& caption) {
    for (std::size_t c = 0; c < t.columns.size(); ++c)
        if (t.columns[c] == caption) return c;
    ADD_FAILURE() << "no column " << caption;
    return 0;
}

// The road project, computed: a blunder the robust estimation removes, and
// points that fail the F-test.
struct Computed : LoadedProject {
    Computed() : LoadedProject(test::RoadProject(), '.') { EXPECT_TRUE(ObjectPointsCommand(state, host)); }
};

TEST(ResultTables, EveryNumberIsTheProtocols) {
    Computed c;
    const ProjectState& s = c.state;

    // Points: the rows of "Výsledky" > "Souřadnice XYZ" (number, X, Y, Z,
    // m0, Mx, My, Mz, criterion, quantile), in their order.
    const std::string file = c.dir.Path("xyz.txt");
    SaveCoordinatesWithFTest(s, c.host, file);
    std::vector<std::vector<long double>> rows;
    std::vector<std::vector<double>> halves;
    std::istringstream protocol(test::ReadFileBytes(file));
    for (std::string line; std::getline(protocol, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto tokens = Tokens(line);
        if (tokens.size() != 10) continue;
        std::vector<long double> values;
        std::vector<double> half;
        for (const auto& t : tokens) {
            values.push_back(Value(t));
            half.push_back(HalfUnit(t));
        }
        rows.push_back(values);
        halves.push_back(half);
    }
    const ResultTable points = PointTable(s, '.');
    ASSERT_GT(rows.size(), 10u);
    ASSERT_EQ(points.rows.size(), rows.size());
    int failedRows = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(points.ids[i], rows[i][0]);
        // Protocol columns 2..10 against the table's X Y Z, sX sY sZ, m0,
        // criterion and quantile: the same value to the digits both show.
        const std::pair<int, std::string> pairs[] = {{1, "X"},  {2, "Y"},  {3, "Z"},  {4, "m0"},          {5, "σX"},
                                                     {6, "σY"}, {7, "σZ"}, {8, "Kritérium F"}, {9, "Kvantil F"}};
        for (const auto& [col, caption] : pairs) {
            const std::size_t column = Column(points, caption);
            const std::string& shown = points.rows[i][column].text;
            EXPECT_NEAR(static_cast<double>(Value(shown)), static_cast<double>(rows[i][static_cast<std::size_t>(col)]),
                        (HalfUnit(shown) + halves[i][static_cast<std::size_t>(col)]) * 1.0001)
                << caption << " of point " << rows[i][0];
        }
        // The verdict is the test's: failed exactly where the criterion
        // exceeds the quantile.
        const bool fails = rows[i][8] > rows[i][9];
        EXPECT_EQ(points.rows[i][Column(points, "F-test")].text, fails ? "nevyhověl" : "vyhověl");
        failedRows += fails ? 1 : 0;
        // Sorted by the verdict, the failed points come first.
        EXPECT_EQ(points.rows[i][Column(points, "F-test")].key, fails ? 0.0 : 1.0);
        EXPECT_GE(Cell(points, i, Column(points, "Snímků")), 2.0L);
    }
    EXPECT_GT(failedRows, 0) << "the blunder's point should fail the F-test";

    // Images: the rows of the adjusted orientations the protocols print
    // (with the camera constant, the adjustment the coordinates used).
    const ResultTable images = StationTable(s, '.');
    ASSERT_EQ(images.rows.size(), 4u);
    for (int j = 1; j <= 4; ++j) {
        const auto tokens = Tokens(BundleRow(*s.BundleUnknownsF, *s.BundleImageIndexF, j, true, '.'));
        ASSERT_EQ(tokens.size(), 8u);
        const std::size_t r = static_cast<std::size_t>(j - 1);
        EXPECT_EQ(Cell(images, r, 0), j);
        const char* captions[] = {"X0", "Y0", "Z0", "alfa", "beta", "gama", "f"};
        for (std::size_t q = 0; q < 7; ++q)
            EXPECT_NEAR(static_cast<double>(Cell(images, r, Column(images, captions[q]))),
                        static_cast<double>(Value(tokens[q + 1])), q >= 3 && q < 6 ? 5.1e-8 : 5.1e-7)
                << captions[q] << " of image " << j;
        // Standard deviations exist and are small against the block (metres,
        // radians, millimetres of f); every image has its measurements.
        for (const char* caption : {"σX0", "σY0", "σZ0", "σalfa", "σbeta", "σgama", "σf"}) {
            const long double sigma = Cell(images, r, Column(images, caption));
            EXPECT_GT(sigma, 0.0L) << caption;
            EXPECT_LT(sigma, 0.1L) << caption;
        }
        EXPECT_GT(Cell(images, r, Column(images, "Měření")), 6.0L);
        EXPECT_GT(Cell(images, r, Column(images, "RMS oprav")), 0.0L);
    }

    // Check points: the rows of the check point protocol.
    const ResultTable check = CheckPointTable(s, '.');
    std::vector<std::vector<long double>> report;
    for (const std::string& line : CheckPointReportLines(s, '.')) {
        const auto tokens = Tokens(line);
        if (tokens.size() != 11 || tokens[1].find('.') == std::string::npos) continue;
        std::vector<long double> values;
        for (const auto& t : tokens) values.push_back(Value(t));
        report.push_back(values);
    }
    ASSERT_FALSE(report.empty());
    ASSERT_EQ(check.rows.size(), report.size());
    for (std::size_t i = 0; i < report.size(); ++i) {
        EXPECT_EQ(check.ids[i], report[i][0]);
        for (std::size_t q = 0; q < 3; ++q) {
            EXPECT_NEAR(static_cast<double>(Cell(check, i, 3 + q)), static_cast<double>(report[i][1 + q]), 5.1e-7);
            EXPECT_NEAR(static_cast<double>(Cell(check, i, 6 + q)), static_cast<double>(report[i][7 + q]), 1.1e-6);
        }
    }

    // The clipboard text: the captions and every row, tab-separated.
    const std::string tsv = TabSeparated(points);
    std::istringstream lines(tsv);
    std::string header;
    std::getline(lines, header);
    EXPECT_EQ(Tokens(header, '\t').size(), points.columns.size());
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_EQ(Tokens(line, '\t').size(), points.columns.size()) << line;
    EXPECT_EQ(count, points.rows.size());
}

// The entities of a DXF drawing as dxflib reads them.
class DxfReader : public DL_CreationAdapter {
public:
    void addLayer(const DL_LayerData& data) override { layers.insert(data.name); }
    void addPoint(const DL_PointData& data) override {
        points[attributes.getLayer()].push_back({data.x, data.y, data.z});
    }
    void addText(const DL_TextData& data) override { texts[attributes.getLayer()].push_back(data.text); }

    std::set<std::string> layers;
    std::map<std::string, std::vector<std::array<double, 3>>> points;
    std::map<std::string, std::vector<std::string>> texts;
};

TEST(PointExport, EachFormatReadsBack) {
    Computed c;
    const ProjectState& s = c.state;
    const std::vector<PointResult> points = PointResults(s);
    ASSERT_FALSE(points.empty());
    std::size_t failed = 0;
    for (const PointResult& p : points) failed += p.passed ? 0 : 1;
    ASSERT_GT(failed, 0u);

    // CSV: a header row, then one row per point, "." decimals, whatever
    // the decimal separator of the protocols.
    const std::string csv = c.dir.Path("body.csv");
    ASSERT_TRUE(ExportPoints(s, PointExportFormat::Csv, c.host, csv));
    EXPECT_EQ(c.host.log.back(), "Exportovány body: " + csv);
    std::istringstream in(test::ReadFileBytes(csv));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "bod,X,Y,Z,sX,sY,sZ,F_test,snimku\r");
    std::size_t i = 0;
    for (; std::getline(in, line); ++i) {
        ASSERT_LT(i, points.size());
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        const auto cells = Tokens(line, ',');
        ASSERT_EQ(cells.size(), 9u) << line;
        const PointResult& p = points[i];
        EXPECT_EQ(Value(cells[0]), std::round(p.number));
        const long double values[] = {p.X, p.Y, p.Z, p.sigma[0], p.sigma[1], p.sigma[2]};
        for (std::size_t q = 0; q < 6; ++q)
            EXPECT_NEAR(static_cast<double>(Value(cells[q + 1])), static_cast<double>(values[q]), 5.1e-7);
        EXPECT_EQ(cells[7], p.passed ? "vyhověl" : "nevyhověl");
        EXPECT_EQ(std::stoi(cells[8]), p.images);
    }
    EXPECT_EQ(i, points.size());

    // DXF: the three layers, a point and its number for every computed
    // point on the layer of its F-test, and the control points as surveyed.
    const std::string dxf = c.dir.Path("body.dxf");
    ASSERT_TRUE(ExportPoints(s, PointExportFormat::Dxf, c.host, dxf));
    DxfReader reader;
    DL_Dxf parser;
    ASSERT_TRUE(parser.in(dxf, &reader));
    for (const char* layer : {kControlLayer, kTieLayer, kFailedLayer}) EXPECT_EQ(reader.layers.count(layer), 1u) << layer;
    EXPECT_EQ(reader.points[kFailedLayer].size(), failed);
    EXPECT_EQ(reader.points[kTieLayer].size(), points.size() - failed);
    EXPECT_EQ(reader.points[kControlLayer].size(), ControlPointRecords(s).size());
    EXPECT_EQ(reader.texts[kTieLayer].size(), points.size() - failed);
    std::size_t tie = 0;
    for (const PointResult& p : points) {
        if (!p.passed) continue;
        const auto& read = reader.points[kTieLayer][tie];
        EXPECT_NEAR(read[0], static_cast<double>(p.X), 1e-6);
        EXPECT_NEAR(read[1], static_cast<double>(p.Y), 1e-6);
        EXPECT_NEAR(read[2], static_cast<double>(p.Z), 1e-6);
        EXPECT_EQ(reader.texts[kTieLayer][tie], std::to_string(static_cast<long long>(std::llround(p.number))));
        ++tie;
    }

    // PLY: the header names the count and the properties; a row per point.
    const std::string ply = c.dir.Path("body.ply");
    ASSERT_TRUE(ExportPoints(s, PointExportFormat::Ply, c.host, ply));
    std::istringstream cloud(test::ReadFileBytes(ply));
    std::vector<std::string> header;
    while (std::getline(cloud, line) && line != "end_header") header.push_back(line);
    ASSERT_GE(header.size(), 3u);
    EXPECT_EQ(header[0], "ply");
    EXPECT_EQ(header[1], "format ascii 1.0");
    EXPECT_NE(std::find(header.begin(), header.end(), "element vertex " + std::to_string(points.size())), header.end());
    for (const char* property : {"property double x", "property double y", "property double z", "property double sigma"})
        EXPECT_NE(std::find(header.begin(), header.end(), property), header.end()) << property;
    std::size_t vertices = 0;
    while (std::getline(cloud, line)) {
        EXPECT_EQ(Tokens(line).size(), 5u) << line;
        ++vertices;
    }
    EXPECT_EQ(vertices, points.size());
}

TEST(PointExport, NothingWithoutCoordinates) {
    LoadedProject lp(test::TinyProject(3), '.');
    EXPECT_FALSE(ExportPoints(lp.state, PointExportFormat::Csv, lp.host, lp.dir.Path("body.csv")));
    EXPECT_FALSE(std::filesystem::exists(lp.dir.Path("body.csv")));
    EXPECT_TRUE(PointTable(lp.state, '.').rows.empty());
    EXPECT_TRUE(StationTable(lp.state, '.').rows.empty());
}

}  // namespace
}  // namespace pelvanor
