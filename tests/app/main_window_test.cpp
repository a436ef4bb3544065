// The main window: its elements, the menu at start, the log list, the
// protocol panel with "Ulož protokol", the camera fields and closing.

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

#include <functional>

#include <gtest/gtest.h>

#include "app/dialogs.h"
#include "app/labeled_edit.h"
#include "app/program_setup.h"
#include "app/tform8.h"
#include "app/window_services.h"
#include "tests/app/gui_support.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::Gui;
using test::LocaleScope;

TEST(MainWindow, ElementsStandWhereTheLayoutPutsThem) {
    Gui gui;
    TPelvanor& w = gui.window();
    EXPECT_EQ(w.windowTitle(), "Pelvanor");
    EXPECT_EQ(w.centralWidget()->size(), QSize(1018, 495));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "the border is fixed";
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);

    const auto geometry = [&](const char* name) { return w.findChild<QWidget*>(name)->geometry(); };
    EXPECT_EQ(geometry("GroupBox1"), QRect(8, 8, 217, 273));
    EXPECT_EQ(w.findChild<QGroupBox*>("GroupBox1")->title(), "Parametry kamery");
    EXPECT_EQ(geometry("Memo2"), QRect(231, 16, 779, 371));
    EXPECT_EQ(geometry("ListBox1"), QRect(0, 424, 1010, 68));
    EXPECT_EQ(geometry("BitBtn2"), QRect(140, 376, 75, 25));
    EXPECT_EQ(geometry("Ulozprotokol1"), QRect(926, 393, 75, 25));
    EXPECT_EQ(geometry("Label4"), QRect(8, 339, 153, 33));
    EXPECT_EQ(w.BitBtn2()->text(), "Vybrat body");
    EXPECT_EQ(w.SaveProtocolButton()->text(), "Ulož protokol");
    EXPECT_EQ(w.findChild<QLabel*>("Label1")->text(), "Hlavní snímkový bod");
    EXPECT_EQ(w.findChild<QLabel*>("Label2")->text(), "Koeficienty pro opravu distorze objektivu");
    EXPECT_EQ(w.findChild<QLabel*>("Label3")->text(), "Konfigurace vlícovacích bodů");
    EXPECT_EQ(w.findChild<QLabel*>("Label4")->text(), "Výběr vlícovacích bodů pro přibližné řešení vnější orientace");

    const struct {
        QRect rect;
        const char* caption;
    } fields[8] = {
        {{104, 28, 86, 21}, "Konstanta komory "}, {{24, 74, 65, 21}, "X"},
        {{125, 74, 65, 21}, "Y"},                 {{80, 129, 65, 21}, "Konstanta k1"},
        {{80, 156, 65, 21}, "Konstanta k2"},      {{80, 183, 65, 21}, "Konstanta k3"},
        {{80, 210, 65, 21}, "Konstanta p1"},      {{80, 237, 65, 21}, "Konstanta p2"},
    };
    for (int i = 1; i <= 8; ++i) {
        LabeledEdit* edit = w.CameraField(i);
        EXPECT_EQ(edit->objectName(), QStringLiteral("LabeledEdit%1").arg(i));
        EXPECT_EQ(edit->geometry(), fields[i - 1].rect);
        EXPECT_EQ(edit->EditLabel()->text(), QString::fromUtf8(fields[i - 1].caption));
        EXPECT_LE(edit->EditLabel()->geometry().right(), edit->geometry().left()) << "label at the left";
        EXPECT_TRUE(edit->text().isEmpty());
    }

    ASSERT_EQ(w.ComboBox1()->count(), 2);
    EXPECT_EQ(w.ComboBox1()->itemText(0), "4 body v rovině (Z=0)");
    EXPECT_EQ(w.ComboBox1()->itemText(1), "4 body v prostoru");
    EXPECT_EQ(w.ComboBox1()->currentIndex(), 1);
    EXPECT_EQ(w.OrientationMethod(), 1);
    EXPECT_FALSE(w.ComboBox1()->isEditable());
    EXPECT_EQ(w.ComboBox2()->count(), 0);
    EXPECT_FALSE(w.ComboBox2()->isEditable());
}

TEST(MainWindow, FontsAndColours) {
    Gui gui;
    TPelvanor& w = gui.window();
    EXPECT_EQ(QFontInfo(w.Memo2()->font()).family(), "Liberation Mono");
    EXPECT_EQ(w.Memo2()->font().pointSize(), 8);
    EXPECT_EQ(QFontInfo(w.ListBox1()->font()).family(), "Liberation Mono");
    EXPECT_EQ(w.ListBox1()->font().pointSize(), 10);
    EXPECT_EQ(w.ListBox1()->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(w.ListBox1()->palette().color(QPalette::Text), QColor(0, 255, 0));
    EXPECT_EQ(w.font().pointSize(), 8);
    if (QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"))) {
        EXPECT_EQ(QFontInfo(w.font()).family(), "Tahoma");
    }
}

// Caption path, object name, enabled at start.
struct MenuRow {
    const char* path;
    const char* name;
    bool enabled;
};

const MenuRow kMenu[] = {
    {"Soubor", "Soubor1", true},
    {"Soubor > Načíst kameru", "Nastkameru1", true},
    {"Soubor > Uložit kameru", "Uloitkameru1", true},
    {"Soubor > Načíst orientaci", "Nastorientaci1", true},
    {"Soubor > Načíst snímkové souřadnice", "Nastsnmkovsouadnice1", true},
    {"Soubor > Načíst přesnost vlícovacích bodů", "Nastpesnost1", true},
    {"Soubor > Načíst projekt", "Nastprojekt1", true},
    {"Soubor > Konec", "Konec1", true},
    {"Výpočty", "Vpoty1", true},
    {"Výpočty > Nastavení", "N1", true},
    {"Výpočty > Oprava distorze", "Opravadistorze1", false},
    {"Výpočty > Oprava distorze > Snímkové souřadnice", "Snmkovsouadnice1", false},
    {"Výpočty > Oprava distorze > Orientace", "Orientace1", false},
    {"Výpočty > Přibližná vnější orientace", "Piblinvnjorientace1", false},
    {"Výpočty > Svazkové vyrovnání", "Svazkovvyrovnn1", false},
    {"Výpočty > Souřadnice XYZ", "SouadniceXYZ1", false},
    {"Výpočty > Kalibrace kamery", "Kalibracekamery1", false},
    {"Výsledky", "Vsledky1", true},
    {"Výsledky > Oprava distorze", "Opravensnmkovsouadnice1", false},
    {"Výsledky > Oprava distorze > Snímkové souřadnice", "Snmkovsouadnice2", false},
    {"Výsledky > Oprava distorze > Orientace", "Orientace2", false},
    {"Výsledky > Přibližné řešení vnější orientace", "Piblineenvnjorientace1", false},
    {"Výsledky > Svazkové vyrovnání", "Svazkovvyrovnn2", false},
    {"Výsledky > Kontrolní body", "Kontrolnbody1", false},
    {"Výsledky > Souřadnice XYZ", "SouadniceXYZ2", false},
    {"Výsledky > Kalibrace kamery", "Kalibracekamery2", false},
    {"Výsledky > Převzít kalibrovanou kameru", "Pevztkalibrovanoukameru1", false},
    {"Výsledky > Protokoly", "Protokoly1", false},
    {"Výsledky > Protokoly > Kompletní", "Kompletn1", false},
    {"Výsledky > Protokoly > Souřadnice", "Pouzesouadnice1", false},
    {"Výsledky > Protokoly > Kontrolní body", "Kontrolnbody2", false},
    {"Výsledky > Protokoly > Kalibrace kamery", "Kalibracekamery3", false},
    {"Výsledky > Grafy", "Grafy1", false},
    {"Výsledky > Tabulka výsledků", "Tabulkavsledk1", false},
    {"Výsledky > Exportovat body", "Exportovatbody1", false},
    {"O programu", "Help1", true},
    {"Nápověda", "Napoveda1", true},
    {"Nápověda > Uživatelská příručka", "UserGuide", true},
};

void CollectMenu(const QList<QAction*>& actions, const QString& prefix, std::vector<const QAction*>& out,
                 QStringList& paths) {
    for (const QAction* action : actions) {
        if (action->isSeparator()) continue;
        const QString caption = WithoutMnemonic(action->text());
        const QString path = prefix.isEmpty() ? caption : prefix + " > " + caption;
        out.push_back(action);
        paths << path;
        if (action->menu()) CollectMenu(action->menu()->actions(), path, out, paths);
    }
}

TEST(MainWindow, MenuCaptionsNamesAndStateAtStart) {
    Gui gui;
    TPelvanor& w = gui.window();
    std::vector<const QAction*> actions;
    QStringList paths;
    CollectMenu(w.menuBar()->actions(), QString(), actions, paths);
    ASSERT_EQ(actions.size(), std::size(kMenu));
    for (std::size_t i = 0; i < actions.size(); ++i) {
        SCOPED_TRACE(kMenu[i].path);
        EXPECT_EQ(paths[static_cast<qsizetype>(i)], QString::fromUtf8(kMenu[i].path));
        const QAction* action = actions[i];
        const QString name = action->menu() ? action->menu()->objectName() : action->objectName();
        EXPECT_EQ(name, kMenu[i].name);
        EXPECT_EQ(action->isEnabled(), kMenu[i].enabled);
    }
    EXPECT_FALSE(w.BitBtn2()->isEnabled());

    // Every handler is a slot named after its item.
    for (const char* slot :
         {"Nastkameru1Click()", "Uloitkameru1Click()", "Nastorientaci1Click()", "Nastsnmkovsouadnice1Click()",
          "Konec1Click()", "N1Click()", "Snmkovsouadnice1Click()", "Orientace1Click()",
          "Piblinvnjorientace1Click()", "Svazkovvyrovnn1Click()", "SouadniceXYZ1Click()",
          "Snmkovsouadnice2Click()", "Orientace2Click()", "Piblineenvnjorientace1Click()",
          "Svazkovvyrovnn2Click()", "SouadniceXYZ2Click()", "Kompletn1Click()", "Pouzesouadnice1Click()",
          "Grafy1Click()", "Kontrolnbody1Click()", "Kontrolnbody2Click()", "Tabulkavsledk1Click()",
          "Exportovatbody1Click()", "Help1Click()", "UserGuideClick()", "BitBtn2Click()",
          "Ulozprotokol1Click()", "Nastprojekt1Click()", "Nastpesnost1Click()", "Kalibracekamery1Click()",
          "Kalibracekamery2Click()", "Kalibracekamery3Click()", "Pevztkalibrovanoukameru1Click()"}) {
        EXPECT_GE(w.metaObject()->indexOfSlot(slot), 0) << slot;
    }
}

TEST(MainWindow, EveryMenuHasUniqueAcceleratorsAndTheCommonShortcuts) {
    Gui gui;
    TPelvanor& w = gui.window();
    std::function<void(const QList<QAction*>&, const QString&)> check = [&](const QList<QAction*>& level,
                                                                          const QString& where) {
        QSet<QChar> letters;
        for (const QAction* action : level) {
            if (action->isSeparator()) continue;
            const QString text = action->text();
            const qsizetype mark = text.indexOf(QLatin1Char('&'));
            ASSERT_GE(mark, 0) << "no accelerator: " << where.toStdString() << " > " << text.toStdString();
            ASSERT_LT(mark + 1, text.size());
            const QChar letter = text.at(mark + 1).toLower();
            EXPECT_FALSE(letters.contains(letter)) << "accelerator used twice in " << where.toStdString() << ": "
                                                    << text.toStdString();
            letters.insert(letter);
            if (action->menu()) check(action->menu()->actions(), WithoutMnemonic(text));
        }
    };
    check(w.menuBar()->actions(), QStringLiteral("menu bar"));
    EXPECT_EQ(w.MenuAction(UiItem::Konec1)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QAction* guide = w.findChild<QAction*>("UserGuide");
    ASSERT_NE(guide, nullptr);
    EXPECT_EQ(guide->shortcut(), QKeySequence(Qt::Key_F1));
}

// The guide opens inside the program, with its pictures, from the menu, from
// F1 in a modal dialog and from the link of "O programu"; its table of
// contents leads to the headings.
TEST(MainWindow, TheGuideOpensEverywhere) {
    Gui gui;
    TPelvanor& w = gui.window();
    w.findChild<QAction*>("UserGuide")->trigger();
    TForm8* guide = w.Form8();
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->isVisible());
    EXPECT_FALSE(guide->isModal());
    QTextDocument* document = guide->TextBrowser1()->document();
    EXPECT_TRUE(document->toPlainText().startsWith("Pelvanor – uživatelská příručka"));
    // Every picture of the guide is found beside it.
    int pictures = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
            if (!image.isValid()) continue;
            ++pictures;
            const QVariant loaded = document->resource(QTextDocument::ImageResource, QUrl(image.name()));
            EXPECT_TRUE(loaded.isValid() && !loaded.value<QImage>().isNull()) << image.name().toStdString();
        }
    }
    EXPECT_GE(pictures, 7);
    EXPECT_TRUE(guide->ScrollToHeading(QStringLiteral("3-pracovní-postup")));
    EXPECT_GT(guide->TextBrowser1()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(HeadingAnchor(QStringLiteral("9. Výpočet bez okna: pelvanor-batch")), "9-výpočet-bez-okna-pelvanor-batch");
    guide->close();

    // F1 in "Nastavení": the guide over the modal dialog, modal in its turn.
    bool shownOverSettings = false;
    gui.dialogs->ActInNextModal([&](QDialog& dialog) {
        QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        QCoreApplication::sendEvent(dialog.focusWidget() ? dialog.focusWidget() : &dialog, &f1);
        shownOverSettings = guide->isVisible() && guide->windowModality() == Qt::ApplicationModal;
        guide->close();
    });
    gui.Trigger(UiItem::N1);
    EXPECT_TRUE(shownOverSettings);

    // The link of "O programu".
    bool shownFromAbout = false;
    gui.dialogs->ActInNextModal([&](QDialog& dialog) {
        emit dialog.findChild<QLabel*>("GuideLink")->linkActivated(QStringLiteral("navod"));
        shownFromAbout = guide->isVisible();
        guide->close();
    });
    gui.Trigger(UiItem::Help1);
    EXPECT_TRUE(shownFromAbout);
    EXPECT_TRUE(gui.dialogs->Messages().isEmpty());
}

// The version the build's project declares.
QString ProjectVersion() {
    const QString cmake = QString::fromStdString(test::ReadFileBytes(PELVANOR_SOURCE_DIR "/CMakeLists.txt"));
    const QRegularExpressionMatch m = QRegularExpression(R"(project\(Pelvanor VERSION ([0-9.]+))").match(cmake);
    return m.captured(1);
}

TEST(MainWindow, SettingsAndAboutOpenModally) {
    Gui gui;
    bool settings_shown = false;
    gui.dialogs->ActInNextModal([&](QDialog& dialog) {
        settings_shown = dialog.isVisible() && dialog.isModal() && dialog.windowTitle() == "Nastavení";
    });
    gui.Trigger(UiItem::N1);
    EXPECT_TRUE(settings_shown);
    bool about_shown = false;
    gui.dialogs->ActInNextModal([&](QDialog& dialog) {
        about_shown = dialog.isVisible();
        const QString text = dialog.findChild<QLabel*>("ProductName")->text();
        EXPECT_EQ(text, "Pelvanor");
        EXPECT_EQ(dialog.findChild<QLabel*>("Version")->text(), "Verze " + ProjectVersion());
        QLabel* link = dialog.findChild<QLabel*>("GuideLink");
        ASSERT_NE(link, nullptr);
        EXPECT_TRUE(link->text().contains("Uživatelská příručka"));
    });
    gui.Trigger(UiItem::Help1);
    EXPECT_TRUE(about_shown);
}

// --- Log list -------------------------------------------------------------

TEST(LogList, StartsWithOneLineAndKeepsTheElevenNewest) {
    LocaleScope czech("cs_CZ");
    Gui gui;
    TPelvanor& w = gui.window();
    QStringList lines = w.LogListLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(": Program Pelvanor spuštěn.")) << lines[0].toStdString();

    for (int i = 1; i <= 12; ++i) w.WriteLog("zpráva " + std::to_string(i));
    lines = w.LogListLines();
    ASSERT_EQ(lines.size(), 11);
    for (int row = 0; row < 11; ++row) {
        EXPECT_TRUE(lines[row].endsWith(QStringLiteral(": zpráva %1").arg(12 - row))) << lines[row].toStdString();
    }
    // The history keeps everything, oldest first, without the time.
    ASSERT_EQ(w.LogHistory().size(), 13u);
    EXPECT_EQ(w.LogHistory().front(), "Program Pelvanor spuštěn.");
    EXPECT_EQ(w.LogHistory().back(), "zpráva 12");
}

TEST(LogList, TheNewestLineComesIntoViewWholeAfterTheUserScrolled) {
    LocaleScope czech("cs_CZ");
    Gui gui;
    TPelvanor& w = gui.window();
    w.show();
    QListWidget* list = w.ListBox1();
    for (int i = 1; i <= 10; ++i) w.WriteLog("zpráva " + std::to_string(i));
    QCoreApplication::processEvents();
    // The user scrolls to the oldest line; a new line must still be seen.
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    ASSERT_GT(list->verticalScrollBar()->value(), 0) << "the list must be scrollable for this test";
    w.WriteLog("Souřadnice XYZ - výpočet proveden");
    QCoreApplication::processEvents();
    const QRect newest = list->visualItemRect(list->item(0));
    EXPECT_TRUE(list->viewport()->rect().contains(newest.topLeft()) && newest.height() > 0)
        << "newest line at y " << newest.y();
    EXPECT_TRUE(list->item(0)->text().endsWith(": Souřadnice XYZ - výpočet proveden"));

    // A line wider than the list is scrolled to, not cut, and its tooltip
    // shows it whole.
    const QString path = "/home/uzivatel/" + QString(200, QLatin1Char('x')) + "/camera.txt";
    w.WriteLog(QStringLiteral("Načten soubor: ") + path);
    QCoreApplication::processEvents();
    EXPECT_TRUE(list->item(0)->toolTip().endsWith(QStringLiteral("Načten soubor: ") + path));
    EXPECT_EQ(list->textElideMode(), Qt::ElideNone);
    EXPECT_GT(list->horizontalScrollBar()->maximum(), 0);
    EXPECT_GE(list->visualItemRect(list->item(0)).width(),
              list->fontMetrics().horizontalAdvance(list->item(0)->text()));
    w.hide();
}

TEST(MainWindow, StartsWithItsTopLeftOnASmallScreen) {
    const QRect frame(0, 0, 1026, 560);
    // A large screen: centred.
    EXPECT_EQ(StartPosition(frame, QRect(0, 0, 1920, 1080)), QPoint(447, 260));
    // Smaller than the window: the corner stays at the screen's corner, also
    // on a second screen and below a panel.
    EXPECT_EQ(StartPosition(frame, QRect(0, 0, 800, 480)), QPoint(0, 0));
    EXPECT_EQ(StartPosition(frame, QRect(1920, 32, 800, 500)), QPoint(1920, 32));
    EXPECT_EQ(StartPosition(frame, QRect(0, 0, 800, 1080)).x(), 0);
    // Nothing to resize: no handles for the window manager to draw.
    Gui gui;
    EXPECT_TRUE(gui.window().windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
}

TEST(LogList, TimeInTheLocalesLongFormatWithoutZone) {
    {
        LocaleScope czech("cs_CZ");
        EXPECT_EQ(LongTimeFormatWithoutZone(QLocale()), "H:mm:ss");
        Gui gui;
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]{1,2}:[0-9]{2}:[0-9]{2}: Program Pelvanor spuštěn\\.$"))
                        .match(gui.window().LogListLines()[0])
                        .hasMatch())
            << gui.window().LogListLines()[0].toStdString();
    }
    {
        LocaleScope us("en_US");
        EXPECT_EQ(LongTimeFormatWithoutZone(QLocale()), "h:mm:ss AP");
        Gui gui;
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]{1,2}:[0-9]{2}:[0-9]{2} (AM|PM): Program"))
                        .match(gui.window().LogListLines()[0])
                        .hasMatch())
            << gui.window().LogListLines()[0].toStdString();
    }
    EXPECT_EQ(LongTimeFormatWithoutZone(QLocale(QStringLiteral("de_DE"))), "HH:mm:ss");
}

// --- Protocol panel and "Ulož protokol" -----------------------------------

TEST(ProtocolPanel, StartsWithOneEmptyLineAndTakesLinesAfterClearing) {
    Gui gui;
    TPelvanor& w = gui.window();
    EXPECT_EQ(w.ProtocolPanelLines(), std::vector<std::string>{""});
    EXPECT_EQ(w.Memo2()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(w.Memo2()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(w.Memo2()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(w.Memo2()->isReadOnly());

    w.ClearProtocol();
    EXPECT_TRUE(w.ProtocolPanelLines().empty());
    w.ProtocolLine("Titulek - program Pelvanor");
    w.ProtocolLine(" ");
    w.ProtocolLine("");
    w.ProtocolLines({"a", "b"});
    EXPECT_EQ(w.ProtocolPanelLines(), (std::vector<std::string>{"Titulek - program Pelvanor", " ", "", "a", "b"}));
    // Lines appended without clearing follow the existing ones.
    Gui fresh;
    fresh.window().ProtocolLine("x");
    EXPECT_EQ(fresh.window().ProtocolPanelLines(), (std::vector<std::string>{"", "x"}));
}

TEST(ProtocolPanel, SaveWritesCp1250WithCrLfAndLogs) {
    test::TempDir dir;
    Gui gui;
    TPelvanor& w = gui.window();

    // Right after start: the single empty line.
    const std::string first = dir.Path("prvni.txt");
    gui.dialogs->AnswerSave(QString::fromStdString(first));
    w.SaveProtocolButton()->click();
    EXPECT_EQ(test::ReadFileBytes(first), "\r\n");
    EXPECT_EQ(gui.LastLog(), "Uložen protokol: " + first);

    // Czech letters in CP1250; a character the code page lacks becomes "?";
    // the user's own edits are saved as shown.
    w.ClearProtocol();
    w.ProtocolLines({"Souřadnice XYZ - program Pelvanor", "žluťoučký kůň 中"});
    w.Memo2()->appendPlainText(QStringLiteral("ruční řádek"));
    const std::string second = dir.Path("druhy.txt");
    test::WriteFileBytes(second, "old content that is longer than the new one ..................................");
    gui.dialogs->AnswerSave(QString::fromStdString(second));
    w.SaveProtocolButton()->click();
    EXPECT_EQ(test::ReadFileBytes(second),
              "Sou\xf8" "adnice XYZ - program Pelvanor\r\n"
              "\x9elu\x9dou\xe8k\xfd k\xf9\xf2 ?\r\n"
              "ru\xe8n\xed \xf8\xe1" "dek\r\n");
}

TEST(ProtocolPanel, CancelAndWriteErrors) {
    test::TempDir dir;
    Gui gui;
    TPelvanor& w = gui.window();
    const std::size_t before = w.LogHistory().size();

    gui.dialogs->AnswerCancel();
    w.SaveProtocolButton()->click();
    EXPECT_EQ(w.LogHistory().size(), before);
    EXPECT_TRUE(gui.dialogs->Messages().isEmpty());

    // A folder, and a file in a folder that does not exist: the error text
    // in a message box, no log line, the program goes on.
    for (const std::string& bad : {dir.Path(""), dir.Path("chybi/protokol.txt")}) {
        gui.dialogs->AnswerSave(QString::fromStdString(bad));
        w.SaveProtocolButton()->click();
    }
    EXPECT_EQ(w.LogHistory().size(), before);
    ASSERT_EQ(gui.dialogs->Messages().size(), 2);
    EXPECT_FALSE(gui.dialogs->Messages()[0].isEmpty());
    EXPECT_TRUE(gui.dialogs->Problems().isEmpty());
}

// --- Camera fields ----------------------------------------------------------

struct LocaleCase {
    const char* name;
    char decimal;
};

class CameraFields : public ::testing::TestWithParam<LocaleCase> {};

void SetFields(TPelvanor& w, const std::vector<QString>& texts) {
    for (int i = 0; i < 8; ++i) w.CameraField(i + 1)->setText(texts[static_cast<std::size_t>(i)]);
}

// Which texts are numbers is the parser's rule (tests/input/number_parse_test.cpp);
// here the fields read in the locale and what a refused field leaves.
TEST_P(CameraFields, ParseInTheLocaleWithPartialUpdate) {
    LocaleScope locale(GetParam().name);
    const QString d(QChar::fromLatin1(GetParam().decimal));
    const QString other = GetParam().decimal == ',' ? "." : ",";
    Gui gui;
    TPelvanor& w = gui.window();
    EXPECT_EQ(w.DecimalSeparator(), GetParam().decimal);

    SetFields(w, {" 100" + d + "5 ", "0" + d + "01", "-0" + d + "02", "1E-5", "2e-7", "0", "+3" + d + "5e-3", "-0"});
    ASSERT_TRUE(w.ReadCameraFields());
    const CameraParameters& c = w.State().Camera;
    EXPECT_EQ(c.f, 100.5L);
    EXPECT_EQ(c.x0, 0.01L);
    EXPECT_EQ(c.y0, -0.02L);
    EXPECT_EQ(c.k1, 1e-5L);
    EXPECT_EQ(c.k2, 2e-7L);
    EXPECT_EQ(c.k3, 0.0L);
    EXPECT_EQ(c.p1, 3.5e-3L);
    EXPECT_EQ(c.p2, 0.0L);

    // A bad first field changes nothing; a bad last one stores the first
    // seven.
    const CameraParameters before = c;
    SetFields(w, {"1" + other + "5", "1", "2", "3", "4", "5", "6", "7"});
    EXPECT_FALSE(w.ReadCameraFields());
    EXPECT_EQ(c.f, before.f);
    EXPECT_EQ(c.x0, before.x0);
    EXPECT_EQ(c.p2, before.p2);
    SetFields(w, {"10", "1", "2", "3", "4", "5", "6", "x"});
    EXPECT_FALSE(w.ReadCameraFields());
    EXPECT_EQ(c.f, 10.0L);
    EXPECT_EQ(c.p1, 6.0L);
    EXPECT_EQ(c.p2, before.p2);
}

INSTANTIATE_TEST_SUITE_P(Locales, CameraFields,
                         ::testing::Values(LocaleCase{"cs_CZ", ','}, LocaleCase{"en_US", '.'}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// --- Closing ----------------------------------------------------------------

TEST(MainWindow, KonecClosesAndReleasesTheState) {
    Gui gui;
    TPelvanor& w = gui.window();
    w.show();
    w.State().ImagePoints = NewMatrix(3, 4);
    w.State().FTestPassed = NewMatrix(1, 8);
    w.State().RobustOutliers = NewMatrix(1, 1);
    gui.Trigger(UiItem::Konec1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.State().ImagePoints, nullptr);
    EXPECT_EQ(w.State().FTestPassed, nullptr);
    EXPECT_EQ(w.State().RobustOutliers, nullptr);
}

}  // namespace
}  // namespace pelvanor

namespace pelvanor {
namespace {

// A new user's first open dialog shows the sample projects; the save dialogs
// keep the working folder.
TEST(FirstRun, OpenDialogsStartInTheSampleFolder) {
    const QString samples = SampleProjectsFolder();
    ASSERT_FALSE(samples.isEmpty());
    EXPECT_TRUE(QFileInfo(samples + QStringLiteral("/fasada/camera.txt")).isFile());
    EXPECT_TRUE(QFileInfo(samples + QStringLiteral("/rovina/camera.txt")).isFile());
    QtDialogs dialogs;
    EXPECT_EQ(dialogs.Folder(FileDialogId::OpenDialog1), samples);
    EXPECT_EQ(dialogs.Folder(FileDialogId::OpenDialog2), samples);
    EXPECT_EQ(dialogs.Folder(FileDialogId::OpenDialog3), samples);
    EXPECT_TRUE(dialogs.Folder(FileDialogId::SaveDialog1).isEmpty());
    EXPECT_TRUE(dialogs.Folder(FileDialogId::SaveDialog2).isEmpty());
}

// An installed program finds the samples relative to itself, whatever the
// prefix; the source tree's copy serves only a program inside the build folder.
TEST(FirstRun, SampleFolderIsFoundBesideTheInstalledProgram) {
    test::TempDir root;
    const QString prefix = QString::fromStdString(root.Path("usr"));
    const QString installed = prefix + QStringLiteral("/share/pelvanor/examples");
    ASSERT_TRUE(QDir().mkpath(installed + QStringLiteral("/fasada")));
    const QString source = QString::fromStdString(root.Path("src/examples"));
    ASSERT_TRUE(QDir().mkpath(source + QStringLiteral("/fasada")));
    const QString build = QString::fromStdString(root.Path("src/build"));
    const QString rel = QStringLiteral("../share/pelvanor");

    EXPECT_EQ(ResolveSampleProjectsFolder(prefix + QStringLiteral("/bin"), rel, build, source), installed);
    EXPECT_EQ(ResolveSampleProjectsFolder(build + QStringLiteral("/app"), rel, build, source), source);
    // Elsewhere without an installed copy: no folder, never the source tree.
    EXPECT_TRUE(ResolveSampleProjectsFolder(QString::fromStdString(root.Path("opt/bin")), rel, build, source)
                    .isEmpty());
    EXPECT_TRUE(ResolveSampleProjectsFolder(QString::fromStdString(root.Path("src/buildx")), rel, build, source)
                    .isEmpty());
}

}  // namespace
}  // namespace pelvanor
