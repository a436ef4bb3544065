#include "project/result_commands.h"

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <gtest/gtest.h>

#include "matrix/file_error.h"
#include "project/complete_protocol.h"
#include "project/state_reports.h"
#include "protocol/bundle_report.h"
#include "matrix/text_file.h"
#include "tests/project/report_fixture.h"
#include "tests/project/recording_host.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using Lines = std::vector<std::string>;

std::string Crlf(const Lines& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

const std::string kTitle = "Protokol o výpočtu prostorových souřadnic - program Pelvanor";
const std::string kH8 =
    "        Číslo bodu       X[m]            Y[m]            Z[m]             m0"
    "             Mx[m]           My[m]           Mz[m]";
const std::string kH10 = kH8 + "         kriterium        Fisher ";

TEST(ResultCommands, BundleResultsFillThePanelInTheHostsSeparator) {
    const ProjectState s = test::MakeReportProject();
    test::RecordingHost comma(nullptr, ',');
    test::RecordingHost point(nullptr, '.');
    const Lines a = ShowBundleResults(s, comma);
    const Lines b = ShowBundleResults(s, point);
    EXPECT_EQ(a, BundleReportLines(s, ','));
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a[14], "Aposteriorní směrodatná odchylka jednotková: 0,012");
    EXPECT_EQ(b[14], "Aposteriorní směrodatná odchylka jednotková: 0.012");
    EXPECT_TRUE(comma.log.empty());
}

TEST(ResultCommands, AllCoordinatesWithFTestWriteFileSummaryAndLog) {
    test::TempDir dir;
    const ProjectState s = test::MakeReportProject();
    test::RecordingHost host(nullptr, ',');
    const std::string file = dir.Path("xyz.txt");
    const Lines panel = SaveCoordinatesWithFTest(s, host, file);
    EXPECT_EQ(panel, (Lines{"Výpočet prostorových souřadnic - program Pelvanor", std::string(49, '*'),
                            "F-test na hladině významnosti: 5 procent", "Počet vypočtených bodů: 2",
                            "Počet bodů splňujíci F-test: 1"}));
    const std::string expected =
        EncodeCp1250(Crlf({kTitle, std::string(60, '*'), kH10})) +
        "            101        10.50000        20.25000        -3.12500         0.01200"
        "         0.00100         0.00200         0.00300         1.25000         3.45670 \r\n"
        "            102        -7.50000         0.00000        12.00000         0.01100"
        "         0.00400         0.00500         0.00600         4.50000         3.45670 \r\n";
    EXPECT_EQ(test::ReadFileBytes(file), expected);
    EXPECT_EQ(host.log, (Lines{"Uloženy souřadnice XYZ: " + file}));
    // Saving again to the same name replaces the file.
    SaveCoordinatesWithFTest(s, host, file);
    EXPECT_EQ(test::ReadFileBytes(file), expected);
    EXPECT_EQ(host.log.size(), 2u);
}

TEST(ResultCommands, PassedCoordinatesWriteOnlyThePassingPoints) {
    test::TempDir dir;
    ProjectState s = test::MakeReportProject();
    test::RecordingHost host(nullptr, ',');
    const std::string file = dir.Path("passed.txt");
    SavePassedCoordinates(s, host, file);
    EXPECT_EQ(test::ReadFileBytes(file),
              EncodeCp1250(Crlf({kTitle, std::string(60, '*'), kH8})) +
                  "            101        10.50000        20.25000        -3.12500         0.01200"
                  "         0.00100         0.00200         0.00300 \r\n");
    EXPECT_EQ(host.log, (Lines{"Uloženy souřadnice XYZ: " + file}));

    // No passing point: the header alone, never a point numbered 0.
    s.FTestPassed = test::MakeMatrix({{0}});
    SavePassedCoordinates(s, host, file);
    EXPECT_EQ(test::ReadFileBytes(file), EncodeCp1250(Crlf({kTitle, std::string(60, '*'), kH8})));
    EXPECT_EQ(host.log.size(), 2u);
}

TEST(ResultCommands, CompleteProtocolWritesNoLogLine) {
    test::TempDir dir;
    const ProjectState s = test::MakeReportProject();
    test::RecordingHost host(nullptr, ',');
    const std::string file = dir.Path("complete.txt");
    SaveCompleteProtocol(s, host, file);
    EXPECT_EQ(test::ReadFileBytes(file),
              test::ReadFileBytes(test::SourcePath("tests/project/golden/complete_comma.txt")));
    EXPECT_TRUE(host.log.empty());
}

TEST(ResultCommands, UnwritableFileStopsTheCommandWithoutLogAndKeepsThePanel) {
    test::TempDir dir;
    const ProjectState s = test::MakeReportProject();
    test::RecordingHost host(nullptr, ',');
    const std::string bad = dir.Path("no/such/folder/out.txt");
    EXPECT_THROW(SaveCoordinatesWithFTest(s, host, bad), FileError);
    EXPECT_THROW(SavePassedCoordinates(s, host, bad), FileError);
    EXPECT_THROW(SaveCompleteProtocol(s, host, bad), FileError);
    EXPECT_TRUE(host.log.empty());
    // The state is untouched: a later save succeeds.
    EXPECT_NO_THROW(SavePassedCoordinates(s, host, dir.Path("ok.txt")));
    EXPECT_EQ(host.log.size(), 1u);
}

// A save that the file system stops half-way (here the process may write no
// file beyond a limit just below the new file's size, as a nearly full disk
// would stop it) leaves the earlier file of that name byte for byte and no
// part of the new one: the file is composed whole and written once.
TEST(ResultCommands, FailedSaveOnAFullDiskKeepsTheEarlierFile) {
    test::TempDir dir;
    const ProjectState s = test::MakeReportProject();
    test::RecordingHost host(nullptr, ',');
    const std::string complete = dir.Path("kompletni.txt");
    const std::string coordinates = dir.Path("xyz.txt");
    const std::string earlier = "an earlier protocol\r\n" + std::string(100, 'e');
    test::WriteFileBytes(complete, earlier);
    test::WriteFileBytes(coordinates, earlier);
    const std::size_t completeSize = CompleteProtocolText(s, ',').size();
    ASSERT_GT(completeSize, 2000u);

    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> errors;
    const auto attempt = [&](rlim_t limit, auto&& save) {
        struct rlimit small = old;
        small.rlim_cur = limit;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        try {
            save();
            errors.push_back("");
        } catch (const FileError& e) {
            errors.push_back(e.what());
        }
        ::setrlimit(RLIMIT_FSIZE, &old);
    };
    // The headers alone would fit: each file used to be written in pieces.
    attempt(completeSize - 1, [&] { SaveCompleteProtocol(s, host, complete); });
    std::vector<std::string> panel{"the panel"};
    attempt(400, [&] { panel = SaveCoordinatesWithFTest(s, host, coordinates); });
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(errors, (Lines{"Do souboru " + complete + " nelze zapisovat, soubor by byl příliš velký.",
                             "Do souboru " + coordinates + " nelze zapisovat, soubor by byl příliš velký."}));
    EXPECT_EQ(test::ReadFileBytes(complete), earlier);
    EXPECT_EQ(test::ReadFileBytes(coordinates), earlier);
    EXPECT_EQ(panel, Lines{"the panel"});
    EXPECT_TRUE(host.log.empty());
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Dir())) ++entries;
    EXPECT_EQ(entries, 2u) << "a temporary file was left";
}

TEST(ResultCommands, ErrorTextReachesTheWindowAsCzechUtf8) {
    test::TempDir dir;
    const ProjectState s = test::MakeReportProject();
    test::RecordingHost host(nullptr, ',');
    try {
        SaveCompleteProtocol(s, host, dir.Path("missing/k.txt"));
        FAIL() << "no FileError";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.Path("missing/k.txt")), std::string::npos);
    }
}

TEST(ResultCommands, NothingComputedWritesNothing) {
    test::TempDir dir;
    const ProjectState s;
    test::RecordingHost host(nullptr, ',');
    EXPECT_TRUE(SaveCoordinatesWithFTest(s, host, dir.Path("a.txt")).empty());
    SavePassedCoordinates(s, host, dir.Path("b.txt"));
    EXPECT_TRUE(host.log.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.Path("a.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.Path("b.txt")));
}

}  // namespace
}  // namespace pelvanor
