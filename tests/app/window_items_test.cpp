// The window as a user meets it, driven by pelvanor-drive: "Načíst projekt"
// against the three loading commands, files saved with a byte-order mark,
// and the start position on a screen smaller than the window.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/drive_support.h"
#include "tests/support/test_util.h"
#include "tools/synth/synth.h"

namespace pelvanor {
namespace {

using test::DrivePath;
using test::FilesStartingWith;
using test::Quoted;
using test::DriveRun;
using test::ReadLines;
using test::RunDrive;

class WindowItems : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(DrivePath())) << "build pelvanor-drive first: " << DrivePath();
    }
    std::string Script(const std::string& name, const std::string& text) {
        const std::string path = dir_.Path(name);
        test::WriteFileBytes(path, text);
        return path;
    }
    test::TempDir dir_;
};

TEST_F(WindowItems, OpenProjectGivesTheStateAndLogOfTheThreeLoads) {
    synth::Options options;
    options.images = 3;
    options.control = 8;
    options.points = 20;
    options.sigma = 0.002L;
    options.realistic = true;
    options.seed = 7;
    synth::Project project;
    std::string error;
    ASSERT_TRUE(synth::Generate(options, project, &error)) << error;
    const std::string p = dir_.Path("projekt");
    ASSERT_TRUE(synth::WriteProject(project, p, &error)) << error;
    // Saved by a Windows editor: every file starts with a byte-order mark.
    for (const auto& e : std::filesystem::directory_iterator(p)) {
        const std::string body = test::ReadFileBytes(e.path().string());
        test::WriteFileBytes(e.path().string(), "\xEF\xBB\xBF" + body);
    }
    // Another file of the folder that is none of the three kinds.
    test::WriteFileBytes(p + "/poznamky.txt", "nic\n");

    const std::string compute =
        "click Výpočty > Přibližná vnější orientace\n"
        "click Výsledky > Přibližné řešení vnější orientace\n";
    const std::string three = "open \"" + p + "/camera.txt\"\nclick Soubor > Načíst kameru\n" + "open" +
                              Quoted(FilesStartingWith(p, "ctrl_")) + "\nclick Soubor > Načíst orientaci\n" +
                              "open" + Quoted(FilesStartingWith(p, "img_")) +
                              "\nclick Soubor > Načíst snímkové souřadnice\n" + compute +
                              "log a.log\nmenu a.menu\npanel a.panel\nmessages a.messages\n";
    const std::string folder = "open \"" + p + "\"\nclick Soubor > Načíst projekt\n" + compute +
                               "log b.log\nmenu b.menu\npanel b.panel\nmessages b.messages\n";
    DriveRun run = RunDrive(Script("a.drv", three), "cs_CZ.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;
    run = RunDrive(Script("b.drv", folder), "cs_CZ.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;

    const std::vector<std::string> log = ReadLines(dir_.Path("a.log"));
    EXPECT_EQ(ReadLines(dir_.Path("b.log")), log);
    EXPECT_EQ(ReadLines(dir_.Path("b.menu")), ReadLines(dir_.Path("a.menu")));
    EXPECT_EQ(ReadLines(dir_.Path("b.panel")), ReadLines(dir_.Path("a.panel")));
    EXPECT_EQ(ReadLines(dir_.Path("b.messages")), ReadLines(dir_.Path("a.messages")));
    // The files with their marks were loaded and computed with.
    for (const char* line : {"Parametry kamery načteny", "Vlícovací body načteny do programu",
                             "Snímkové souřadnice načteny do programu", "Přibližná orientace - výpočet proveden"}) {
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
    }
    EXPECT_GT(ReadLines(dir_.Path("a.panel")).size(), 10u);

    // A folder without any project file says so and loads nothing.
    std::filesystem::create_directories(dir_.Path("prazdna"));
    run = RunDrive(Script("c.drv", "open prazdna\nclick Soubor > Načíst projekt\nlog c.log\nmenu c.menu\n"),
                   "cs_CZ.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> empty_log = ReadLines(dir_.Path("c.log"));
    ASSERT_EQ(empty_log.size(), 2u);
    EXPECT_EQ(empty_log[1], "Chyba - Ve složce není camera.txt, ctrl_*.txt ani img_*.txt: " + dir_.Path("prazdna"));

    // A folder whose files do not pair is refused with its cause, and
    // nothing of it, not even its camera, is loaded.
    std::filesystem::remove(p + "/img_02.txt");
    run = RunDrive(Script("d.drv", "open \"" + p + "\"\nclick Soubor > Načíst projekt\nlog d.log\nmenu d.menu\n"),
                   "cs_CZ.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadLines(dir_.Path("d.log")),
              (std::vector<std::string>{empty_log[0],
                                        "Chyba - Soubor vlícovacích bodů nemá svůj soubor snímkových souřadnic: "
                                        "ctrl_02.txt (chybí img_02.txt)",
                                        "Chyba - Projekt nenačten: " + p}));
    EXPECT_EQ(ReadLines(dir_.Path("d.menu")), ReadLines(dir_.Path("c.menu")));
}

// The frame's and the screen's "X Y W H" from a geometry dump.
std::vector<int> Rect(const std::vector<std::string>& lines, const std::string& what) {
    for (const std::string& line : lines) {
        if (line.rfind(what + " ", 0) != 0) continue;
        std::vector<int> v;
        std::istringstream in(line.substr(what.size()));
        for (int x; in >> x;) v.push_back(x);
        return v;
    }
    return {};
}

TEST_F(WindowItems, StartPositionKeepsTheTopLeftCornerOnASmallScreen) {
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{{800, 480}, {1920, 1080}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const std::string config = dir_.Path("screen.json");
        test::WriteFileBytes(config, "{ \"screens\": [ { \"name\": \"maly\", \"x\": 0, \"y\": 0, \"width\": " +
                                         std::to_string(width) + ", \"height\": " + std::to_string(height) +
                                         ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1 } ] }\n");
        const DriveRun run =
            RunDrive(Script("g.drv", "geometry g.txt\n"), "cs_CZ.UTF-8", "offscreen:configfile=" + config);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> lines = ReadLines(dir_.Path("g.txt"));
        const std::vector<int> frame = Rect(lines, "frame");
        const std::vector<int> screen = Rect(lines, "screen");
        ASSERT_EQ(frame.size(), 4u);
        ASSERT_EQ(screen.size(), 4u);
        ASSERT_EQ(screen[2], width) << "the virtual screen was not taken";
        EXPECT_GE(frame[0], screen[0]);
        EXPECT_GE(frame[1], screen[1]);
        if (width >= frame[2]) {
            // Room enough: centred.
            EXPECT_LE(std::abs(frame[0] + frame[2] / 2 - (screen[0] + screen[2] / 2)), 1);
        } else {
            EXPECT_EQ(frame[0], screen[0]);
        }
    }
}

}  // namespace
}  // namespace pelvanor
