// pelvanor-drive end to end: scripts run by the real driver executable in
// a Czech and a US English locale, and scripts it must refuse.

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/app/drive_support.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::DrivePath;
using test::DriveRun;
using test::ReadLines;
using test::RunDrive;

std::string Control(std::initializer_list<int> numbers) {
    std::string text;
    // Object points spread so that they do not lie on a line.
    for (int n : numbers)
        text += std::to_string(n) + " " + std::to_string(10.5 + 5 * (n % 2)) + " " +
                std::to_string(20.25 + 5 * (n % 3)) + " 0.0 1.5 -2.5\n";
    return text;
}

class Drive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(DrivePath())) << "build pelvanor-drive first: " << DrivePath();
        test::WriteFileBytes(dir_.Path("kamera.txt"), "100.5\n0.01\n-0.02\n1e-5\n0\n0\n0\n0\n");
        test::WriteFileBytes(dir_.Path("vb 1.txt"), Control({1, 2, 3, 4}));
        test::WriteFileBytes(dir_.Path("vb 2.txt"), Control({11, 12, 13, 14, 15, 16}));
        test::WriteFileBytes(dir_.Path("s1.txt"), "1 0.5 0.5 0\r\n2 0.25 0.75 0\r\n");
        test::WriteFileBytes(dir_.Path("s2.txt"), "11 0.5 0.5 0\n12 0.25 0.75 0");
    }
    std::string Script(const std::string& text) {
        const std::string path = dir_.Path("script.drv");
        test::WriteFileBytes(path, text);
        return path;
    }
    test::TempDir dir_;
};

TEST_F(Drive, CzechSession) {
    const std::string script = Script(R"(# A user's session, step by step.
menu start.menu
click Výpočty > Přibližná vnější orientace
open kamera.txt
click Soubor > Načíst kameru
open "vb 2.txt" "vb 1.txt"     # in the order the dialog returns them
click Soubor > Načíst orientaci
choose ComboBox2 1
click Vybrat body
select 2 5
click Vybrat body
select 6
open s2.txt s1.txt
click Soubor > Načíst snímkové souřadnice
type LabeledEdit4 "0,003"
save ulozena.txt
click Soubor > Uložit kameru
settings LabeledEdit2=0.5
settings "LabeledEdit2=0,25" ComboBox1=100 CheckBox2=0
settings default
cancel
click Ulož protokol
save protokol.txt
click Ulož protokol
click Výsledky > Protokoly > Kompletní
menu end.menu
log session.log
messages session.messages
panel session.panel
)");
    const DriveRun run = RunDrive(script, "cs_CZ.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;

    const std::string d = dir_.Dir().string() + "/";
    EXPECT_EQ(ReadLines(dir_.Path("session.log")),
              (std::vector<std::string>{
                  "Program Pelvanor spuštěn.",
                  "(disabled) Výpočty > Přibližná vnější orientace",
                  "Načten soubor: " + d + "kamera.txt",
                  "Parametry kamery načteny",
                  "Načten soubor: " + d + "vb 2.txt",
                  "Načten soubor: " + d + "vb 1.txt",
                  "Vlícovací body načteny do programu",
                  "Načten soubor: " + d + "s2.txt",
                  "Načten soubor: " + d + "s1.txt",
                  "Snímkové souřadnice načteny do programu",
                  "Upozornění - Méně než tři body ve snímkových souřadnicích, orientaci snímku (šest neznámých) z "
                  "nich nelze určit a ve svazkovém vyrovnání ji drží jen vlícovací body: snímek 1 (2 body, " +
                      d + "s1.txt) a snímek 2 (2 body, " + d + "s2.txt)",
                  // The image files repeat the control points' marks.
                  "Upozornění - Vlícovací body 1, 2, 11 a 12 jsou na týchž snímcích v souborech vlícovacích bodů i "
                  "snímkových souřadnic; jejich značky se ve výpočtu počítají dvakrát (jako vlícovací bod a jako "
                  "spojovací bod téhož čísla): " + d + "s1.txt a " + d + "s2.txt",
                  "Uložen soubor: " + d + "ulozena.txt",
                  "Uložen protokol: " + d + "protokol.txt",
                  "(disabled) Výsledky > Protokoly > Kompletní",
              }));
    EXPECT_EQ(ReadLines(dir_.Path("session.messages")),
              (std::vector<std::string>{"Chyba - špatný počet vlícovacích bodů", "Chybně zadané hodnoty nastavení.",
                                        "„Tolerance výpočtu“: „0.5“ není číslo s desetinnou čárkou (například 0,1); "
                                        "desetinná tečka platí jen ve vstupních souborech"}));
    EXPECT_EQ(test::ReadFileBytes(dir_.Path("ulozena.txt")),
              "100.5\r\n0.01\r\n-0.02\r\n0.003\r\n0\r\n0\r\n0\r\n0\r\n");
    EXPECT_EQ(test::ReadFileBytes(dir_.Path("protokol.txt")), "\r\n");
    EXPECT_EQ(ReadLines(dir_.Path("session.panel")), std::vector<std::string>{""});

    const std::vector<std::string> start = ReadLines(dir_.Path("start.menu"));
    const std::vector<std::string> end = ReadLines(dir_.Path("end.menu"));
    ASSERT_EQ(start.size(), 38u);
    ASSERT_EQ(end.size(), 38u);
    EXPECT_EQ(start[0], "Soubor\t1");
    EXPECT_EQ(start[5], "Soubor > Načíst přesnost vlícovacích bodů\t1");
    EXPECT_EQ(start[6], "Soubor > Načíst projekt\t1");
    EXPECT_EQ(start[10], "Výpočty > Oprava distorze\t0");
    EXPECT_EQ(start[16], "Výpočty > Kalibrace kamery\t0");
    EXPECT_EQ(end[10], "Výpočty > Oprava distorze\t1");
    EXPECT_EQ(end[15], "Výpočty > Souřadnice XYZ\t1");
    EXPECT_EQ(end[16], "Výpočty > Kalibrace kamery\t1");
}

TEST_F(Drive, PointLocaleRefusesADecimalComma) {
    const std::string script = Script(
        "open kamera.txt\n"
        "click Soubor > Načíst kameru\n"
        "type LabeledEdit1 100,5\n"
        "save nikdy.txt\n"
        "click Soubor > Uložit kameru\n"
        "type LabeledEdit1 100.25\n"
        "click Soubor > Uložit kameru\n"
        "log session.log\n");
    const DriveRun run = RunDrive(script, "en_US.UTF-8");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> log = ReadLines(dir_.Path("session.log"));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[3], "Chyba - Špatně zadané hodnoty parametrů kamery");
    EXPECT_EQ(log[4], "Uložen soubor: " + dir_.Dir().string() + "/nikdy.txt");
    EXPECT_EQ(test::ReadFileBytes(dir_.Path("nikdy.txt")), "100.25\r\n0.01\r\n-0.02\r\n1E-5\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST_F(Drive, MalformedScriptsStopWithStatusTwo) {
    const struct {
        const char* script;
        const char* says;
    } cases[] = {
        {"log early.log\nfly away\n", "line 2: unknown command fly"},
        {"type LabeledEdit1 \"100,5\n", "line 1: a double quote is not closed"},
        {"type LabeledEdit9 1\n", "line 1: type: no field LabeledEdit9"},
        {"type LabeledEdit1 1 2\n", "line 1: type takes"},
        {"# comment\n\nselect 1 2\n", "line 3: select must directly follow"},
        {"settings CheckBox1=2\n", "line 1: settings: CheckBox1 takes 0 or 1"},
        {"settings Tolerance=1\n", "line 1: settings: no field Tolerance"},
        {"settings ComboBox2=3\n", "line 1: settings: ComboBox2 takes an entry 0, 1 or 2"},
        {"choose ComboBox2 x\n", "line 1: choose: bad index x"},
        {"save a.txt b.txt\n", "line 1: save takes exactly one file"},
        {"click Soubor >\n", "line 1: click: empty caption"},
        // Scripts that do not fit the window stop where they fail.
        {"choose ComboBox2 0\n", "line 1: ComboBox2 has no entry 0"},
        {"log early.log\nclick Soubor > Otevřít\n", "line 2: no menu item \"Soubor > Otevřít\""},
        {"click Soubor > Načíst kameru\n", "line 1: OpenDialog1 shown with no answer queued"},
        {"save x.txt\nclick Soubor > Načíst kameru\n", "line 2: OpenDialog1 shown but the next answer is for the other kind"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        std::filesystem::remove(dir_.Path("early.log"));
        const DriveRun run = RunDrive(Script(c.script), "cs_CZ.UTF-8");
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    // A malformed line stops the script before anything runs.
    RunDrive(Script("log early.log\nfly away\n"), "cs_CZ.UTF-8");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("early.log")));
}

}  // namespace
}  // namespace pelvanor
