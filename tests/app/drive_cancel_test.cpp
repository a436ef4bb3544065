// Two projects loaded one after the other through the real window, driven by
// pelvanor-drive, with a stop between: the sample "fasada" computed and its
// bundle protocol shown, then "Načíst projekt" on a generated project, whose
// "Souřadnice XYZ" is stopped with "Zrušit"; later the window is closed
// during "Svazkové vyrovnání".  The generated project's bordered normal
// matrix has an order of about 300, so that every pass of its
// pseudo-inverse takes a good part of a second and the whole command many
// seconds; the script stops it after two passes, so the test takes a few.

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/drive_support.h"
#include "tests/support/busy_project.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::DrivePath;
using test::DriveRun;
using test::ReadLines;
using test::RunDrive;

using Lines = std::vector<std::string>;

// The last `n` lines.
Lines Tail(const Lines& lines, std::size_t n) {
    return Lines(lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end());
}

// The enabled state of one menu item in a menu dump.
std::string MenuState(const Lines& menu, const std::string& caption) {
    for (const std::string& line : menu)
        if (line.rfind(caption + "\t", 0) == 0) return line.substr(caption.size() + 1);
    return "missing";
}

const std::string kCancelled = "Výpočet přerušen uživatelem";

TEST(DriveCancel, TwoProjectsWithAStopBetween) {
    ASSERT_TRUE(std::filesystem::exists(DrivePath())) << "build pelvanor-drive first: " << DrivePath();
    test::TempDir dir;
    std::string error;
    const std::string p = dir.Path("p");
    ASSERT_TRUE(test::WriteBusyProject(p, &error)) << error;

    const std::string script = dir.Path("cancel.drv");
    test::WriteFileBytes(script, "open \"" PELVANOR_SOURCE_DIR "/examples/fasada\"\nclick Soubor > Načíst projekt\n" +
                                     std::string(R"(click Výpočty > Souřadnice XYZ
click Výsledky > Svazkové vyrovnání
panel first.panel
)") + "open \"" + p + "\"\nclick Soubor > Načíst projekt\n" + R"(
panel second.panel
menu second.menu
)" +
                                     // The pseudo-inverse keeps the computation busy long
                                     // enough to be stopped; the elimination would be done.
                                     R"(settings ComboBox2=1
start Výpočty > Souřadnice XYZ
wait progress "iterace 2"
progress busy.progress
menu busy.menu
window busy.window
click Výpočty > Souřadnice XYZ
click Ulož protokol
type LabeledEdit1 30
click Zrušit
click Zrušit
finish
log cancel.log
menu after.menu
window after.window
save saved.txt
click Ulož protokol
start Výpočty > Svazkové vyrovnání
wait progress
close
finish
window closed.window
log closed.log
)");
    const DriveRun run = RunDrive(script, "cs_CZ.UTF-8");
    // Neither a crash (-2) nor a hang (-1: not finished within two minutes).
    ASSERT_EQ(run.status, 0) << run.err;

    // The first project's protocol in the panel; after "Načíst projekt" on
    // the second the panel is as at the start and every result item is off.
    ASSERT_GT(ReadLines(dir.Path("first.panel")).size(), 20u);
    EXPECT_EQ(ReadLines(dir.Path("second.panel")), (Lines{""}));
    const Lines second = ReadLines(dir.Path("second.menu"));
    for (const char* item : {"Výsledky > Svazkové vyrovnání", "Výsledky > Souřadnice XYZ", "Výsledky > Grafy",
                             "Výsledky > Tabulka výsledků", "Výsledky > Exportovat body", "Výsledky > Protokoly",
                             "Výsledky > Přibližné řešení vnější orientace"})
        EXPECT_EQ(MenuState(second, item), "0") << item;
    EXPECT_EQ(MenuState(second, "Výpočty > Souřadnice XYZ"), "1");

    // After half a second the progress line names the adjustment and its
    // pass, with the m0 of the pass before in the locale's format.  Which
    // adjustment is at its second pass when the line is read depends on the
    // machine's load.
    const Lines progress = ReadLines(dir.Path("busy.progress"));
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        progress[0], std::regex("Výpočet: svazkové vyrovnání (bez konstanty|s konstantou) komory"
                                 "( \\(bez odlehlých měření\\))?, iterace 2( \\([0-9]+ %\\))?, m0 = 0,[0-9]+"
                                 " – 0:[0-9]{2}")))
        << progress[0];
    // Meanwhile no command can start: the menus are off, the clicks and the
    // typing into the camera field reach nothing.
    const Lines busy = ReadLines(dir.Path("busy.menu"));
    for (const char* menu : {"Soubor", "Výpočty", "Výsledky", "O programu"}) EXPECT_EQ(MenuState(busy, menu), "0") << menu;
    EXPECT_EQ(ReadLines(dir.Path("busy.window")), (Lines{"visible 1", "computing 1"}));

    // "Zrušit" ends the command through its failure path with one line and
    // no failure line after it; the second click finds the button already off.
    EXPECT_EQ(Tail(ReadLines(dir.Path("cancel.log")), 7),
              (Lines{"Oprava o distorze provedena", "Přibližná orientace - výpočet proveden",
                     "(disabled) Výpočty > Souřadnice XYZ", "(disabled) Ulož protokol", "(disabled) LabeledEdit1",
                     "(disabled) Zrušit", kCancelled}));
    // The menus are back, with the failure's result items off.
    const Lines after = ReadLines(dir.Path("after.menu"));
    for (const char* item : {"Soubor", "Výpočty", "Výsledky", "O programu", "Výpočty > Souřadnice XYZ",
                             "Výpočty > Svazkové vyrovnání", "Soubor > Načíst kameru"})
        EXPECT_EQ(MenuState(after, item), "1") << item;
    for (const char* item : {"Výsledky > Svazkové vyrovnání", "Výsledky > Souřadnice XYZ", "Výsledky > Protokoly"})
        EXPECT_EQ(MenuState(after, item), "0") << item;
    EXPECT_EQ(ReadLines(dir.Path("after.window")), (Lines{"visible 1", "computing 0"}));
    // After the stop, "Ulož protokol" saves the empty panel of the new
    // project, never the first project's protocol.
    EXPECT_EQ(test::ReadFileBytes(dir.Path("saved.txt")), "\r\n");

    // Closing the window during a computation stops it, the command ends
    // through its failure path, and then the window closes.
    EXPECT_EQ(ReadLines(dir.Path("closed.window")), (Lines{"visible 0", "computing 0"}));
    const Lines closed = ReadLines(dir.Path("closed.log"));
    EXPECT_EQ(Tail(closed, 3), (Lines{"Oprava o distorze provedena", "Přibližná orientace - výpočet proveden", kCancelled}));
    EXPECT_EQ(std::count(closed.begin(), closed.end(), kCancelled), 2);
}

}  // namespace
}  // namespace pelvanor
