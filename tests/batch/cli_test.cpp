// pelvanor-batch run as a program: the exit statuses, what each command
// writes, the settings of a project folder in its protocols, the pictures
// without a display.  The rules of the command line are tested in process
// (batch_options_test.cpp).

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Every rule that refuses a value is tested in process
// (batch_options_test.cpp); here what the program does with a refusal: the
// message and the hint on standard error, exit status 2, nothing run.
TEST_F(BatchCli, BadUsageExitsTwoBeforeAnythingRuns) {
    const std::string out = dir_.Path("out");
    const ProgramRun run = RunBatch({Fasada(), "--out", out, "--tolerance", "0,1"}, kPoint);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("pelvanor-batch: bad value of --tolerance: '0,1' (a number with the decimal separator '.')\n"
                           "Help: pelvanor-batch --help\n"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_FALSE(std::filesystem::exists(out)) << "something ran";
}

// Two runs into one --out would leave a set of result files made of both:
// while one run holds the folder's lock (here the test holds it, as a run
// does), a second computes and writes nothing and exits with 1.
TEST_F(BatchCli, ASecondRunIntoTheSameOutputFolderIsRefused) {
    const std::string out = dir_.Path("out");
    std::filesystem::create_directories(out);
    const std::string lockFile = out + "/.pelvanor-batch.lock";
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const ProgramRun second = RunBatch({Fasada(), "--out", out}, kComma);
    ::close(fd);
    EXPECT_EQ(second.status, 1) << second.err;
    EXPECT_NE(second.err.find("pelvanor-batch: do výstupní složky právě zapisuje jiný běh pelvanor-batch, tento běh "
                              "nic nespočítal ani nezapsal: " + out),
              std::string::npos)
        << second.err;
    EXPECT_EQ(second.err.find("Program Pelvanor spuštěn"), std::string::npos) << "it ran: " << second.err;
    EXPECT_EQ(Names(FolderFiles(out)), std::set<std::string>{".pelvanor-batch.lock"});
    // Released, the folder takes the next run, which leaves no lock file.
    std::filesystem::remove(lockFile);
    const ProgramRun next = RunBatch({Fasada(), "--out", out, "--command", "orientation"}, kComma);
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(FolderFiles(out).count(".pelvanor-batch.lock"), 0u);
    EXPECT_EQ(FolderFiles(out).size(), 3u);
}

// A project folder whose files do not pair is bad input: nothing is loaded.
TEST_F(BatchCli, AProjectFolderThatDoesNotPairIsRefused) {
    const std::string project = CopyOfFasada(dir_);
    std::filesystem::rename(project + "/img_03.txt", project + "/IMG_03.txt");
    const ProgramRun run = RunBatch({project, "--json", dir_.Path("s.json")}, kComma);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("pelvanor-batch: Chyba - Jméno souboru se od ctrl_*.txt a img_*.txt liší velikostí "
                           "písmen: IMG_03.txt\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Načten soubor"), std::string::npos) << run.err;
    EXPECT_TRUE(FolderFiles(project + "/vysledky").empty());
    EXPECT_EQ(nlohmann::json::parse(test::ReadFileBytes(dir_.Path("s.json")))["status"], "bad_input");
}

// The language of the help follows LANG; help and version go to standard
// output with exit status 0.
TEST_F(BatchCli, HelpFollowsTheLocaleAndVersionIsPrinted) {
    const ProgramRun czech = RunBatch({"--help"}, kComma);
    EXPECT_EQ(czech.status, 0);
    EXPECT_EQ(czech.out.rfind("Použití: pelvanor-batch", 0), 0u) << czech.out;
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
    // After a calibration, so that "Zkreslení objektivu" is drawn too.
    test::ProgramCall call{test::BatchPath(),
                           {Fasada(), "--command", "calibration", "--out", dir_.Path("out"), "--plots", plots, "--json", json}};
    call.noDisplay = true;
    const ProgramRun run = test::RunAtOnce({call}, kComma).front();
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::string> expected;
    for (const std::string stem : {"rezidua_snimek_1", "rezidua_snimek_2", "rezidua_snimek_3", "rezidua_snimek_4",
                                   "rezidua_snimek_5", "rezidua_snimek_6", "pudorys_xy", "pudorys_xz", "pudorys_yz",
                                   "zkresleni_objektivu"})
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
    // The seven result files of a calibration and the pictures.
    EXPECT_EQ(nlohmann::json::parse(test::ReadFileBytes(json))["files"].size(), 7u + expected.size());
}

}  // namespace
}  // namespace pelvanor
