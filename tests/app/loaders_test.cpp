// The loading commands of "Soubor" as the user runs them: dialogs, log
// lines, message boxes, the file order, the menu items they switch, and
// inputs that are wrong in the ways files are wrong.

#include <QAction>
#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include "app/labeled_edit.h"
#include "app/window_services.h"
#include "tests/app/gui_support.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::Gui;
using test::LocaleScope;

const char kGoodCamera[] = "100.5\n0.01\n-0.02\n1e-5\n0\n0\n0\n0\n";

std::string Lines(int count, int first_number, int columns) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += std::to_string(first_number + i);
        for (int c = 1; c < columns; ++c) text += " " + std::to_string(c) + ".5";
        text += "\n";
    }
    return text;
}

std::vector<QString> FieldTexts(TPelvanor& w) {
    std::vector<QString> texts;
    for (int i = 1; i <= 8; ++i) texts.push_back(w.CameraField(i)->text());
    return texts;
}

// The items the loaders switch, in one string: 1 on, 0 off.
std::string Items(const TPelvanor& w) {
    std::string s;
    for (UiItem item : {UiItem::Opravadistorze1, UiItem::Snmkovsouadnice1, UiItem::Orientace1,
                        UiItem::Piblinvnjorientace1, UiItem::Svazkovvyrovnn1, UiItem::SouadniceXYZ1,
                        UiItem::BitBtn2}) {
        s += w.IsItemEnabled(item) ? '1' : '0';
    }
    return s;
}

class Loaders : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_.Path(name);
        test::WriteFileBytes(path, bytes);
        return path;
    }
    test::TempDir dir_;
};

// --- "Načíst kameru" ----------------------------------------------------------

TEST_F(Loaders, CameraFileFillsTheFieldsInTheLocalesNotation) {
    const std::string file = Write("kamera.txt", kGoodCamera);
    {
        LocaleScope czech("cs_CZ");
        Gui gui;
        gui.LoadCamera(file);
        EXPECT_EQ(gui.Log(), (std::vector<std::string>{"Načten soubor: " + file, "Parametry kamery načteny"}));
        EXPECT_EQ(FieldTexts(gui.window()),
                  (std::vector<QString>{"100,5", "0,01", "-0,02", "1E-5", "0", "0", "0", "0"}));
        const CameraParameters& c = gui.window().State().Camera;
        EXPECT_EQ(c.f, 100.5L);
        EXPECT_EQ(c.y0, -0.02L);
        EXPECT_EQ(c.k1, 1e-5L);
        EXPECT_TRUE(gui.window().State().CameraLoaded);
    }
    {
        LocaleScope us("en_US");
        Gui gui;
        gui.LoadCamera(file);
        EXPECT_EQ(FieldTexts(gui.window()), (std::vector<QString>{"100.5", "0.01", "-0.02", "1E-5", "0", "0", "0", "0"}));
    }
}

TEST_F(Loaders, CameraFileLayouts) {
    LocaleScope czech("cs_CZ");
    const struct {
        const char* name;
        std::string bytes;
        long double f, x0, p2;
    } good[] = {
        {"units after the number", "100.5 mm\n1\n2\n3\n4\n5\n6\n7\n", 100.5L, 1, 7},
        {"CR LF", "100.5\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n", 100.5L, 1, 7},
        {"no line end at the end", "100.5\n1\n2\n3\n4\n5\n6\n7", 100.5L, 1, 7},
        {"blank lines and tabs before numbers", "\n\n\t 100.5\n\n1\n2\n3\n4\n5\n6\n7\nrest\n", 100.5L, 1, 7},
        {"all on the first line", "100.5 1 2 3 4 5 6 7\n", 100.5L, 0, 0},
        {"empty file", "", 0, 0, 0},
    };
    for (const auto& c : good) {
        SCOPED_TRACE(c.name);
        Gui gui;
        gui.LoadCamera(Write("k.txt", c.bytes));
        EXPECT_EQ(gui.LastLog(), "Parametry kamery načteny");
        EXPECT_EQ(gui.window().State().Camera.f, c.f);
        EXPECT_EQ(gui.window().State().Camera.x0, c.x0);
        EXPECT_EQ(gui.window().State().Camera.p2, c.p2);
    }
}

// Which numbers the camera file refuses is the reader's rule
// (tests/input/camera_file_test.cpp); here what the window does with a file
// it refuses, whether for a number, a missing file or a folder.
TEST_F(Loaders, BadCameraFilesFailWithoutTouchingFieldsOrMenu) {
    LocaleScope czech("cs_CZ");
    const std::string good = Write("dobra.txt", kGoodCamera);
    const struct {
        const char* name;
        std::string path;
    } bad[] = {
        {"decimal comma", Write("carka.txt", "100,5\n1\n2\n3\n4\n5\n6\n7\n")},
        {"missing file", dir_.Path("neni.txt")},
        {"folder", dir_.Path("")},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.name);
        Gui gui;
        // Control points and image coordinates loaded, then a good camera:
        // every computing item is on.
        gui.LoadControlPoints({Write("c.txt", Lines(4, 1, 6))});
        gui.LoadImagePoints({Write("i.txt", Lines(4, 1, 4))});
        gui.LoadCamera(good);
        ASSERT_EQ(Items(gui.window()), "1111111");
        const std::vector<QString> fields = FieldTexts(gui.window());
        gui.LoadCamera(c.path);
        EXPECT_EQ(gui.LastLog(), "Chyba - Parametry kamery nenačteny");
        EXPECT_FALSE(gui.window().State().CameraLoaded);
        EXPECT_EQ(FieldTexts(gui.window()), fields);
        EXPECT_EQ(Items(gui.window()), "1111111");
        EXPECT_TRUE(gui.dialogs->Messages().isEmpty());
    }
    // Values read before the error stay in the record.
    Gui gui;
    gui.LoadCamera(Write("pulka.txt", "50\n2\nx\n"));
    EXPECT_EQ(gui.window().State().Camera.f, 50.0L);
    EXPECT_EQ(gui.window().State().Camera.x0, 2.0L);
}

TEST_F(Loaders, CancelledDialogsChangeNothing) {
    Gui gui;
    const std::size_t before = gui.window().LogHistory().size();
    for (UiItem item : {UiItem::Nastkameru1, UiItem::Nastorientaci1, UiItem::Nastsnmkovsouadnice1}) {
        gui.dialogs->AnswerCancel();
        gui.Trigger(item);
    }
    for (int i = 1; i <= 8; ++i) gui.window().CameraField(i)->setText("1");
    gui.dialogs->AnswerCancel();
    gui.Trigger(UiItem::Uloitkameru1);
    EXPECT_EQ(gui.window().LogHistory().size(), before);
    EXPECT_EQ(Items(gui.window()), "0000000");
    EXPECT_EQ(gui.dialogs->PendingAnswers(), 0u);
    EXPECT_TRUE(gui.dialogs->Problems().isEmpty());
    EXPECT_EQ(gui.window().State().ControlPoints, nullptr);
}

// --- "Uložit kameru" ----------------------------------------------------------

TEST_F(Loaders, SaveCameraWritesTheFieldsWithAPoint) {
    for (const char* locale : {"cs_CZ", "en_US"}) {
        SCOPED_TRACE(locale);
        LocaleScope scope(locale);
        const bool comma = std::string(locale) == "cs_CZ";
        Gui gui;
        TPelvanor& w = gui.window();
        const char* typed[8] = {"100,5", " 0,01", "-0,02", "0,003", "0", "1E-7", "0", "-1,5e-3"};
        for (int i = 0; i < 8; ++i) {
            QString text = QString::fromUtf8(typed[i]);
            if (!comma) text.replace(',', '.');
            w.CameraField(i + 1)->setText(text);
        }
        const std::string file = dir_.Path(std::string("ulozena-") + locale + ".txt");
        gui.dialogs->AnswerSave(QString::fromStdString(file));
        gui.Trigger(UiItem::Uloitkameru1);
        EXPECT_EQ(gui.LastLog(), "Uložen soubor: " + file);
        EXPECT_EQ(test::ReadFileBytes(file), "100.5\r\n 0.01\r\n-0.02\r\n0.003\r\n0\r\n1E-7\r\n0\r\n-1.5e-3\r\n");

        // The file reads back to the values the fields hold.
        ASSERT_TRUE(w.ReadCameraFields());
        const CameraParameters typed_values = w.State().Camera;
        gui.LoadCamera(file);
        const CameraParameters& c = w.State().Camera;
        EXPECT_EQ(c.f, typed_values.f);
        EXPECT_EQ(c.x0, typed_values.x0);
        EXPECT_EQ(c.k1, typed_values.k1);
        EXPECT_EQ(c.k3, typed_values.k3);
        EXPECT_EQ(c.p2, typed_values.p2);
    }
}

TEST_F(Loaders, SaveCameraRefusesBadFieldsBeforeTheDialog) {
    LocaleScope czech("cs_CZ");
    Gui gui;
    TPelvanor& w = gui.window();
    for (int i = 1; i <= 8; ++i) w.CameraField(i)->setText("0");
    w.CameraField(4)->setText("0.003");  // a point in a comma locale
    const std::string file = dir_.Path("nikdy.txt");
    gui.dialogs->AnswerSave(QString::fromStdString(file));
    gui.Trigger(UiItem::Uloitkameru1);
    EXPECT_EQ(gui.LastLog(), "Chyba - Špatně zadané hodnoty parametrů kamery");
    EXPECT_EQ(gui.dialogs->PendingAnswers(), 1u) << "no dialog was shown";
    EXPECT_TRUE(test::ReadFileBytes(file).empty());
    w.CameraField(4)->setText("");
    gui.Trigger(UiItem::Uloitkameru1);
    EXPECT_EQ(gui.dialogs->PendingAnswers(), 1u);

    // A file that cannot be written.
    w.CameraField(4)->setText("0,003");
    gui.Trigger(UiItem::Uloitkameru1);  // takes the queued answer
    ASSERT_EQ(gui.LastLog(), "Uložen soubor: " + file);
    gui.dialogs->AnswerSave(QString::fromStdString(dir_.Path("chybi/k.txt")));
    gui.Trigger(UiItem::Uloitkameru1);
    EXPECT_EQ(gui.LastLog(), "Chyba - Špatně zadané hodnoty parametrů kamery");
    EXPECT_TRUE(gui.dialogs->Messages().isEmpty());
}

// --- "Načíst orientaci" -------------------------------------------------------

TEST_F(Loaders, ControlPointsFromSeveralFiles) {
    Gui gui;
    const std::string b = Write("b.txt", Lines(6, 201, 6));
    const std::string a = Write("A.txt", Lines(4, 101, 6));
    gui.LoadControlPoints({b, a});
    // Logged in the dialog's order, numbered in the sorted order.
    // Every line holds the same object point: after the command's lines the
    // warning that the control of both images lies on a line.
    EXPECT_EQ(gui.Log(), (std::vector<std::string>{"Načten soubor: " + b, "Načten soubor: " + a,
                                                   "Vlícovací body načteny do programu",
                                                   "Upozornění - Vlícovací body leží (téměř) na přímce: snímky 1 a 2"}));
    const ProjectState& s = gui.window().State();
    ASSERT_NE(s.ControlPoints, nullptr);
    EXPECT_EQ(s.ControlPoints->r, 10);
    EXPECT_EQ(s.ControlPoints->s, 6);
    EXPECT_EQ(s.ControlPoints->GetPrvek(1, 1), 101.0L);
    EXPECT_EQ(s.ControlPoints->GetPrvek(5, 1), 201.0L);
    EXPECT_EQ(s.ControlPoints->GetPrvek(5, 6), 5.5L);
    EXPECT_EQ(s.ControlPointCounts->GetPrvek(2, 1), 6.0L);
    EXPECT_EQ(s.ControlPointRanges->GetPrvek(2, 1), 5.0L);
    EXPECT_EQ(s.ControlPointRanges->GetPrvek(2, 2), 10.0L);
    ASSERT_EQ(s.SelectedOrientationPoints->r, 8);
    EXPECT_EQ(s.SelectedOrientationPoints->GetPrvek(4, 1), 104.0L);
    EXPECT_EQ(s.SelectedOrientationPoints->GetPrvek(5, 1), 201.0L);
    EXPECT_TRUE(s.ControlPointsLoaded);
    EXPECT_EQ(gui.window().ComboBox2()->count(), 2);
    EXPECT_EQ(gui.window().ComboBox2()->currentIndex(), 0);

    // A second load replaces the tables and the list.
    const std::string one = Write("jeden.txt", Lines(5, 301, 6) + "\n");  // five lines and an empty one
    gui.LoadControlPoints({one});
    EXPECT_EQ(gui.window().State().ControlPoints->r, 6) << "the empty last line is a row";
    EXPECT_EQ(gui.window().State().ControlPoints->GetPrvek(6, 1), 0.0L);
    EXPECT_EQ(gui.window().State().SelectedOrientationPoints->r, 4);
    EXPECT_EQ(gui.window().ComboBox2()->count(), 1);
    EXPECT_EQ(gui.window().ComboBox2()->itemText(0), "Snimek 1");
}

TEST_F(Loaders, TooFewControlPointsOnAnImage) {
    Gui gui;
    gui.LoadControlPoints({Write("a.txt", Lines(4, 1, 6))});
    ASSERT_TRUE(gui.window().IsItemEnabled(UiItem::Orientace1));
    // Images of 5, 3 and 2 lines: the message names image 2 only.
    gui.LoadControlPoints({Write("x1.txt", Lines(5, 1, 6)), Write("x2.txt", Lines(3, 1, 6)),
                           Write("x3.txt", Lines(2, 1, 6))});
    ASSERT_EQ(gui.dialogs->Messages().size(), 1);
    EXPECT_EQ(gui.dialogs->Messages()[0], "Chyba v minimálním počtu vlícovacích bodů - snímek 2");
    EXPECT_EQ(gui.LastLog(), "Chyba - Vlícovací body nenačteny do programu");
    // The refused load leaves the previous control points as they were.
    const ProjectState& s = gui.window().State();
    ASSERT_NE(s.ControlPoints, nullptr);
    EXPECT_EQ(s.ControlPoints->r, 4);
    EXPECT_EQ(s.ControlPointCounts->r, 1);
    EXPECT_EQ(s.ControlPointRanges->r, 1);
    EXPECT_TRUE(s.ControlPointsLoaded) << "never reset";
    EXPECT_FALSE(gui.window().IsItemEnabled(UiItem::Orientace1));
    EXPECT_FALSE(gui.window().IsItemEnabled(UiItem::BitBtn2));
}

// The numbers refused are the loader's rule (tests/project/loaders_test.cpp).
TEST_F(Loaders, BadControlPointFiles) {
    const struct {
        const char* name;
        std::string path;
    } bad[] = {
        {"decimal comma", Write("carka.txt", "1 0,5 0 0 0 0\n2 0 0 0 0 0\n3 0 0 0 0 0\n4 0 0 0 0 0\n")},
        {"missing", dir_.Path("neni.txt")},
        {"folder", dir_.Path("")},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.name);
        Gui gui;
        gui.LoadControlPoints({Write("ok.txt", Lines(4, 1, 6)), c.path});
        // The failure line, then the line naming the file that caused it.
        const std::vector<std::string> log = gui.Log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2], "Chyba - Vlícovací body nenačteny do programu");
        EXPECT_NE(log.back().find(c.path), std::string::npos) << log.back();
        EXPECT_FALSE(gui.window().IsItemEnabled(UiItem::BitBtn2));
        EXPECT_FALSE(gui.window().IsItemEnabled(UiItem::Orientace1));
        EXPECT_FALSE(gui.window().State().ControlPointsLoaded);
        EXPECT_EQ(gui.window().ComboBox2()->count(), 0);
    }
}

// --- "Načíst snímkové souřadnice" ---------------------------------------------

TEST_F(Loaders, ImageFilesAreNumberedInTheSortedOrder) {
    LocaleScope czech("cs_CZ");
    Gui gui;
    const std::string b = Write("b.txt", Lines(5, 200, 4));
    const std::string a = Write("A.txt", Lines(0, 0, 4));
    const std::string c = Write("c.txt", Lines(7, 300, 4));
    gui.LoadImagePoints({b, a, c});
    EXPECT_EQ(gui.Log(), (std::vector<std::string>{
                             "Načten soubor: " + b, "Načten soubor: " + a, "Načten soubor: " + c,
                             "Snímkové souřadnice načteny do programu",
                             "Upozornění - Soubor snímkových souřadnic neobsahuje žádný bod: " + a + " (snímek 1)"}));
    const ProjectState& s = gui.window().State();
    EXPECT_TRUE(s.ImagePointsLoaded);
    ASSERT_EQ(s.ImagePoints->r, 12);
    EXPECT_EQ(s.ImagePoints->s, 4);
    // A.txt (empty) is image 1, b.txt image 2, c.txt image 3.
    EXPECT_EQ(s.ImagePointCounts->GetPrvek(1, 1), 0.0L);
    EXPECT_EQ(s.ImagePointCounts->GetPrvek(2, 1), 5.0L);
    EXPECT_EQ(s.ImagePointCounts->GetPrvek(3, 1), 7.0L);
    EXPECT_EQ(s.ImagePointRanges->GetPrvek(1, 1), 1.0L);
    EXPECT_EQ(s.ImagePointRanges->GetPrvek(1, 2), 0.0L);
    EXPECT_EQ(s.ImagePointRanges->GetPrvek(2, 2), 5.0L);
    EXPECT_EQ(s.ImagePointRanges->GetPrvek(3, 1), 6.0L);
    EXPECT_EQ(s.ImagePoints->GetPrvek(1, 1), 200.0L);
    EXPECT_EQ(s.ImagePoints->GetPrvek(6, 1), 300.0L);
    EXPECT_EQ(s.ImagePoints->GetPrvek(12, 4), 3.5L);
}

TEST_F(Loaders, FileOrderFollowsTheLocalesCollation) {
    const std::string h = Write("h.txt", Lines(4, 1, 4));
    const std::string ch = Write("ch.txt", Lines(4, 2, 4));
    const std::string d = Write("D.txt", Lines(4, 3, 4));
    {
        // Czech sorts "ch" after "h".
        LocaleScope czech("cs_CZ");
        Gui gui;
        gui.LoadImagePoints({ch, h, d});
        const Matice& m = *gui.window().State().ImagePoints;
        EXPECT_EQ(m.GetPrvek(1, 1), 3.0L);
        EXPECT_EQ(m.GetPrvek(5, 1), 1.0L);
        EXPECT_EQ(m.GetPrvek(9, 1), 2.0L);
    }
    {
        LocaleScope us("en_US");
        Gui gui;
        gui.LoadImagePoints({h, d, ch});
        const Matice& m = *gui.window().State().ImagePoints;
        EXPECT_EQ(m.GetPrvek(1, 1), 2.0L);
        EXPECT_EQ(m.GetPrvek(5, 1), 3.0L);
        EXPECT_EQ(m.GetPrvek(9, 1), 1.0L);
    }
    QStringList names = {"/x/b.txt", "/x/A.txt", "/x/c.txt", "/X/a.txt"};
    SortFileNames(names);
    EXPECT_EQ(names[2], "/x/b.txt");
    EXPECT_EQ(names[3], "/x/c.txt");
}

TEST_F(Loaders, ImageFileLineRules) {
    Gui gui;
    // CR LF, a last line without a line end, an empty line in the middle
    // (the rows move up and the last is all zeros), an empty last line.
    gui.LoadImagePoints({Write("a.txt", "1 2 3 4\r\n5 6 7 8"), Write("b.txt", "9 1 1 1\n\n10 2 2 2\n"),
                         Write("c.txt", "11 3 3 3\n\n")});
    // Loaded; images 1 and 3 have two points only, which the log says.
    const std::vector<std::string> log = gui.Log();
    ASSERT_GE(log.size(), 2u);
    ASSERT_EQ(log[log.size() - 2], "Snímkové souřadnice načteny do programu");
    EXPECT_EQ(log.back().rfind("Upozornění - Méně než tři body ve snímkových souřadnicích", 0), 0u) << log.back();
    const Matice& m = *gui.window().State().ImagePoints;
    ASSERT_EQ(m.r, 2 + 3 + 2);
    EXPECT_EQ(m.GetPrvek(2, 4), 8.0L);
    EXPECT_EQ(m.GetPrvek(3, 1), 9.0L);
    EXPECT_EQ(m.GetPrvek(4, 1), 10.0L);
    EXPECT_EQ(m.GetPrvek(5, 1), 0.0L);
    EXPECT_EQ(m.GetPrvek(7, 1), 0.0L);
}

TEST_F(Loaders, BadImageFilesDisableTheirItemButKeepTheFlag) {
    Gui gui;
    gui.LoadImagePoints({Write("ok.txt", Lines(3, 1, 4))});
    ASSERT_TRUE(gui.window().IsItemEnabled(UiItem::Snmkovsouadnice1));
    // The numbers refused are the reader's rule (tests/input/image_file_test.cpp).
    for (const std::string& bad : {Write("carka.txt", "1 0,5 0 0\n"), dir_.Path("neni.txt"), dir_.Path("")}) {
        SCOPED_TRACE(bad);
        gui.LoadImagePoints({Write("ok2.txt", Lines(2, 1, 4)), bad});
        const std::vector<std::string> log = gui.Log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2], "Chyba - Snímkové souřadnice nenačteny");
        EXPECT_NE(log.back().find(bad), std::string::npos) << log.back();
        EXPECT_FALSE(gui.window().IsItemEnabled(UiItem::Snmkovsouadnice1));
        EXPECT_TRUE(gui.window().State().ImagePointsLoaded);
        gui.LoadImagePoints({Write("ok.txt", Lines(3, 1, 4))});
        EXPECT_TRUE(gui.window().IsItemEnabled(UiItem::Snmkovsouadnice1));
    }
    EXPECT_TRUE(gui.dialogs->Messages().isEmpty());
}

// --- Enabling of the computing commands ---------------------------------------

TEST_F(Loaders, EnablingDependsOnTheOrderOfTheLoads) {
    const std::string camera = Write("k.txt", kGoodCamera);
    const std::string control = Write("c.txt", Lines(4, 1, 6));
    const std::string image = Write("i.txt", Lines(4, 1, 4));
    // Order of the string: Oprava distorze, its Snímkové souřadnice, its
    // Orientace, Přibližná vnější orientace, Svazkové vyrovnání, Souřadnice
    // XYZ, Vybrat body.
    {
        SCOPED_TRACE("control points, image coordinates, camera");
        Gui gui;
        gui.LoadControlPoints({control});
        EXPECT_EQ(Items(gui.window()), "0010001");
        gui.LoadImagePoints({image});
        EXPECT_EQ(Items(gui.window()), "0110001");
        gui.LoadCamera(camera);
        EXPECT_EQ(Items(gui.window()), "1111111");
    }
    {
        SCOPED_TRACE("camera, control points, image coordinates");
        Gui gui;
        gui.LoadCamera(camera);
        EXPECT_EQ(Items(gui.window()), "0000000");
        gui.LoadControlPoints({control});
        EXPECT_EQ(Items(gui.window()), "1011001");
        gui.LoadImagePoints({image});
        EXPECT_EQ(Items(gui.window()), "1111111");
    }
    {
        SCOPED_TRACE("camera, image coordinates, control points");
        Gui gui;
        gui.LoadCamera(camera);
        gui.LoadImagePoints({image});
        EXPECT_EQ(Items(gui.window()), "1100000");
        gui.LoadControlPoints({control});
        EXPECT_EQ(Items(gui.window()), "1111111");
    }
    {
        SCOPED_TRACE("image coordinates, camera: the camera load looks at the control points only");
        Gui gui;
        gui.LoadImagePoints({image});
        gui.LoadCamera(camera);
        EXPECT_EQ(Items(gui.window()), "0100000");
    }
    {
        SCOPED_TRACE("failed loads leave the computing commands on");
        Gui gui;
        gui.LoadCamera(camera);
        gui.LoadControlPoints({control});
        gui.LoadImagePoints({image});
        gui.LoadImagePoints({dir_.Path("neni.txt")});
        EXPECT_EQ(Items(gui.window()), "1011111");
        gui.LoadControlPoints({dir_.Path("neni.txt")});
        EXPECT_EQ(Items(gui.window()), "1001110");
        // Control points again: the image item is off, so the adjustment
        // commands are not switched (they stay on from before).
        gui.LoadControlPoints({control});
        EXPECT_EQ(Items(gui.window()), "1011111");
    }
    {
        SCOPED_TRACE("a failed control point load before the image load");
        Gui gui;
        gui.LoadCamera(camera);
        gui.LoadControlPoints({control});
        gui.LoadControlPoints({dir_.Path("neni.txt")});
        gui.LoadImagePoints({image});
        EXPECT_EQ(Items(gui.window()), "1101000");
    }
}

}  // namespace
}  // namespace pelvanor
