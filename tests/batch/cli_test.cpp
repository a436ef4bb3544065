// pelvanor-batch's command line: every rule that refuses a value, once,
// each refused before anything runs; the exit statuses; what each command
// writes; the settings file of a project folder under the options.

#include <algorithm>
#include <filesystem>
#include <regex>
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

using test::FolderFiles;
using test::ProgramRun;
using test::RunBatch;

const char* const kPoint = "en_US.UTF-8";
const char* const kComma = "cs_CZ.UTF-8";

std::string Fasada() { return test::SourcePath("examples/fasada"); }

// A copy of the sample project that a test may change.
std::string CopyOfFasada(const test::TempDir& dir) {
    const std::string copy = dir.Path("fasada");
    std::filesystem::copy(Fasada(), copy);
    return copy;
}

std::set<std::string> Names(const std::map<std::string, std::string>& files) {
    std::set<std::string> names;
    for (const auto& [name, bytes] : files) names.insert(name);
    return names;
}

class BatchCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(test::BatchPath().empty()); }
    test::TempDir dir_;
};

TEST_F(BatchCli, RefusesEveryBadValueBeforeAnythingRuns) {
    const std::string out = dir_.Path("out");
    const std::string ini = dir_.Path("settings.ini");
    const std::string badKey = dir_.Path("bad_key.ini");
    test::WriteFileBytes(ini, "# the tolerance is written with a point, as in every input file\nmax-iterations = 7\n"
                              "tolerance = 0,1\n");
    test::WriteFileBytes(badKey, "[pelvanor]\niterations = 7\n");
    // A valid project around the bad value, so that only the value is wrong.
    const auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{Fasada(), "--out", out};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    };
    const struct {
        std::vector<std::string> args;
        std::string message;  // what the message says, naming the option
    } cases[] = {
        {with({"--bogus"}), "unknown option --bogus"},
        {{Fasada(), "--out"}, "missing value of --out"},
        {with({"--command", "adjust"}), "bad value of --command: 'adjust'"},
        {with({"--method", "sphere"}), "bad value of --method"},
        {with({"--decimal", ";"}), "bad value of --decimal"},
        {with({"--robust", "yes"}), "bad value of --robust: 'yes' (on | off)"},
        {with({"--solve", "dense"}), "bad value of --solve: 'dense' (auto | svd | sparse)"},
        // The dialog's whole numbers: leading blanks only.
        {with({"--point-percent", "100 "}), "bad value of --point-percent: '100 ' (a whole number)"},
        // The tolerance: "." or the decimal separator in force, nothing else.
        {with({"--decimal", ",", "--tolerance", "0;1"}),
         "bad value of --tolerance: '0;1' (a number with the decimal separator ',' or '.')"},
        {with({"--settings", ini}), ini + ":3: tolerance: '0,1'"},
        {with({"--settings", badKey}), badKey + ":2: unknown key 'iterations'"},
        {with({"--command", "xyz", "--command", "bundle"}), "option given twice: --command"},
        {{"--camera", Fasada() + "/camera.txt", "--out", out}, "missing the project folder, or --camera and --control"},
        {{dir_.Path("nowhere"), "--out", out}, "no such project folder"},
        {with({Fasada()}), "at most one project folder"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunBatch(c.args, kPoint);
        EXPECT_EQ(run.status, 2) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << "expected \"" << c.message << "\" in:\n" << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.message << ": something ran";
    }
}

// A script that sets the decimal comma for the protocols may still write
// the tolerance with ".", as the settings file does; the comma of the
// dialog is taken too.
TEST_F(BatchCli, ToleranceWithAPointOrTheSeparatorInForce) {
    for (const char* tolerance : {"0.05", "0,05"}) {
        SCOPED_TRACE(tolerance);
        const std::string json = dir_.Path(std::string("t") + tolerance[1] + ".json");
        const ProgramRun run = RunBatch({Fasada(), "--command", "orientation", "--decimal", ",", "--tolerance",
                                         tolerance, "--out", dir_.Path("out"), "--json", json},
                                        kPoint);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto summary = nlohmann::json::parse(test::ReadFileBytes(json));
        EXPECT_NEAR(summary["settings"]["tolerance"].get<double>(), 0.05, 1e-15);
    }
}

TEST_F(BatchCli, HelpFollowsTheLocaleAndVersionIsPrinted) {
    const ProgramRun czech = RunBatch({"--help"}, kComma);
    EXPECT_EQ(czech.status, 0);
    EXPECT_EQ(czech.out.rfind("Použití: pelvanor-batch", 0), 0u) << czech.out;
    const ProgramRun english = RunBatch({"-h"}, kPoint);
    EXPECT_EQ(english.out.rfind("Usage: pelvanor-batch", 0), 0u) << english.out;
    const ProgramRun version = RunBatch({"--version"}, kPoint);
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("pelvanor-batch [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
}

TEST_F(BatchCli, ExitStatusOneWhenTheCommandFailsTwoWhenTheInputIsUnreadable) {
    // No tie point may enter the adjustment: the computation fails.
    const std::string out = dir_.Path("failed");
    const std::string json = dir_.Path("failed.json");
    const ProgramRun failed = RunBatch({Fasada(), "--out", out, "--point-percent", "0", "--json", json}, kComma);
    EXPECT_EQ(failed.status, 1) << failed.err;
    EXPECT_NE(failed.err.find(": Chyba - Souřadnice XYZ - výpočet nelze provést\n"), std::string::npos) << failed.err;
    EXPECT_TRUE(FolderFiles(out).empty());
    const auto summary = nlohmann::json::parse(test::ReadFileBytes(json));
    EXPECT_EQ(summary["status"], "failed");
    EXPECT_EQ(summary["exit_status"], 1);

    // An image with three control points is refused by the load.
    const std::string project = CopyOfFasada(dir_);
    test::WriteFileBytes(project + "/ctrl_02.txt", "1 0 0 0 1 1\n2 1 0 0 2 1\n3 0 1 0 1 2\n");
    const ProgramRun unreadable = RunBatch({project, "--json", dir_.Path("bad.json")}, kComma);
    EXPECT_EQ(unreadable.status, 2) << unreadable.err;
    EXPECT_NE(unreadable.err.find(": Chyba v minimálním počtu vlícovacích bodů - snímek 2\n"), std::string::npos);
    EXPECT_NE(unreadable.err.find(": Chyba - Vlícovací body nenačteny do programu\n"), std::string::npos);
    EXPECT_TRUE(FolderFiles(project + "/vysledky").empty());
    EXPECT_EQ(nlohmann::json::parse(test::ReadFileBytes(dir_.Path("bad.json")))["status"], "bad_input");

    // Without a terminal the standard error holds the log lines and nothing
    // else: the time of day, ": " and the message.
    std::istringstream lines(unreadable.err);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(std::regex_match(line, std::regex("[0-9]{1,2}:[0-9]{2}:[0-9]{2}: [^\r\x1b]+"))) << line;
}

TEST_F(BatchCli, EachCommandWritesWhatTheWindowCanSaveAfterIt) {
    const std::string xyz = dir_.Path("xyz");
    const std::string bundle = dir_.Path("bundle");
    const std::string orientation = dir_.Path("orientation");
    const auto runs = test::RunAtOnce({{test::BatchPath(), {Fasada(), "--out", xyz}},
                                       {test::BatchPath(), {Fasada(), "--out", bundle, "--command", "bundle"}},
                                       {test::BatchPath(), {Fasada(), "--out", orientation, "--command", "orientation"}}},
                                      kComma);
    for (const ProgramRun& run : runs) ASSERT_EQ(run.status, 0) << run.err;
    const auto all = FolderFiles(xyz);
    const auto afterBundle = FolderFiles(bundle);
    const auto afterOrientation = FolderFiles(orientation);
    EXPECT_EQ(Names(afterOrientation), (std::set<std::string>{"opravene_snimkove_souradnice.txt",
                                                               "opravene_vlicovaci_body.txt", "priblizna_orientace.txt"}));
    std::set<std::string> bundleNames = Names(afterOrientation);
    bundleNames.insert("svazkove_vyrovnani.txt");
    bundleNames.insert("kontrolni_body.txt");
    EXPECT_EQ(Names(afterBundle), bundleNames);
    // Each command recomputes from the inputs: the same results.
    for (const auto& [name, bytes] : afterBundle) EXPECT_TRUE(all.at(name) == bytes) << name;
    for (const auto& [name, bytes] : afterOrientation) EXPECT_TRUE(all.at(name) == bytes) << name;
}

TEST_F(BatchCli, ProjectSettingsFileUnderTheOptions) {
    const std::string project = CopyOfFasada(dir_);
    test::WriteFileBytes(project + "/nastaveni.ini",
                         "; settings of this project\nmax-iterations = 7\ntolerance = 0.05\nrobust = off\n");
    const ProgramRun run = RunBatch({project, "--decimal", ",", "--tolerance", "0,2", "--significance", "10"}, kPoint);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = test::ProtocolLines(project + "/vysledky/kompletni_protokol.txt");
    const auto has = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("Maximální počet iterací:............7"));
    EXPECT_TRUE(has("Tolerance iteračního výpočtu:.......0,2"));
    EXPECT_TRUE(has("Hladina významnosti:................10%"));
    EXPECT_FALSE(has("Robustní odhad: ano "));  // robust estimation off: no such block
    EXPECT_TRUE(has("Vyrovnání konstanty komory: ano "));
}

TEST_F(BatchCli, SolveChoosesHowTheNormalEquationsAreSolved) {
    // The project's file asks for the elimination; the option overrides it.
    const std::string project = CopyOfFasada(dir_);
    test::WriteFileBytes(project + "/nastaveni.ini", "solve = sparse\n");
    const auto runs = test::RunAtOnce(
        {{test::BatchPath(), {project, "--command", "bundle", "--out", dir_.Path("sparse"), "--json", dir_.Path("sparse.json")}},
         {test::BatchPath(),
          {project, "--command", "bundle", "--solve", "svd", "--out", dir_.Path("svd"), "--json", dir_.Path("svd.json")}}},
        kComma);
    for (const ProgramRun& run : runs) ASSERT_EQ(run.status, 0) << run.err;
    // Which solve ran goes to the log and the summary, never to a protocol.
    const std::string line = "Řešení normálních rovnic: SVD";
    for (const auto& [name, sparse] : {std::pair{"sparse", true}, std::pair{"svd", false}}) {
        SCOPED_TRACE(name);
        const auto panel = test::ProtocolLines(dir_.Path(name) + "/svazkove_vyrovnani.txt");
        EXPECT_EQ(std::find(panel.begin(), panel.end(), line), panel.end());
        EXPECT_EQ(runs[sparse ? 0 : 1].err.find(line) != std::string::npos, !sparse);
        const auto summary = nlohmann::json::parse(test::ReadFileBytes(dir_.Path(std::string(name) + ".json")));
        EXPECT_EQ(summary["settings"]["solve"], name);
        EXPECT_EQ(summary["bundle"]["solved_by_elimination"], sparse);
    }
}

TEST_F(BatchCli, PlotsWrittenWithoutADisplay) {
    const std::string plots = dir_.Path("grafy");
    const std::string json = dir_.Path("summary.json");
    test::ProgramCall call{test::BatchPath(), {Fasada(), "--out", dir_.Path("out"), "--plots", plots, "--json", json}};
    call.noDisplay = true;
    const ProgramRun run = test::RunAtOnce({call}, kComma).front();
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::string> expected;
    for (const std::string stem : {"rezidua_snimek_1", "rezidua_snimek_2", "rezidua_snimek_3", "rezidua_snimek_4",
                                   "rezidua_snimek_5", "rezidua_snimek_6", "pudorys_xy", "pudorys_xz", "pudorys_yz"})
        for (const char* extension : {".png", ".svg", ".pdf"}) expected.insert(stem + extension);
    const auto files = FolderFiles(plots);
    EXPECT_EQ(Names(files), expected);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        ASSERT_GT(bytes.size(), 1000u);
        if (name.ends_with(".png")) {
            EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
        } else if (name.ends_with(".svg")) {
            EXPECT_NE(bytes.find("<svg"), std::string::npos);
        } else {
            EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
            EXPECT_NE(bytes.find("%%EOF", bytes.size() - 16), std::string::npos);
        }
    }
    // Each picture is logged as the window logs it, and listed in the summary.
    EXPECT_NE(run.err.find(": Uložen obrázek: " + plots + "/pudorys_xy.pdf\n"), std::string::npos) << run.err;
    EXPECT_EQ(nlohmann::json::parse(test::ReadFileBytes(json))["files"].size(), 8u + expected.size());
}

}  // namespace
}  // namespace pelvanor
