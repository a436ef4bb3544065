// The JSON summary of pelvanor-batch is written on every exit: a settings
// file it refuses, a stop by SIGTERM in the middle of an adjustment; it
// tells whether each adjustment converged and carries the warnings of the
// log.  Beside it the exports of --export and what --plots does where the
// command draws nothing.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "tests/batch/batch_support.h"
#include "tests/support/busy_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::FolderFiles;
using test::ProgramRun;
using test::RunBatch;

const char* const kComma = "cs_CZ.UTF-8";

std::string Fasada() { return test::SourcePath("examples/fasada"); }

nlohmann::json Summary(const std::string& path) { return nlohmann::json::parse(test::ReadFileBytes(path)); }

TEST(BatchSummary, WrittenWhenTheSettingsFileIsRefused) {
    ASSERT_FALSE(test::BatchPath().empty());
    test::TempDir dir;
    const std::string project = dir.Path("fasada");
    std::filesystem::copy(Fasada(), project);
    // The input files write the tolerance with ".": "0,1" is refused.
    test::WriteFileBytes(project + "/nastaveni.ini", "max-iterations = 7\ntolerance = 0,1\n");
    const std::string json = dir.Path("souhrn.json");
    const ProgramRun run = RunBatch({project, "--json", json}, kComma);
    EXPECT_EQ(run.status, 2) << run.err;
    const auto summary = Summary(json);
    EXPECT_EQ(summary["status"], "bad_input");
    EXPECT_EQ(summary["exit_status"], 2);
    const std::string error = summary["error"];
    EXPECT_NE(error.find("nastaveni.ini:2: tolerance"), std::string::npos) << error;
    EXPECT_NE(error.find("„0,1“"), std::string::npos) << error;
    EXPECT_TRUE(summary["files"].empty());
    EXPECT_FALSE(std::filesystem::exists(project + "/vysledky"));
}

TEST(BatchSummary, SigtermStopsTheRunAndSaysSo) {
    ASSERT_FALSE(test::BatchPath().empty());
    test::TempDir dir;
    // A block whose passes take a good part of a second each.
    std::string error;
    const std::string p = dir.Path("p");
    ASSERT_TRUE(test::WriteBusyProject(p, &error)) << error;

    QProcess batch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", kComma);
    env.insert("LC_ALL", kComma);
    batch.setProcessEnvironment(env);
    const std::string json = dir.Path("souhrn.json");
    batch.start(QString::fromStdString(test::BatchPath()),
                {QString::fromStdString(p), QStringLiteral("--solve"), QStringLiteral("svd"), QStringLiteral("--json"),
                 QString::fromStdString(json)});
    ASSERT_TRUE(batch.waitForStarted());
    // Once the adjustments run (the orientation's line is out), the signal.
    QByteArray err;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!err.contains("Přibližná orientace - výpočet proveden") && std::chrono::steady_clock::now() < deadline) {
        batch.waitForReadyRead(200);
        err += batch.readAllStandardError();
    }
    ASSERT_TRUE(err.contains("Přibližná orientace - výpočet proveden")) << err.toStdString();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(static_cast<pid_t>(batch.processId()), SIGTERM);
    ASSERT_TRUE(batch.waitForFinished(60000));
    err += batch.readAllStandardError();
    EXPECT_EQ(batch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(batch.exitCode(), 143) << err.toStdString();
    const std::string log = err.toStdString();
    EXPECT_NE(log.find(": Výpočet přerušen (SIGTERM)\n"), std::string::npos) << log;
    // No failure line after the stop, and no result file.
    EXPECT_EQ(log.find("Chyba", log.find("Výpočet přerušen")), std::string::npos) << log;
    EXPECT_TRUE(FolderFiles(p + "/vysledky").empty());
    const auto summary = Summary(json);
    EXPECT_EQ(summary["status"], "interrupted");
    EXPECT_EQ(summary["exit_status"], 143);
    EXPECT_EQ(summary["error"], "Výpočet přerušen (SIGTERM)");
    EXPECT_TRUE(summary["files"].empty());
}

TEST(BatchSummary, ConvergenceWarningsExportsAndPlotsWithoutPictures) {
    ASSERT_FALSE(test::BatchPath().empty());
    test::TempDir dir;
    // One pass allowed: no adjustment meets the change test, and the log
    // warns of the pass limit.
    const auto runs = test::RunAtOnce(
        {{test::BatchPath(),
          {Fasada(), "--out", dir.Path("limit"), "--max-iterations", "0", "--json", dir.Path("limit.json")}},
         {test::BatchPath(),
          {Fasada(), "--out", dir.Path("xyz"), "--export", "csv,dxf,ply", "--json", dir.Path("xyz.json")}},
         {test::BatchPath(),
          {Fasada(), "--out", dir.Path("orientation"), "--command", "orientation", "--plots", dir.Path("grafy"),
           "--export", "csv"}}},
        kComma);
    for (const ProgramRun& run : runs) ASSERT_LE(run.status, 1) << run.err;

    const auto limited = Summary(dir.Path("limit.json"));
    ASSERT_FALSE(limited["bundle"].is_null());
    for (const auto& adjustment : limited["bundle"]["adjustments"]) EXPECT_FALSE(adjustment["converged"].get<bool>());
    ASSERT_FALSE(limited["warnings"].empty());
    for (const auto& warning : limited["warnings"])
        EXPECT_EQ(warning.get<std::string>().rfind("Upozornění - ", 0), 0u) << warning;

    const auto done = Summary(dir.Path("xyz.json"));
    EXPECT_EQ(done["status"], "done");
    EXPECT_TRUE(done["error"].is_null());
    ASSERT_EQ(done["bundle"]["adjustments"].size(), 4u);
    for (const auto& adjustment : done["bundle"]["adjustments"]) EXPECT_TRUE(adjustment["converged"].get<bool>());
    // The exports beside the protocols, each listed and logged.
    for (const char* name : {"body.csv", "body.dxf", "body.ply"}) {
        const std::string file = dir.Path("xyz") + "/" + name;
        EXPECT_TRUE(std::filesystem::exists(file)) << name;
        EXPECT_NE(runs[1].err.find(": Exportovány body: " + file + "\n"), std::string::npos) << name;
        EXPECT_NE(std::find(done["files"].begin(), done["files"].end(), file), done["files"].end()) << name;
    }

    // The orientation draws no picture and computes no point: said so, and
    // no folder of pictures is made.
    EXPECT_EQ(runs[2].status, 0);
    EXPECT_NE(runs[2].err.find("Upozornění - --plots: příkaz orientation nemá obrázky okna Grafy"), std::string::npos)
        << runs[2].err;
    EXPECT_NE(runs[2].err.find("Upozornění - --export: příkaz orientation nepočítá souřadnice XYZ"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("grafy")));
    EXPECT_FALSE(std::filesystem::exists(dir.Path("orientation") + "/body.csv"));
}

}  // namespace
}  // namespace pelvanor
