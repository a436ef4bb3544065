// What pelvanor-batch gives a script: the JSON summary holds the numbers
// the protocols print, and two projects computed at the same time into
// their own folders give what each gives alone.

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "tests/batch/batch_support.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using nlohmann::json;
using test::ProtocolLines;

// The text after `prefix` on the first line that starts with it.
std::string After(const std::vector<std::string>& lines, const std::string& prefix, std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0) return lines[i].substr(prefix.size());
    ADD_FAILURE() << "no line \"" << prefix << "\"";
    return {};
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

long Whole(const std::string& text) { return std::stol(text); }

// A number of the protocol with its decimal comma.
double Number(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    return std::stod(text);
}

// The point numbers of the data rows of a coordinate file.
std::vector<long> PointNumbers(const std::vector<std::string>& lines) {
    std::vector<long> points;
    for (std::size_t i = 3; i < lines.size(); ++i) {
        std::istringstream row(lines[i]);
        long number = 0;
        if (row >> number) points.push_back(number);
    }
    return points;
}

TEST(BatchSummary, HoldsTheNumbersOfTheProtocols) {
    ASSERT_FALSE(test::BatchPath().empty());
    test::TempDir dir;
    const std::string out = dir.Path("out");
    // A robust weight of 100 % removes points, so the outlier list is not
    // empty; the two gross errors fail the F-test.
    const test::ProgramRun run = test::RunBatch(
        {test::SourcePath("examples/fasada"), "--out", out, "--robust-weight-percent", "100", "--json",
         dir.Path("summary.json")},
        "cs_CZ.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;
    const json j = json::parse(test::ReadFileBytes(dir.Path("summary.json")));
    const auto protocol = ProtocolLines(out + "/kompletni_protokol.txt");
    const auto panel = ProtocolLines(out + "/svazkove_vyrovnani.txt");

    EXPECT_EQ(j["status"], "done");
    EXPECT_EQ(j["command"], "xyz");
    EXPECT_EQ(j["decimal"], ",");
    EXPECT_EQ(j["settings"]["robust_weight_percent"], 100);
    EXPECT_EQ(j["counts"]["images"], Whole(After(protocol, "Počet snímků: ")));
    EXPECT_EQ(j["counts"]["images"], j["inputs"]["images"].size());

    // Orientation: iterations and the m0 of every image (three decimals).
    EXPECT_EQ(j["orientation"]["refinement_iterations"].get<double>(), Number(After(protocol, "Počet iterací: ")));
    const json& m0s = j["orientation"]["m0_per_image"];
    ASSERT_EQ(m0s.size(), 6u);
    for (std::size_t i = 0; i < m0s.size(); ++i) {
        const std::string prefix = "Aposteriorní směrodatná odchylka jednotková na snímku  00" + std::to_string(i + 1) + " = ";
        EXPECT_NEAR(m0s[i].get<double>(), Number(After(protocol, prefix)), 0.0005);
    }

    // Bundle adjustment, as the panel prints it.
    const json& b = j["bundle"];
    EXPECT_EQ(b["points"], Whole(After(panel, "Počet bodů vstupující do svazkového vyrovnání: ")));
    EXPECT_EQ(b["fixed_points"], Whole(After(panel, "Počet vlícovacích bodů - stabilizace: ")));
    const std::size_t removed = Whole(After(panel, "Počet vyřazených bodů z výpočtu svazkového vyrovnání: "));
    ASSERT_GT(removed, 0u);
    ASSERT_EQ(b["outliers"].size(), removed);
    const std::size_t list = IndexOf(panel, "Vyřazené body") + 1;
    for (std::size_t k = 0; k < removed; ++k) EXPECT_EQ(b["outliers"][k], Whole(panel.at(list + k)));
    // With every weighted row removed the outlier selection leaves no tie
    // point, so the adjustment without the camera constant after it is not
    // a result: the panel says so in one line and the summary holds null.
    const std::size_t withoutF = IndexOf(panel, "Výpočet svazkového vyrovnání bez konstanty komory");
    const std::size_t withF = IndexOf(panel, "Výpočet svazkového vyrovnání s konstantou komory");
    const bool withoutFailed =
        IndexOf(panel, "Výpočet svazkového vyrovnání bez konstanty komory nelze provést - vyrovnání selhalo") <
        panel.size();
    ASSERT_TRUE(withoutFailed || withoutF < panel.size());
    ASSERT_LT(withF, panel.size());
    if (withoutFailed) {
        EXPECT_TRUE(b["without_camera_constant"].is_null());
    }
    for (const auto& [key, from] : {std::pair{"without_camera_constant", withoutF}, std::pair{"with_camera_constant", withF}}) {
        if (b[key].is_null()) continue;
        SCOPED_TRACE(key);
        EXPECT_NEAR(b[key]["m0"].get<double>(), Number(After(panel, "Aposteriorní směrodatná odchylka jednotková: ", from)),
                    0.0005);
        EXPECT_EQ(b[key]["redundancy"], Whole(After(panel, "Počet nadbytečných měření: ", from)));
        EXPECT_EQ(b[key]["iterations"], Whole(After(panel, "Počet iterací: ", from)));
    }
    // The progress reports: all four adjustments ran; the protocol prints
    // the last without and the last with the camera constant.
    const json& runs = b["adjustments"];
    ASSERT_EQ(runs.size(), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(runs[k]["adjustment"], k + 1);
    if (!withoutFailed) {
        EXPECT_EQ(runs[2]["passes"], b["without_camera_constant"]["iterations"]);
        EXPECT_EQ(runs[2]["m0"], b["without_camera_constant"]["m0"]);
    }
    EXPECT_EQ(runs[3]["passes"], b["with_camera_constant"]["iterations"]);
    EXPECT_EQ(runs[3]["m0"], b["with_camera_constant"]["m0"]);

    // Coordinates and the F-test: the failing points are those missing
    // from the file of the points that pass.
    const json& c = j["coordinates"];
    EXPECT_EQ(c["computed_points"], Whole(After(protocol, "Počet bodů: ")));
    EXPECT_EQ(c["passed_points"], Whole(After(protocol, "Počet bodů splňujíci F-test: ")));
    EXPECT_EQ(c["significance_percent"], Whole(After(protocol, "F-test na hladině významnosti: ")));
    const auto all = PointNumbers(ProtocolLines(out + "/souradnice_xyz_ftest.txt"));
    const auto passed = PointNumbers(ProtocolLines(out + "/souradnice_xyz.txt"));
    std::set<long> failing;
    for (long p : all)
        if (std::find(passed.begin(), passed.end(), p) == passed.end()) failing.insert(p);
    std::set<long> reported;
    for (const json& f : c["failed_f_test"]) {
        reported.insert(f["point"].get<long>());
        EXPECT_GT(f["criterion"].get<double>(), f["quantile"].get<double>()) << f;
    }
    EXPECT_EQ(reported, failing);
    EXPECT_EQ(reported.size() + passed.size(), all.size());
    EXPECT_EQ(j["files"].size(), 8u);

    // Check points, block by block as the report prints them: the released
    // adjustment by its reason, the kept one by its summary lines (six
    // decimals).
    const auto checks = ProtocolLines(out + "/kontrolni_body.txt");
    ASSERT_EQ(j["check_points"].size(), 2u);
    bool released = false;
    for (const json& block : j["check_points"]) {
        const bool cameraConstant = block["camera_constant"].get<bool>();
        SCOPED_TRACE(cameraConstant ? "with the camera constant" : "without the camera constant");
        const std::string kind = cameraConstant ? "s konstantou komory" : "bez konstanty komory";
        const std::size_t heading = IndexOf(checks, "Kontrolní body - vyrovnání " + kind);
        ASSERT_LT(heading, checks.size());
        if (!block["failure"].is_null()) {
            released = true;
            EXPECT_EQ(checks.at(heading + 2), "Výpočet svazkového vyrovnání " + kind + " nelze provést - vyrovnání " +
                                                  block["failure"].get<std::string>());
            continue;
        }
        const json& t = block["adjusted"];
        ASSERT_TRUE(t.is_object());
        EXPECT_EQ(t["count"], Whole(After(checks, "Počet kontrolních bodů: ", heading)));
        for (const auto& [key, axis] : {std::pair{"rms_x", "dX"}, std::pair{"rms_y", "dY"}, std::pair{"rms_z", "dZ"},
                                        std::pair{"rms_space", "v prostoru"}}) {
            const std::string printed = After(checks, std::string("Střední kvadratická odchylka ") + axis + ": ", heading);
            EXPECT_NEAR(t[key].get<double>(), Number(printed.substr(0, printed.size() - 2)), 5e-7) << key;
        }
        const std::string largest = After(checks, "Největší odchylka v prostoru: ", heading);
        EXPECT_NEAR(t["largest"].get<double>(), Number(largest.substr(0, largest.find(' '))), 5e-7);
        EXPECT_EQ(largest.substr(largest.find("(bod ")), "(bod " + std::to_string(t["largest_point"].get<long>()) + ")");
        EXPECT_TRUE(block["intersected"].is_null());  // no control point stands in the image files
    }
    EXPECT_EQ(released, b["without_camera_constant"].is_null());
}

TEST(BatchMany, TwoProjectsAtOnceIntoTheirOwnFolders) {
    ASSERT_FALSE(test::BatchPath().empty());
    test::TempDir dir;
    const auto samples = test::SampleProjects();
    std::vector<test::ProgramCall> together, alone;
    for (const test::SampleProject& p : samples) {
        together.push_back({test::BatchPath(), {p.dir, "--method", p.method, "--out", dir.Path("together_" + p.name)}});
        alone.push_back({test::BatchPath(), {p.dir, "--method", p.method, "--out", dir.Path("alone_" + p.name)}});
    }
    for (const test::ProgramRun& run : test::RunAtOnce(together, "cs_CZ.UTF-8")) ASSERT_EQ(run.status, 0) << run.err;
    for (const test::ProgramCall& call : alone) {
        const test::ProgramRun run = test::RunAtOnce({call}, "cs_CZ.UTF-8").front();
        ASSERT_EQ(run.status, 0) << run.err;
    }
    for (const test::SampleProject& p : samples) {
        SCOPED_TRACE(p.name);
        const auto mine = test::FolderFiles(dir.Path("together_" + p.name));
        EXPECT_EQ(mine.size(), 8u);
        EXPECT_TRUE(mine == test::FolderFiles(dir.Path("alone_" + p.name)));
    }
    // The two projects differ, so neither folder holds the other's results.
    EXPECT_NE(test::FolderFiles(dir.Path("together_fasada")).at("kompletni_protokol.txt"),
              test::FolderFiles(dir.Path("together_rovina")).at("kompletni_protokol.txt"));
}

}  // namespace
}  // namespace pelvanor
