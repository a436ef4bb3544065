// The window side of "Tabulka výsledků", "Exportovat body" and "Načíst
// projekt" on the sample projects: the tables show the computed results and
// sort, a chosen row is ringed in "Grafy", the clipboard gets the rows, the
// export is written, and loading the next project leaves nothing of the
// first behind.

#include <QAbstractItemModel>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTabWidget>
#include <QTabBar>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "app/plot_canvas.h"
#include "app/tform6.h"
#include "app/tform7.h"
#include "project/new_project.h"
#include "project/result_tables.h"
#include "tests/app/gui_support.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::Gui;

void LoadProject(Gui& gui, const char* folder) {
    gui.dialogs->AnswerOpen({QStringLiteral(PELVANOR_SOURCE_DIR "/examples/") + QLatin1String(folder)});
    gui.window().findChild<QAction*>(QStringLiteral("Nastprojekt1"))->trigger();
}

int Column(const QAbstractItemModel* model, const char* caption) {
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == QString::fromUtf8(caption)) return c;
    ADD_FAILURE() << "no column " << caption;
    return 0;
}

TEST(ResultsWindow, TablesHighlightsCopyExportAndTheNextProject) {
    test::LocaleScope czech("cs_CZ");
    Gui gui;
    TPelvanor& w = gui.window();
    LoadProject(gui, "fasada");
    gui.Trigger(UiItem::SouadniceXYZ1);
    const std::vector<std::string> log = gui.Log();
    ASSERT_NE(std::find(log.begin(), log.end(), "Souřadnice XYZ - výpočet proveden"), log.end());

    gui.Trigger(UiItem::Grafy1);
    gui.Trigger(UiItem::Tabulkavsledk1);
    TForm7* table = w.Form7();
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->isVisible());
    const std::vector<PointResult> points = PointResults(w.State());
    QTableView* pointsView = table->Table(0);
    const QAbstractItemModel* model = pointsView->model();
    ASSERT_EQ(model->rowCount(), static_cast<int>(points.size()));
    EXPECT_EQ(table->Table(1)->model()->rowCount(), 6);  // the sample's six images
    // Numbers with the locale's decimal comma, as the protocols print them.
    EXPECT_TRUE(model->index(0, Column(model, "X")).data().toString().contains(QLatin1Char(',')));

    // The sample's two blunders fail the F-test; sorted by the verdict they
    // come first.
    std::size_t failed = 0;
    for (const PointResult& p : points) failed += p.passed ? 0 : 1;
    ASSERT_GT(failed, 0u);
    const int verdict = Column(model, "F-test");
    pointsView->sortByColumn(verdict, Qt::AscendingOrder);
    for (int row = 0; row < model->rowCount(); ++row)
        EXPECT_EQ(model->index(row, verdict).data().toString(),
                  static_cast<std::size_t>(row) < failed ? QStringLiteral("nevyhověl") : QStringLiteral("vyhověl"));

    // A chosen point is ringed in the plan; a chosen image turns the
    // residual view to it.
    TForm6* plots = w.Form6();
    ASSERT_NE(plots, nullptr);
    plots->TabBar1()->setCurrentIndex(1);
    pointsView->selectionModel()->setCurrentIndex(model->index(0, 0), QItemSelectionModel::ClearAndSelect |
                                                                          QItemSelectionModel::Rows);
    EXPECT_EQ(plots->Canvas()->HighlightedItems(), 1);
    plots->TabBar1()->setCurrentIndex(0);
    table->TabWidget1()->setCurrentIndex(1);
    QTableView* imagesView = table->Table(1);
    imagesView->selectionModel()->setCurrentIndex(imagesView->model()->index(4, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(plots->ComboBox1()->currentIndex(), 4);

    // "Kopírovat": the captions and the chosen row, tab-separated.
    table->BitBtn1Click();
    const QStringList copied = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 2);
    EXPECT_TRUE(copied[0].startsWith(QStringLiteral("Snímek\tX0\tY0\tZ0\t")));
    EXPECT_TRUE(copied[1].startsWith(QStringLiteral("5\t")));

    // "Exportovat body" in the format of the chosen extension.
    test::TempDir dir;
    gui.dialogs->AnswerSave(QString::fromStdString(dir.Path("body.dxf")));
    gui.Trigger(UiItem::Exportovatbody1);
    EXPECT_TRUE(std::filesystem::exists(dir.Path("body.dxf")));
    EXPECT_EQ(gui.LastLog(), "Exportovány body: " + dir.Path("body.dxf"));

    // The bundle protocol in the panel, then the next project: no result
    // of the first stays, the panel is as at the start, the windows of the
    // results close, the log keeps its lines.
    gui.Trigger(UiItem::Svazkovvyrovnn2);
    ASSERT_GT(w.ProtocolPanelLines().size(), 10u);
    const std::size_t logLines = w.LogHistory().size();
    LoadProject(gui, "rovina");
    EXPECT_EQ(w.ProtocolPanelLines(), std::vector<std::string>{""});
    for (UiItem item : kResultItems) EXPECT_FALSE(w.IsItemEnabled(item)) << static_cast<int>(item);
    EXPECT_FALSE(w.State().BundleUnknowns);
    EXPECT_FALSE(w.State().ObjectPoints);
    EXPECT_FALSE(w.State().OrientationRefined);
    EXPECT_FALSE(table->isVisible());
    EXPECT_FALSE(plots->isVisible());
    EXPECT_GT(w.LogHistory().size(), logLines);
    EXPECT_EQ(w.LogHistory()[1].rfind("Načten soubor: ", 0), 0u);
    // The new project computes as any other.
    w.ComboBox1()->setCurrentIndex(0);
    gui.Trigger(UiItem::SouadniceXYZ1);
    const std::vector<std::string> again = gui.Log();
    EXPECT_NE(std::find(again.begin(), again.end(), "Souřadnice XYZ - výpočet proveden"), again.end());
}

}  // namespace
}  // namespace pelvanor
