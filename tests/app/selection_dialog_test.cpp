// The control point selection dialog "Výběr" opened by "Vybrat body".

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTableWidget>

#include <functional>

#include <gtest/gtest.h>

#include "app/tform3.h"
#include "tests/app/gui_support.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::Gui;
using test::LocaleScope;

// Control point lines with the given point numbers (object and image
// coordinates are not looked at here; the object points are spread so that
// they do not lie on a line).
std::string ControlLines(std::initializer_list<int> numbers) {
    std::string text;
    for (int n : numbers)
        text += std::to_string(n) + " " + std::to_string(1.5 + 5 * (n % 2)) + " " + std::to_string(2.5 + 5 * (n % 3)) +
                " 0.0 0.25 -0.75\n";
    return text;
}

class SelectionDialog : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFileBytes(dir_.Path("a.txt"), ControlLines({11, 12, 13, 14}));
        test::WriteFileBytes(dir_.Path("b.txt"), ControlLines({21, 22, 23, 24, 25, 26}));
        gui_.LoadControlPoints({dir_.Path("b.txt"), dir_.Path("a.txt")});
        ASSERT_EQ(gui_.LastLog(), "Vlícovací body načteny do programu");
    }

    std::vector<long double> Selected() const {
        const Matice& m = *gui_.owned->State().SelectedOrientationPoints;
        return std::vector<long double>(m.prvky.begin(), m.prvky.end());
    }

    // Opens the dialog for ComboBox2 entry `entry` and runs `work` inside;
    // whether it was still open afterwards.
    bool Open(int entry, const std::function<void(TForm3&)>& work) {
        gui_.window().ComboBox2()->setCurrentIndex(entry);
        TForm3* form = &gui_.window().Form3();
        bool open_after = false;
        gui_.dialogs->ActInNextModal([&, form](QDialog&) {
            work(*form);
            open_after = form->isVisible();
        });
        gui_.window().BitBtn2()->click();
        return open_after;
    }

    test::TempDir dir_;
    Gui gui_;
};

TEST_F(SelectionDialog, ListsTheImagesPointsWithTheFirstFourMarked) {
    EXPECT_TRUE(gui_.window().BitBtn2()->isEnabled());
    ASSERT_EQ(gui_.window().ComboBox2()->count(), 2);
    EXPECT_EQ(gui_.window().ComboBox2()->itemText(0), "Snimek 1");
    EXPECT_EQ(gui_.window().ComboBox2()->itemText(1), "Snimek 2");
    EXPECT_EQ(Selected(), (std::vector<long double>{11, 12, 13, 14, 21, 22, 23, 24}));

    Open(1, [](TForm3& form) {
        EXPECT_EQ(form.windowTitle(), "Výběr");
        EXPECT_EQ(form.size(), QSize(166, 274));
        EXPECT_EQ(form.StringGrid1()->geometry(), QRect(5, 8, 153, 229));
        EXPECT_EQ(form.Button1()->text(), "Použít");
        EXPECT_EQ(form.Button2()->text(), "Storno");
        ASSERT_EQ(form.RowCount(), 7);
        EXPECT_EQ(form.Cell(0, 0), "Č.b");
        EXPECT_EQ(form.Cell(0, 1), "Použít");
        for (int row = 1; row <= 6; ++row) {
            EXPECT_EQ(form.Cell(row, 0), QString::number(20 + row));
            EXPECT_EQ(form.Cell(row, 1), row <= 4 ? "ANO" : "NE");
        }
        form.Button2()->click();
    });
}

TEST_F(SelectionDialog, PouzitStoresTheMarkedPointsInGridOrder) {
    const bool open = Open(1, [](TForm3& form) {
        form.ClickRow(2);
        form.ClickRow(5);
        EXPECT_EQ(form.Cell(2, 1), "NE");
        EXPECT_EQ(form.Cell(5, 1), "ANO");
        form.Button1()->click();
    });
    EXPECT_FALSE(open);
    EXPECT_EQ(Selected(), (std::vector<long double>{11, 12, 13, 14, 21, 23, 24, 25}));
    EXPECT_TRUE(gui_.dialogs->Messages().isEmpty());

    // Image 1 goes to rows 1-4; a click in column 1 toggles too, a second
    // click undoes the first, and a click on the header does nothing.
    Open(0, [](TForm3& form) {
        form.ClickRow(0);
        form.ClickRow(1);
        form.ClickRow(1);
        form.ClickRow(4);
        QTableWidget* grid = form.StringGrid1();
        form.StringGrid1MouseDown(grid->visualItemRect(grid->item(3, 1)).center());  // row 4, column 1
        EXPECT_EQ(form.Cell(4, 1), "ANO");
        form.ClickRow(3);
        form.ClickRow(3);
        form.Button1()->click();
    });
    EXPECT_EQ(Selected(), (std::vector<long double>{11, 12, 13, 14, 21, 23, 24, 25}));
}

TEST_F(SelectionDialog, WrongNumberOfMarksIsRefusedAndStornoKeepsTheOldFour) {
    // Five marks.
    bool open = Open(1, [](TForm3& form) {
        form.ClickRow(6);
        form.Button1()->click();
        EXPECT_TRUE(form.isVisible());
        form.Button2()->click();
    });
    EXPECT_FALSE(open);
    ASSERT_EQ(gui_.dialogs->Messages().size(), 1);
    EXPECT_EQ(gui_.dialogs->Messages()[0], "Chyba - špatný počet vlícovacích bodů");
    EXPECT_EQ(Selected(), (std::vector<long double>{11, 12, 13, 14, 21, 22, 23, 24}));

    // Three marks; the refused dialog stays open until "Storno".
    open = Open(1, [](TForm3& form) {
        form.ClickRow(1);
        form.Button1()->click();
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(gui_.dialogs->Messages().size(), 2);
    EXPECT_EQ(Selected(), (std::vector<long double>{11, 12, 13, 14, 21, 22, 23, 24}));
}

TEST_F(SelectionDialog, ReopeningShowsTheFirstFourNotTheStoredChoice) {
    Open(1, [](TForm3& form) {
        form.ClickRow(1);
        form.ClickRow(6);
        form.Button1()->click();
    });
    EXPECT_EQ(Selected(), (std::vector<long double>{11, 12, 13, 14, 22, 23, 24, 26}));
    Open(1, [](TForm3& form) {
        for (int row = 1; row <= 6; ++row) EXPECT_EQ(form.Cell(row, 1), row <= 4 ? "ANO" : "NE");
        form.Button2()->click();
    });
}

TEST_F(SelectionDialog, ManyRowsScrollIntoViewAndPointNumbersUseTheGeneralFormat) {
    LocaleScope czech("cs_CZ");
    std::string lines = "1001 0 0 0 0 0\n2.5 0 0 0 0 0\n";
    for (int n = 3; n <= 20; ++n) lines += std::to_string(n) + " 0 0 0 0 0\n";
    test::WriteFileBytes(dir_.Path("c.txt"), lines);
    gui_.LoadControlPoints({dir_.Path("c.txt")});
    ASSERT_EQ(gui_.window().ComboBox2()->count(), 1);
    Open(0, [](TForm3& form) {
        ASSERT_EQ(form.RowCount(), 21);
        EXPECT_EQ(form.Cell(1, 0), "1001");
        EXPECT_EQ(form.Cell(2, 0), "2,5");
        form.ClickRow(2);
        form.ClickRow(20);  // below the visible rows
        EXPECT_EQ(form.Cell(20, 1), "ANO");
        form.ClickRow(2);
        form.ClickRow(3);
        form.Button1()->click();
    });
    // The grid's text is read back in the locale's notation.
    EXPECT_EQ(Selected(), (std::vector<long double>{1001, 2.5L, 4, 20}));
}

TEST_F(SelectionDialog, ButtonFollowsTheLoads) {
    // A failed load disables it; a good one enables it again.
    test::WriteFileBytes(dir_.Path("bad.txt"), "1 2 3 x 5 6\n2 0 0 0 0 0\n3 0 0 0 0 0\n4 0 0 0 0 0\n");
    gui_.LoadControlPoints({dir_.Path("bad.txt")});
    EXPECT_FALSE(gui_.window().BitBtn2()->isEnabled());
    EXPECT_EQ(gui_.window().ComboBox2()->count(), 2) << "the list is only replaced by a good load";
    gui_.LoadControlPoints({dir_.Path("a.txt")});
    EXPECT_TRUE(gui_.window().BitBtn2()->isEnabled());
    EXPECT_EQ(gui_.window().ComboBox2()->count(), 1);
}

}  // namespace
}  // namespace pelvanor
