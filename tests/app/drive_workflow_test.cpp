// Whole workflows through the real window, driven by pelvanor-drive: a
// generated project loaded by the file dialogs, the computations started from
// the menu, and the log, the enabled items, the protocol panel and the saved
// result files checked against the generator's truth and reviewed files.
//
// To regenerate the reviewed coordinate files after a deliberate change, run
// this test with PELVANOR_UPDATE_GOLDEN=1 and review the difference before
// committing.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include "tests/project/road_project.h"
#include "tests/app/drive_support.h"
#include "matrix/text_file.h"
#include "tests/support/test_util.h"
#include "tools/synth/synth.h"

namespace pelvanor {
namespace {

// EXPECT_NEAR in long double (GoogleTest's compares doubles).
#define EXPECT_NEAR_L(a, b, tolerance) \
    EXPECT_LE(std::fabs((a) - (b)), (tolerance)) << #a " = " << (a) << ", " #b " = " << (b)

using test::DrivePath;
using test::FilesStartingWith;
using test::Quoted;
using test::DriveRun;
using test::ReadLines;
using test::RunDrive;

long Count(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
}

long IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    const auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : static_cast<long>(it - lines.begin());
}

// The numbers of a table row, the decimal comma read as a point.
std::vector<long double> Numbers(std::string row) {
    std::replace(row.begin(), row.end(), ',', '.');
    std::istringstream in(row);
    std::vector<long double> values;
    for (std::string token; in >> token;) values.push_back(std::stold(token));
    return values;
}

// The menu dump as caption path -> enabled.
std::vector<std::pair<std::string, bool>> Menu(const std::string& path) {
    std::vector<std::pair<std::string, bool>> items;
    for (const std::string& line : ReadLines(path)) {
        const auto tab = line.rfind('\t');
        items.emplace_back(line.substr(0, tab), line.substr(tab + 1) == "1");
    }
    return items;
}

// Enabled items of "Výsledky" (the menu itself excluded).
std::vector<std::string> EnabledResults(const std::string& path) {
    std::vector<std::string> on;
    for (const auto& [caption, enabled] : Menu(path))
        if (caption.rfind("Výsledky > ", 0) == 0 && enabled) on.push_back(caption);
    return on;
}

const std::string kHeader =
    "Snímek      r11       r12       r13       r21       r22       r23       r31       r32       r33       X0[m]     "
    "Y0[m]     Z0[m]";
const std::string kH6 = "Snímek     X0[m]     Y0[m]     Z0[m]    alfa[rad]  beta[rad]  gama[rad]";
const std::string kH7 = kH6 + "      f";

class DriveWorkflow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(DrivePath())) << "build pelvanor-drive first: " << DrivePath();
    }

    // Generates the project into p/ and returns the script lines that load it.
    std::string Generate(const synth::Options& options) {
        std::string error;
        EXPECT_TRUE(synth::Generate(options, project_, &error)) << error;
        const std::string p = dir_.Path("p");
        EXPECT_TRUE(synth::WriteProject(project_, p, &error)) << error;
        return "open \"" + p + "/camera.txt\"\nclick Soubor > Načíst kameru\n" + "open" +
               Quoted(FilesStartingWith(p, "ctrl_")) + "\nclick Soubor > Načíst orientaci\n" + "open" +
               Quoted(FilesStartingWith(p, "img_")) + "\nclick Soubor > Načíst snímkové souřadnice\n";
    }

    // Runs a script; the previous run's output files are removed first so
    // that a failed run cannot leave stale ones to be checked.
    void Run(const std::string& text, const char* lang = "cs_CZ.UTF-8") {
        std::vector<std::filesystem::path> outputs;
        for (const auto& e : std::filesystem::directory_iterator(dir_.Dir()))
            if (e.is_regular_file()) outputs.push_back(e.path());
        for (const auto& path : outputs) std::filesystem::remove(path);
        const std::string script = dir_.Path("script.drv");
        test::WriteFileBytes(script, text);
        const DriveRun run = RunDrive(script, lang);
        ASSERT_EQ(run.status, 0) << run.err;
    }

    std::string Out(const std::string& name) const { return dir_.Path(name); }

    test::TempDir dir_;
    synth::Project project_;
};

// Image noise of 2 micrometres at f = 24 mm and some 16 m away is about
// 1.3 mm on the object; a projection centre from a handful of points is good
// to a few centimetres.
constexpr long double kCentreTolerance = 0.05L;

// ---- "Přibližná vnější orientace" -------------------------------------

void CheckOrientationPanel(const std::vector<std::string>& panel, const synth::Project& project, char decimal,
                           bool& ok) {
    ok = false;
    const size_t n = project.stations.size();
    ASSERT_EQ(panel.size(), 7 + n + 6 + n + 2 + n);
    EXPECT_EQ(panel[0], "Výpočet přibližné orientace - program Pelvanor");
    EXPECT_EQ(panel[1], std::string(46, '*'));
    EXPECT_EQ(panel[2], " ");
    EXPECT_EQ(panel[3], "Řešení vnější orientace z minimálního počtu vlícovacích bodů");
    EXPECT_EQ(panel[4], std::string(60, '-'));
    EXPECT_EQ(panel[5], " ");
    EXPECT_EQ(panel[6], kHeader);
    EXPECT_EQ(QString::fromStdString(kHeader).size(), 127);
    size_t at = 7 + n;
    EXPECT_EQ(panel[at++], " ");
    EXPECT_EQ(panel[at++], "Řešení vnější orientace z projektivní transformace");
    EXPECT_EQ(panel[at++], std::string(50, '-'));
    EXPECT_EQ(panel[at++], " ");
    const std::string iterations = panel[at++];
    ASSERT_EQ(iterations.rfind("Počet iterací: ", 0), 0u) << iterations;
    const long double count = std::stold(iterations.substr(std::string("Počet iterací: ").size()));
    EXPECT_GE(count, 1.0L);
    EXPECT_EQ(panel[at++], " ");
    for (size_t i = 1; i <= n; ++i) {
        const std::string prefix = "Aposteriorní směrodatná odchylka jednotková na snímku  00" + std::to_string(i) + " = ";
        const std::string& line = panel[at++];
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        const std::string value = line.substr(prefix.size());
        ASSERT_EQ(value.size(), 5u) << line;  // "0,000"
        EXPECT_EQ(value[1], decimal) << line;
        // m0 in millimetres of the image: about the generated 0.002.
        EXPECT_LE(Numbers(value).at(0), 0.004L) << line;
    }
    EXPECT_EQ(panel[at++], " ");
    EXPECT_EQ(panel[at++], kHeader);
    // Both tables: number, rotation matrix and centre against the truth.
    for (int table = 0; table < 2; ++table) {
        const size_t first = table == 0 ? 7 : at;
        for (size_t i = 1; i <= n; ++i) {
            const std::string& row = panel[first + i - 1];
            SCOPED_TRACE(row);
            // "  00i", four spaces, nine signed elements, two spaces, centre.
            ASSERT_EQ(row.rfind("  00" + std::to_string(i) + "    ", 0), 0u);
            // Rotation elements are at most 1 in size: 9 characters each.
            for (int k = 0; k < 9; ++k) {
                const char sign = row[9 + 10 * k];
                EXPECT_TRUE(sign == '+' || sign == '-') << "element " << k + 1;
                EXPECT_EQ(row[9 + 10 * k + 2], decimal) << "element " << k + 1;
            }
            EXPECT_EQ(row.substr(98, 3).substr(0, 2), "  ");
            const std::vector<long double> v = Numbers(row);
            ASSERT_EQ(v.size(), 13u);
            EXPECT_EQ(v[0], static_cast<long double>(i));
            const synth::Station& s = project.stations[i - 1];
            const auto r = synth::RotationFromAngles(s.alfa, s.beta, s.gama);
            // The minimal solution rests on four points and is only a start.
            const long double rotTolerance = table == 0 ? 0.1L : 0.01L;
            for (int k = 0; k < 9; ++k) EXPECT_NEAR_L(v[1 + k], r[k], rotTolerance) << "r element " << k + 1;
            const long double tolerance = table == 0 ? 10 * kCentreTolerance : kCentreTolerance;
            EXPECT_NEAR_L(v[10], s.X0, tolerance);
            EXPECT_NEAR_L(v[11], s.Y0, tolerance);
            EXPECT_NEAR_L(v[12], s.Z0, tolerance);
        }
    }
    ok = true;
}

std::vector<std::string> OrientationResults() {
    return {"Výsledky > Přibližné řešení vnější orientace", "Výsledky > Oprava distorze",
            "Výsledky > Oprava distorze > Snímkové souřadnice", "Výsledky > Oprava distorze > Orientace"};
}

void CheckSuccessLines(const std::vector<std::string>& log, const std::string& lastLoad) {
    const long loaded = IndexOf(log, lastLoad);
    ASSERT_GE(loaded, 0);
    EXPECT_EQ(Count(log, "Oprava o distorze provedena"), 1);
    EXPECT_EQ(Count(log, "Přibližná orientace - výpočet proveden"), 1);
    const long fixed = IndexOf(log, "Oprava o distorze provedena");
    EXPECT_GT(fixed, loaded);
    EXPECT_EQ(IndexOf(log, "Přibližná orientace - výpočet proveden"), fixed + 1);
}

synth::Options SmallProject(bool plane, std::uint64_t seed) {
    synth::Options o;
    o.images = 4;
    o.control = 8;
    o.points = 24;
    o.sigma = 0.002L;
    o.realistic = true;
    o.plane = plane;
    o.seed = seed;
    return o;
}

TEST_F(DriveWorkflow, ApproximateOrientationBothMethods) {
    for (const bool plane : {true, false}) {
        SCOPED_TRACE(plane ? "plane method" : "space method");
        const std::string load = Generate(SmallProject(plane, plane ? 41 : 42));
        // The plane method in a comma locale, the space method in a point locale.
        Run(load + "choose ComboBox1 " + (plane ? "0" : "1") +
                "\nclick Výpočty > Přibližná vnější orientace\n"
                "click Výsledky > Přibližné řešení vnější orientace\n"
                "panel o.panel\nmenu o.menu\nlog o.log\nmessages o.messages\n",
            plane ? "cs_CZ.UTF-8" : "en_US.UTF-8");
        CheckSuccessLines(ReadLines(Out("o.log")), "Snímkové souřadnice načteny do programu");
        std::vector<std::string> on = EnabledResults(Out("o.menu"));
        std::vector<std::string> expected = OrientationResults();
        std::sort(on.begin(), on.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(on, expected);
        bool ok = false;
        CheckOrientationPanel(ReadLines(Out("o.panel")), project_, plane ? ',' : '.', ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(ReadLines(Out("o.messages")), std::vector<std::string>{});
    }
}

// ---- "Svazkové vyrovnání" ------------------------------------------------

void CheckBundleRows(const std::vector<std::string>& panel, size_t first, const synth::Project& project,
                     bool withF) {
    for (size_t i = 1; i <= project.stations.size(); ++i) {
        const std::string& row = panel.at(first + i - 1);
        SCOPED_TRACE(row);
        ASSERT_EQ(row.rfind("  00" + std::to_string(i) + "    ", 0), 0u);
        const std::vector<long double> v = Numbers(row);
        ASSERT_EQ(v.size(), withF ? 8u : 7u);
        const synth::Station& s = project.stations[i - 1];
        EXPECT_NEAR_L(v[1], s.X0, kCentreTolerance);
        EXPECT_NEAR_L(v[2], s.Y0, kCentreTolerance);
        EXPECT_NEAR_L(v[3], s.Z0, kCentreTolerance);
        EXPECT_NEAR_L(v[4], s.alfa, 0.005L);
        EXPECT_NEAR_L(v[5], s.beta, 0.005L);
        EXPECT_NEAR_L(v[6], s.gama, 0.005L);
        if (withF) {
            EXPECT_NEAR_L(v[7], s.f, 0.05L);
        }
    }
}

void CheckBundlePanel(const std::vector<std::string>& panel, const synth::Project& project, bool robust,
                      bool withF) {
    const size_t n = project.stations.size();
    ASSERT_GE(panel.size(), 8u);
    EXPECT_EQ(panel[0], "Výpočet svazkového vyrovnání - program Pelvanor");
    EXPECT_EQ(panel[1], std::string(47, '*'));
    EXPECT_EQ(panel[2], " ");
    const std::string pointsLabel = "Počet bodů vstupující do svazkového vyrovnání: ";
    ASSERT_EQ(panel[3].rfind(pointsLabel, 0), 0u) << panel[3];
    // The share of the tie points chosen by "PointPercent".
    const long entering = std::stol(panel[3].substr(pointsLabel.size()));
    EXPECT_GE(entering, 6);
    EXPECT_LE(entering, static_cast<long>(project.tie_points.size()));
    EXPECT_EQ(panel[4], "Počet vlícovacích bodů - stabilizace: 4");
    EXPECT_EQ(panel[5], " ");
    size_t at = 6;
    if (robust) {
        EXPECT_EQ(panel.at(at++), "Odlehlé body zachycené robustní metodou");
        EXPECT_EQ(panel.at(at++), std::string(39, '-'));
        // No gross error was generated: nothing is thrown out.
        EXPECT_EQ(panel.at(at++), "Počet vyřazených bodů z výpočtu svazkového vyrovnání: 0");
        EXPECT_EQ(panel.at(at++), " ");
    }
    const auto block = [&](const std::string& title, const std::string& header) {
        EXPECT_EQ(panel.at(at++), title);
        EXPECT_EQ(panel.at(at++), std::string(49, '-'));
        const std::string sigmaLabel = "Aposteriorní směrodatná odchylka jednotková: ";
        const std::string& sigma = panel.at(at++);
        ASSERT_EQ(sigma.rfind(sigmaLabel, 0), 0u) << sigma;
        // m0 in millimetres of the image: about the generated 0.002.
        const long double m0 = Numbers(sigma.substr(sigmaLabel.size())).at(0);
        EXPECT_LE(m0, 0.004L) << sigma;
        const std::string& redundancy = panel.at(at++);
        ASSERT_EQ(redundancy.rfind("Počet nadbytečných měření: ", 0), 0u) << redundancy;
        EXPECT_GT(Numbers(redundancy.substr(std::string("Počet nadbytečných měření: ").size())).at(0), 0.0L);
        const std::string& iterations = panel.at(at++);
        ASSERT_EQ(iterations.rfind("Počet iterací: ", 0), 0u) << iterations;
        EXPECT_EQ(panel.at(at++), " ");
        EXPECT_EQ(panel.at(at++), header);
    };
    block("Výpočet svazkového vyrovnání bez konstanty komory", kH6);
    CheckBundleRows(panel, at, project, false);
    at += n;
    if (withF) {
        EXPECT_EQ(panel.at(at++), " ");
        block("Výpočet svazkového vyrovnání s konstantou komory", kH7);
        CheckBundleRows(panel, at, project, true);
        at += n;
    }
    EXPECT_EQ(panel.size(), at);
}

TEST_F(DriveWorkflow, BundleAdjustmentInAllFourSettings) {
    const std::string load = Generate(SmallProject(false, 43));
    for (const bool robust : {false, true})
        for (const bool withF : {false, true}) {
            SCOPED_TRACE(std::string("robust ") + (robust ? "on" : "off") + ", camera constant " +
                         (withF ? "on" : "off"));
            Run(load + "settings CheckBox1=" + (withF ? "1" : "0") + " CheckBox2=" + (robust ? "1" : "0") +
                "\nclick Výpočty > Svazkové vyrovnání\n"
                "click Výsledky > Svazkové vyrovnání\n"
                "panel b.panel\nmenu b.menu\nlog b.log\nmessages b.messages\n");
            const std::vector<std::string> log = ReadLines(Out("b.log"));
            CheckSuccessLines(log, "Snímkové souřadnice načteny do programu");
            EXPECT_EQ(Count(log, "Svazkové vyrovnání - výpočet proveden"), 1);
            EXPECT_EQ(log.back(), "Svazkové vyrovnání - výpočet proveden");
            std::vector<std::string> expected = {"Výsledky > Svazkové vyrovnání", "Výsledky > Kontrolní body",
                                                 "Výsledky > Protokoly > Kontrolní body", "Výsledky > Grafy",
                                                 "Výsledky > Tabulka výsledků"};
            for (const std::string& item : OrientationResults()) expected.push_back(item);
            std::vector<std::string> on = EnabledResults(Out("b.menu"));
            std::sort(on.begin(), on.end());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(on, expected);
            CheckBundlePanel(ReadLines(Out("b.panel")), project_, robust, withF);
        }
}

// "Řešení normálních rovnic" chosen in "Nastavení" decides the solve of the
// next adjustment: the pseudo-inverse says so in the log, the elimination
// (the rule) does not, and the protocol stays as it always was.
TEST_F(DriveWorkflow, ChosenSolveReachesTheLog) {
    const std::string bundle = "click Výpočty > Svazkové vyrovnání\nclick Výsledky > Svazkové vyrovnání\n";
    Run(Generate(SmallProject(false, 43)) + "settings ComboBox2=2\n" + bundle + "panel e.panel\nlog e.log\n" +
        "settings ComboBox2=1\n" + bundle + "panel s.panel\nlog s.log\n");
    const std::vector<std::string> eliminated = ReadLines(Out("e.panel"));
    const std::vector<std::string> svd = ReadLines(Out("s.panel"));
    const std::string line = "Řešení normálních rovnic: SVD";
    EXPECT_EQ(Count(ReadLines(Out("e.log")), line), 0);
    EXPECT_EQ(Count(ReadLines(Out("s.log")), line), 1);
    EXPECT_EQ(Count(svd, line), 0);
    EXPECT_EQ(eliminated.size(), svd.size());
    CheckBundlePanel(svd, project_, true, true);
    CheckBundlePanel(eliminated, project_, true, true);
}

// ---- The whole road of "Souřadnice XYZ" ------------------------------------

using test::RoadProject;

void CompareWithGolden(const std::string& written, const std::string& relative) {
    const std::string golden = test::SourcePath(relative);
    if (std::getenv("PELVANOR_UPDATE_GOLDEN") && relative.rfind("tests/app/", 0) == 0) {
        test::WriteFileBytes(golden, written);
        return;
    }
    const std::string expected = test::ReadFileBytes(golden);
    ASSERT_FALSE(expected.empty()) << golden;
    EXPECT_EQ(written, expected) << golden;
}

// The rows of a coordinate file (number, X, Y, Z, ...) against the truth:
// the points that pass the F-test are within a few noise-widths of it.
void CheckCoordinateRows(const std::string& bytes, const synth::Project& project, size_t columns,
                         size_t& rows) {
    rows = 0;
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');  // CR LF line ends
        line.pop_back();
        lines.push_back(line);
    }
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], std::string(60, '*'));
    for (size_t k = 3; k < lines.size(); ++k) {
        SCOPED_TRACE(lines[k]);
        const std::vector<long double> v = Numbers(lines[k]);
        ASSERT_EQ(v.size(), columns);
        const long long id = static_cast<long long>(v[0]);
        const synth::ObjectPoint* truth = nullptr;
        for (const auto* list : {&project.control_points, &project.tie_points})
            for (const synth::ObjectPoint& p : *list)
                if (p.id == id) truth = &p;
        ASSERT_NE(truth, nullptr) << "no such point " << id;
        ++rows;
        // A point with a gross error on one of its images is off by up to
        // the error's length; the F-test separates it (column 10).
        bool gross = false;
        for (const synth::GrossError& g : project.gross_errors) gross = gross || g.id == id;
        if (gross) continue;
        EXPECT_NEAR_L(v[1], truth->X, 0.02L);
        EXPECT_NEAR_L(v[2], truth->Y, 0.02L);
        EXPECT_NEAR_L(v[3], truth->Z, 0.02L);
    }
}

TEST_F(DriveWorkflow, WholeRoadInCommaAndPointLocale) {
    const std::string load = Generate(RoadProject());
    for (const auto& [lang, suffix] : {std::pair<const char*, std::string>{"cs_CZ.UTF-8", "comma"},
                                       std::pair<const char*, std::string>{"en_US.UTF-8", "point"}}) {
        SCOPED_TRACE(lang);
        Run(load +
                "click Výpočty > Souřadnice XYZ\n"
                "save \"" + Out("kompletni.txt") + "\"\nclick Výsledky > Protokoly > Kompletní\n"
                "save \"" + Out("xyz.txt") + "\"\nclick Výsledky > Souřadnice XYZ\n"
                "save \"" + Out("souradnice.txt") + "\"\nclick Výsledky > Protokoly > Souřadnice\n"
                "log r.log\nmessages r.messages\nmenu r.menu\n",
            lang);
        const std::vector<std::string> log = ReadLines(Out("r.log"));
        CheckSuccessLines(log, "Snímkové souřadnice načteny do programu");
        EXPECT_EQ(Count(log, "Svazkové vyrovnání - výpočet proveden"), 1);
        EXPECT_EQ(Count(log, "Souřadnice XYZ - výpočet proveden"), 1);
        // The complete protocol logs nothing; the two coordinate files do.
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[log.size() - 3], "Souřadnice XYZ - výpočet proveden");
        EXPECT_EQ(log[log.size() - 2], "Uloženy souřadnice XYZ: " + Out("xyz.txt"));
        EXPECT_EQ(log[log.size() - 1], "Uloženy souřadnice XYZ: " + Out("souradnice.txt"));
        EXPECT_EQ(ReadLines(Out("r.messages")), std::vector<std::string>{});
        std::vector<std::string> on = EnabledResults(Out("r.menu"));
        std::vector<std::string> expected = OrientationResults();
        for (const char* item : {"Výsledky > Svazkové vyrovnání", "Výsledky > Souřadnice XYZ", "Výsledky > Protokoly",
                                 "Výsledky > Protokoly > Kompletní", "Výsledky > Protokoly > Souřadnice",
                                 "Výsledky > Kontrolní body", "Výsledky > Protokoly > Kontrolní body",
                                 "Výsledky > Grafy", "Výsledky > Tabulka výsledků", "Výsledky > Exportovat body"})
            expected.push_back(item);
        std::sort(on.begin(), on.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(on, expected);
        // The window and the Qt-free road give the same complete protocol.
        CompareWithGolden(test::ReadFileBytes(Out("kompletni.txt")), "tests/project/golden/road_" + suffix + ".txt");
        size_t all = 0;
        size_t passed = 0;
        CheckCoordinateRows(test::ReadFileBytes(Out("xyz.txt")), project_, 10, all);
        CheckCoordinateRows(test::ReadFileBytes(Out("souradnice.txt")), project_, 8, passed);
        // Every tie point is computed; the one with the gross error fails the F-test.
        EXPECT_EQ(all, project_.tie_points.size());
        EXPECT_EQ(passed + project_.gross_errors.size(), all);
        CompareWithGolden(test::ReadFileBytes(Out("xyz.txt")), "tests/app/golden/road_xyz_" + suffix + ".txt");
        CompareWithGolden(test::ReadFileBytes(Out("souradnice.txt")),
                          "tests/app/golden/road_souradnice_" + suffix + ".txt");
    }
}

// ---- "Grafy" -----------------------------------------------------------------

TEST_F(DriveWorkflow, GrafyAfterSouradniceXyzExportsBothViews) {
    const std::string load = Generate(RoadProject());
    const int blunderImage = project_.gross_errors.at(0).image;
    Run(load +
        "click Výpočty > Souřadnice XYZ\n"
        "click Výsledky > Grafy\n"
        "plot size 800 600\n"
        "plot image " + std::to_string(blunderImage) + "\nplot numbers 1\n"
        "save \"" + Out("rezidua.png") + "\"\nplot export\n"
        "plot view \"Půdorys bloku\"\nplot plane X–Z\nplot zoom 2\nplot fit\n"
        "save \"" + Out("pudorys.svg") + "\"\nplot export\n"
        "save \"" + Out("pudorys.pdf") + "\"\nplot export\n"
        "cancel\nplot export\n"
        "log g.log\nmessages g.messages\n"
        // Results that are gone take the pictures with them.
        "type LabeledEdit1 x\nclick Výpočty > Svazkové vyrovnání\nmenu g.menu\n");
    const std::vector<std::string> log = ReadLines(Out("g.log"));
    for (const char* file : {"rezidua.png", "pudorys.svg", "pudorys.pdf"})
        EXPECT_EQ(Count(log, "Uložen obrázek: " + Out(file)), 1) << file;
    EXPECT_EQ(ReadLines(Out("g.messages")), std::vector<std::string>{});

    // The PNG has twice the pixels of the drawing in the window.
    const QImage png(QString::fromStdString(Out("rezidua.png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.width() % 2, 0);
    EXPECT_GT(png.width(), 1000);
    QSvgRenderer svg(QString::fromStdString(Out("pudorys.svg")));
    EXPECT_TRUE(svg.isValid());
    const std::string svgText = test::ReadFileBytes(Out("pudorys.svg"));
    // The title line names the view, the plane and the project's folder; the
    // scale bar's numbers have the Czech decimal comma.
    EXPECT_NE(svgText.find("<title>Půdorys bloku - X–Z - p - program Pelvanor</title>"), std::string::npos);
    EXPECT_NE(svgText.find("zvětšeno"), std::string::npos);
    EXPECT_TRUE(QString::fromStdString(svgText).contains(QRegularExpression(QStringLiteral(">\\s*\\d+,\\d+\\s*<"))));
    const std::string pdf = test::ReadFileBytes(Out("pudorys.pdf"));
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    EXPECT_EQ(QString::fromLatin1(pdf.c_str(), static_cast<qsizetype>(pdf.size()))
                  .count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))),
              1);

    bool grafy = true;
    for (const auto& [caption, enabled] : Menu(Out("g.menu")))
        if (caption == "Výsledky > Grafy") grafy = enabled;
    EXPECT_FALSE(grafy);
}

// ---- "Kontrolní body" ---------------------------------------------------------

// The check point protocol from the menu: in the panel after "Souřadnice
// XYZ", and the same lines as a file (CP1250, CR LF) from "Protokoly".
TEST_F(DriveWorkflow, CheckPointsInThePanelAndAsAFile) {
    const std::string load = Generate(SmallProject(false, 44));
    Run(load +
        "click Výpočty > Souřadnice XYZ\n"
        "click Výsledky > Kontrolní body\n"
        "panel k.panel\n"
        "save \"" + Out("kontrolni.txt") + "\"\nclick Výsledky > Protokoly > Kontrolní body\n"
        "log k.log\nmessages k.messages\n");
    const std::vector<std::string> panel = ReadLines(Out("k.panel"));
    ASSERT_GE(panel.size(), 10u);
    EXPECT_EQ(panel[0], "Kontrolní body - program Pelvanor");
    EXPECT_EQ(panel[3], "Počet vlícovacích bodů - stabilizace: 4");
    std::string bytes;
    for (const std::string& line : panel) bytes += EncodeCp1250(line) + "\r\n";
    EXPECT_EQ(test::ReadFileBytes(Out("kontrolni.txt")), bytes);
    const std::vector<std::string> log = ReadLines(Out("k.log"));
    EXPECT_EQ(log.back(), "Uloženy kontrolní body: " + Out("kontrolni.txt"));
    EXPECT_EQ(ReadLines(Out("k.messages")), std::vector<std::string>{});

    // Both adjustments have their table of the control points beyond the
    // four fixed ones, which lie within millimetres of the truth.
    EXPECT_EQ(Count(panel, "Kontrolní body - vyrovnání bez konstanty komory"), 1);
    EXPECT_EQ(Count(panel, "Kontrolní body - vyrovnání s konstantou komory"), 1);
    EXPECT_EQ(Count(panel, "Vlícovací body vyrovnané jako neznámé"), 2);
    int rows = 0;
    for (const std::string& line : panel) {
        // A row: the point number right-aligned in 15 characters, then ten numbers.
        if (line.size() < 16 || line[0] != ' ' || line[14] < '0' || line[14] > '9') continue;
        const std::vector<long double> v = Numbers(line);
        ASSERT_EQ(v.size(), 11u) << line;
        ++rows;
        const synth::ObjectPoint* truth = nullptr;
        for (const synth::ObjectPoint& p : project_.control_points)
            if (static_cast<long double>(p.id) == v[0]) truth = &p;
        ASSERT_NE(truth, nullptr) << line;
        EXPECT_GT(v[0], 4.0L) << "a fixed point is no check point";
        EXPECT_NEAR_L(v[4], truth->X, 0.02L);
        EXPECT_NEAR_L(v[5], truth->Y, 0.02L);
        EXPECT_NEAR_L(v[6], truth->Z, 0.02L);
    }
    EXPECT_GE(rows, 2);
}

// ---- "Kalibrace kamery" --------------------------------------------------------

// The eight values of a camera file.
std::vector<long double> CameraFile(const std::string& path) {
    std::vector<long double> values;
    for (const std::string& line : ReadLines(path)) {
        if (line.find_first_not_of(" \r") == std::string::npos) continue;
        values.push_back(std::stold(line));
    }
    return values;
}

// The camera calibrated through the menu: a generated project with
// distortion, loaded with the camera fields typed wrong (f 2 % short, the
// principal point a tenth of a millimetre off, no distortion), "Kalibrace
// kamery", its protocol in the panel and as a file, "Převzít kalibrovanou
// kameru", then "Uložit kameru" writes the calibrated values, which lie
// near the generator's camera; "Grafy" offers and exports "Zkreslení
// objektivu".
TEST_F(DriveWorkflow, CalibrationThroughTheMenu) {
    synth::Options options;
    options.images = 8;
    options.control = 10;
    options.points = 60;
    options.sigma = 0.002L;
    options.realistic = true;
    options.seed = 5;
    const std::string load = Generate(options);
    const char* typed[8] = {"23,5", "18", "12", "0", "0", "0", "0", "0"};
    std::string fields;
    for (int i = 0; i < 8; ++i) fields += "type LabeledEdit" + std::to_string(i + 1) + " " + typed[i] + "\n";
    Run(load + fields +
        // Every point in the adjustment, no camera constant per image, the
        // elimination: quick, and the calibration sees all the measurements.
        "settings ComboBox1=100 CheckBox1=0 ComboBox2=2\n"
        "save \"" + Out("pred.txt") + "\"\nclick Soubor > Uložit kameru\n"
        "menu m0.menu\n"
        "click Výpočty > Kalibrace kamery\n"
        "menu m1.menu\n"
        "click Výsledky > Kalibrace kamery\n"
        "panel k.panel\n"
        "save \"" + Out("kalibrace.txt") + "\"\nclick Výsledky > Protokoly > Kalibrace kamery\n"
        "click Výsledky > Převzít kalibrovanou kameru\n"
        "save \"" + Out("po.txt") + "\"\nclick Soubor > Uložit kameru\n"
        // The saved camera loaded back: a load leaves every result standing.
        "open \"" + Out("po.txt") + "\"\nclick Soubor > Načíst kameru\n"
        "menu m2.menu\n"
        "click Výsledky > Grafy\n"
        "plot view \"Zkreslení objektivu\"\n"
        "save \"" + Out("zkresleni.svg") + "\"\nplot export\n"
        "log k.log\nmessages k.messages\n");
    const std::vector<std::string> log = ReadLines(Out("k.log"));
    EXPECT_EQ(ReadLines(Out("k.messages")), std::vector<std::string>{});
    const long done = IndexOf(log, "Kalibrace kamery - výpočet proveden");
    ASSERT_GE(done, 0) << "the calibration failed";
    EXPECT_GT(done, IndexOf(log, "Svazkové vyrovnání - výpočet proveden"));
    EXPECT_EQ(Count(log, "Uložen protokol kalibrace kamery: " + Out("kalibrace.txt")), 1);
    EXPECT_GT(IndexOf(log, "Kalibrovaná kamera převzata do parametrů kamery"), done);
    EXPECT_EQ(Count(log, "Uložen obrázek: " + Out("zkresleni.svg")), 1);

    // The result items: off before, on after; the other protocols stay off
    // without their own results ("Souřadnice XYZ" has not run).
    const auto enabled = [&](const std::string& menu, const std::string& caption) {
        for (const auto& [path, on] : Menu(Out(menu)))
            if (path == caption) return on;
        ADD_FAILURE() << "no item " << caption;
        return false;
    };
    for (const char* item : {"Výsledky > Kalibrace kamery", "Výsledky > Převzít kalibrovanou kameru",
                             "Výsledky > Protokoly", "Výsledky > Protokoly > Kalibrace kamery"}) {
        EXPECT_FALSE(enabled("m0.menu", item)) << item;
        EXPECT_TRUE(enabled("m1.menu", item)) << item;
    }
    EXPECT_TRUE(enabled("m0.menu", "Výpočty > Kalibrace kamery"));
    for (const char* item : {"Výsledky > Kalibrace kamery", "Výsledky > Převzít kalibrovanou kameru",
                             "Výsledky > Svazkové vyrovnání"})
        EXPECT_TRUE(enabled("m2.menu", item)) << item;
    EXPECT_FALSE(enabled("m1.menu", "Výsledky > Protokoly > Kompletní"));
    EXPECT_FALSE(enabled("m1.menu", "Výsledky > Protokoly > Souřadnice"));
    EXPECT_FALSE(enabled("m1.menu", "Výsledky > Souřadnice XYZ"));

    // The panel and the saved protocol are the same lines.
    const std::vector<std::string> panel = ReadLines(Out("k.panel"));
    ASSERT_GE(panel.size(), 30u);
    EXPECT_EQ(panel[0], "Kalibrace kamery - program Pelvanor");
    std::string bytes;
    for (const std::string& line : panel) bytes += EncodeCp1250(line) + "\r\n";
    EXPECT_EQ(test::ReadFileBytes(Out("kalibrace.txt")), bytes);

    // The protocol's rows: name, before, after, standard deviation, ratio,
    // then "ano" (estimated) and whether significant.
    const char* names[8] = {"f", "x0", "y0", "k1", "k2", "k3", "p1", "p2"};
    std::vector<long double> after(8), sd(8);
    for (int j = 0; j < 8; ++j) {
        const std::string prefix = std::string(names[j]) + " ";
        const auto row = std::find_if(panel.begin(), panel.end(), [&](const std::string& line) {
            return line.rfind(prefix, 0) == 0 && line.find(" ano ") != std::string::npos;
        });
        ASSERT_NE(row, panel.end()) << names[j];
        const std::vector<long double> v = Numbers(row->substr(prefix.size(), row->find(" ano ") - prefix.size()));
        ASSERT_EQ(v.size(), 4u) << *row;
        after[j] = v[1];
        sd[j] = v[2];
    }
    // "Uložit kameru" before the adoption writes the typed camera, after it
    // the calibrated one: the protocol's values (rounded there within a
    // standard deviation), near the generator's camera.
    const std::vector<long double> typedCamera = CameraFile(Out("pred.txt"));
    const std::vector<long double> saved = CameraFile(Out("po.txt"));
    ASSERT_EQ(typedCamera.size(), 8u);
    ASSERT_EQ(saved.size(), 8u);
    EXPECT_EQ(typedCamera[0], 23.5L);
    const synth::Camera& c = project_.camera;
    const long double truth[8] = {c.f, c.x0, c.y0, c.k1, c.k2, c.k3, c.p1, c.p2};
    for (int j = 0; j < 8; ++j) {
        SCOPED_TRACE(names[j]);
        EXPECT_LE(std::fabs(saved[j] - after[j]), sd[j]);
        EXPECT_LT(std::fabs(saved[j] - truth[j]), 5.0L * sd[j]);
    }
    EXPECT_GT(std::fabs(saved[0] - typedCamera[0]), 0.1L) << "the fields changed";

    QSvgRenderer svg(QString::fromStdString(Out("zkresleni.svg")));
    EXPECT_TRUE(svg.isValid());
    EXPECT_NE(test::ReadFileBytes(Out("zkresleni.svg")).find("<title>Zkreslení objektivu - před a po kalibraci - p"),
              std::string::npos);
}

// ---- A result file that cannot be written ---------------------------------

TEST_F(DriveWorkflow, UnwritableFileIsReportedAndTheProgramGoesOn) {
    const std::string load = Generate(RoadProject());
    Run(load +
        "click Výpočty > Souřadnice XYZ\n"
        "save /nonexistent-folder/x.txt\nclick Výsledky > Protokoly > Kompletní\n"
        "log u1.log\nmessages u.messages\n"
        "save \"" + Out("kompletni.txt") + "\"\nclick Výsledky > Protokoly > Kompletní\n"
        "save \"" + Out("xyz.txt") + "\"\nclick Výsledky > Souřadnice XYZ\n"
        "log u2.log\n");
    const std::vector<std::string> before = ReadLines(Out("u1.log"));
    const std::vector<std::string> after = ReadLines(Out("u2.log"));
    for (const std::string& line : before) EXPECT_EQ(line.rfind("Uložen", 0), std::string::npos) << line;
    EXPECT_EQ(ReadLines(Out("u.messages")),
              std::vector<std::string>{
                  "Soubor /nonexistent-folder/x.txt nelze vytvořit, složka /nonexistent-folder neexistuje."});
    // The complete protocol logs nothing even when written; the later
    // coordinate file shows the program went on with its state intact.
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back(), "Uloženy souřadnice XYZ: " + Out("xyz.txt"));
    EXPECT_EQ(test::ReadFileBytes(Out("kompletni.txt")), test::ReadFileBytes(test::SourcePath("tests/project/golden/road_comma.txt")));
    EXPECT_FALSE(test::ReadFileBytes(Out("xyz.txt")).empty());
}

}  // namespace
}  // namespace pelvanor
