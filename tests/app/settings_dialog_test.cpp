// The settings dialog "Nastavení": defaults at start, conversion field by
// field, "Storno" and "Default", in a comma and a point locale.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

#include <gtest/gtest.h>

#include "app/labeled_edit.h"
#include "app/tform2.h"
#include "tests/app/gui_support.h"

namespace pelvanor {
namespace {

using test::Gui;
using test::LocaleScope;

void ExpectDefaults(const AdjustmentSettings& s) {
    EXPECT_EQ(s.MaxIterations, 20);
    EXPECT_EQ(s.PointPercent, 50);
    EXPECT_EQ(s.Tolerance, 0.1L);
    EXPECT_EQ(s.FixedPointCount, 4);
    EXPECT_EQ(s.RobustWeightPercent, 50);
    EXPECT_EQ(s.SignificancePercent, 5);
    EXPECT_TRUE(s.AdjustCameraConstant);
    EXPECT_TRUE(s.RobustEstimation);
    EXPECT_EQ(s.NormalEquations, NormalSolve::Auto);
    EXPECT_EQ(s.ImageSigma, 1.0L);
    EXPECT_EQ(s.ControlSigmaXY, 0.0L);
    EXPECT_EQ(s.ControlSigmaZ, 0.0L);
    EXPECT_TRUE(s.CalibrateF && s.CalibratePrincipalPoint && s.CalibrateK1 && s.CalibrateK2 && s.CalibrateK3 &&
                s.CalibrateDecentring);
}

// Opens "Nastavení" and runs `work` inside the dialog; whether the dialog
// was still open when `work` ended.
bool InSettings(Gui& gui, const std::function<void(TForm2&)>& work) {
    bool open_after = false;
    TForm2* form = &gui.window().Form2();
    gui.dialogs->ActInNextModal([&, form](QDialog&) {
        work(*form);
        open_after = form->isVisible();
    });
    gui.Trigger(UiItem::N1);
    return open_after;
}

struct LocaleCase {
    const char* name;
    const char* tolerance_text;  // 0.1 as the dialog shows it
    const char* good_real;       // 0.25 in the locale's notation
    const char* bad_real;        // 0.25 in the other notation
};

class SettingsDialog : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(SettingsDialog, DefaultsAreInForceAtStartAndShown) {
    LocaleScope locale(GetParam().name);
    Gui gui;
    ExpectDefaults(gui.window().State().Settings);
    TForm2& form = gui.window().Form2();
    EXPECT_EQ(form.windowTitle(), "Nastavení");
    EXPECT_EQ(form.size(), QSize(472, 371));
    EXPECT_EQ(form.Field(1)->text(), "20");
    EXPECT_EQ(form.Field(2)->text(), GetParam().tolerance_text);
    EXPECT_EQ(form.Field(3)->text(), "5");
    EXPECT_EQ(form.Field(4)->text(), "50");
    EXPECT_EQ(form.Field(5)->text(), "4");
    EXPECT_EQ(form.Field(6)->text(), "1");
    EXPECT_EQ(form.Field(7)->text(), "0");
    EXPECT_EQ(form.Field(8)->text(), "0");
    EXPECT_EQ(form.ComboBox1()->currentText(), "  50");
    EXPECT_TRUE(form.ComboBox1()->isEditable());
    ASSERT_EQ(form.ComboBox1()->count(), 10);
    const char* entries[] = {"100", "  50", "  33", "  25", "  20", "  17", "  12", "  10", "   5", "   1"};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(form.ComboBox1()->itemText(i), entries[i]);
    EXPECT_TRUE(form.CheckBox1()->isChecked());
    EXPECT_TRUE(form.CheckBox2()->isChecked());
    EXPECT_EQ(form.findChild<QLabel*>("Label2")->text(), "Řešení normálních rovnic");
    EXPECT_FALSE(form.ComboBox2()->isEditable());
    ASSERT_EQ(form.ComboBox2()->count(), 3);
    EXPECT_EQ(form.ComboBox2()->itemText(0), "Automaticky");
    EXPECT_EQ(form.ComboBox2()->itemText(1), "SVD");
    EXPECT_EQ(form.ComboBox2()->itemText(2), "Řídká eliminace");
    EXPECT_EQ(form.ComboBox2()->currentIndex(), 0);
    EXPECT_EQ(form.Field(5)->EditLabel()->text(), "Počet pevných bodů pro stabilizaci svazkového vyrovnání");
    EXPECT_EQ(form.DefaultButton()->text(), "Default");
    EXPECT_EQ(form.StornoButton()->text(), "Storno");
    EXPECT_EQ(form.PouzitButton()->text(), "Použít");
    EXPECT_EQ(form.findChild<QLabel*>("Label3")->text(), "Kalibrace kamery - určované parametry");
    const char* calibration[] = {"f", "x0 y0", "k1", "k2", "k3", "p1 p2"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(form.CalibrationBox(i)->text(), calibration[i]);
        EXPECT_TRUE(form.CalibrationBox(i)->isChecked()) << calibration[i];
    }
}

TEST_P(SettingsDialog, PouzitStoresEveryFieldAndCloses) {
    LocaleScope locale(GetParam().name);
    Gui gui;
    const bool open = InSettings(gui, [&](TForm2& form) {
        form.Field(1)->setText("0");
        form.Field(2)->setText(GetParam().good_real);
        form.Field(3)->setText(" 10");
        form.Field(4)->setText("-5");
        form.Field(5)->setText("6");
        form.Field(6)->setText(GetParam().good_real);
        form.Field(7)->setText(GetParam().good_real);
        form.Field(8)->setText("0");
        form.ComboBox1()->setCurrentIndex(0);  // "100"
        form.CheckBox1()->setChecked(false);
        form.CheckBox2()->setChecked(false);
        form.ComboBox2()->setCurrentIndex(2);  // "Řídká eliminace"
        form.CalibrationBox(1)->setChecked(false);  // "x0 y0"
        form.CalibrationBox(4)->setChecked(false);  // "k3"
        form.PouzitButton()->click();
    });
    EXPECT_FALSE(open);
    const AdjustmentSettings& s = gui.window().State().Settings;
    EXPECT_EQ(s.MaxIterations, 0) << "no range test";
    EXPECT_EQ(s.Tolerance, 0.25L);
    EXPECT_EQ(s.SignificancePercent, 10);
    EXPECT_EQ(s.RobustWeightPercent, -5);
    EXPECT_EQ(s.FixedPointCount, 6);
    EXPECT_EQ(s.PointPercent, 100);
    EXPECT_FALSE(s.AdjustCameraConstant);
    EXPECT_FALSE(s.RobustEstimation);
    EXPECT_EQ(s.NormalEquations, NormalSolve::Sparse);
    EXPECT_EQ(s.ImageSigma, 0.25L);
    EXPECT_EQ(s.ControlSigmaXY, 0.25L);
    EXPECT_EQ(s.ControlSigmaZ, 0.0L);
    EXPECT_TRUE(s.CalibrateF);
    EXPECT_FALSE(s.CalibratePrincipalPoint);
    EXPECT_TRUE(s.CalibrateK1);
    EXPECT_TRUE(s.CalibrateK2);
    EXPECT_FALSE(s.CalibrateK3);
    EXPECT_TRUE(s.CalibrateDecentring);
    EXPECT_TRUE(gui.dialogs->Messages().isEmpty());
    InSettings(gui, [&](TForm2& form) {
        form.ComboBox2()->setCurrentIndex(1);  // "SVD"
        form.PouzitButton()->click();
    });
    EXPECT_EQ(s.NormalEquations, NormalSolve::Svd);
    // The image sigma divides: 0 is refused, and a negative control sigma too.
    for (const char* field6 : {"0", "1"}) {
        const bool stays = InSettings(gui, [&](TForm2& form) {
            form.Field(6)->setText(field6);
            form.Field(7)->setText("-1");
            form.PouzitButton()->click();
        });
        EXPECT_TRUE(stays) << field6;
    }
    EXPECT_EQ(gui.dialogs->Messages().size(), 2);
    EXPECT_EQ(s.ImageSigma, 1.0L);
    EXPECT_EQ(s.ControlSigmaXY, 0.25L);
}

TEST_P(SettingsDialog, AFailedFieldStopsTheConversionThere) {
    LocaleScope locale(GetParam().name);
    Gui gui;
    // The tolerance in the other notation: the iteration limit before it is
    // stored, the fields after it are not, and the dialog stays open.
    bool open = InSettings(gui, [&](TForm2& form) {
        form.Field(1)->setText("30");
        form.Field(2)->setText(GetParam().bad_real);
        form.Field(3)->setText("7");
        form.ComboBox1()->setCurrentIndex(0);
        form.PouzitButton()->click();
    });
    EXPECT_TRUE(open);
    ASSERT_EQ(gui.dialogs->Messages().size(), 1);
    // The specified line, then the field and the form it takes.
    EXPECT_TRUE(gui.dialogs->Messages()[0].startsWith(QStringLiteral("Chybně zadané hodnoty nastavení.\n„Tolerance výpočtu“: „") +
                                                      QString::fromUtf8(GetParam().bad_real) + QStringLiteral("“ není číslo")))
        << gui.dialogs->Messages()[0].toStdString();
    AdjustmentSettings& s = gui.window().State().Settings;
    EXPECT_EQ(s.MaxIterations, 30);
    EXPECT_EQ(s.Tolerance, 0.1L);
    EXPECT_EQ(s.SignificancePercent, 5);
    EXPECT_EQ(s.PointPercent, 50);

    // A typed percentage with a trailing blank is refused as the last field
    // before the check boxes: everything before it is stored.
    open = InSettings(gui, [&](TForm2& form) {
        EXPECT_EQ(form.Field(2)->text(), GetParam().bad_real) << "the fields keep what was typed";
        form.Field(2)->setText(GetParam().good_real);
        form.ComboBox1()->setEditText("100 ");
        form.CheckBox2()->setChecked(false);
        form.ComboBox2()->setCurrentIndex(1);
        form.PouzitButton()->click();
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(gui.dialogs->Messages().size(), 2);
    EXPECT_EQ(s.Tolerance, 0.25L);
    EXPECT_EQ(s.SignificancePercent, 7);
    EXPECT_EQ(s.PointPercent, 50);
    EXPECT_TRUE(s.RobustEstimation);
    EXPECT_EQ(s.NormalEquations, NormalSolve::Auto);

    // A typed entry of the list's form converts.
    open = InSettings(gui, [&](TForm2& form) {
        form.ComboBox1()->setEditText("  33");
        form.PouzitButton()->click();
    });
    EXPECT_FALSE(open);
    EXPECT_EQ(s.PointPercent, 33);
    EXPECT_FALSE(s.RobustEstimation);
}

TEST_P(SettingsDialog, StornoStoresNothingButTheFieldsKeepTheirText) {
    LocaleScope locale(GetParam().name);
    Gui gui;
    bool open = InSettings(gui, [&](TForm2& form) {
        form.CheckBox2()->setChecked(false);
        form.Field(1)->setText("99");
        form.StornoButton()->click();
    });
    EXPECT_FALSE(open);
    ExpectDefaults(gui.window().State().Settings);
    InSettings(gui, [&](TForm2& form) {
        EXPECT_FALSE(form.CheckBox2()->isChecked());
        EXPECT_EQ(form.Field(1)->text(), "99");
        form.StornoButton()->click();
    });
    ExpectDefaults(gui.window().State().Settings);
}

TEST_P(SettingsDialog, DefaultStoresAtOnceEvenBeforeStorno) {
    LocaleScope locale(GetParam().name);
    Gui gui;
    InSettings(gui, [&](TForm2& form) {
        form.Field(1)->setText("3");
        form.Field(2)->setText(GetParam().good_real);
        form.Field(5)->setText("8");
        form.ComboBox1()->setCurrentIndex(9);
        form.CheckBox1()->setChecked(false);
        form.ComboBox2()->setCurrentIndex(2);
        form.CalibrationBox(5)->setChecked(false);
        form.PouzitButton()->click();
    });
    EXPECT_EQ(gui.window().State().Settings.PointPercent, 1);
    EXPECT_FALSE(gui.window().State().Settings.CalibrateDecentring);
    EXPECT_EQ(gui.window().State().Settings.FixedPointCount, 8);
    InSettings(gui, [&](TForm2& form) {
        form.DefaultButton()->click();
        EXPECT_EQ(form.Field(2)->text(), GetParam().tolerance_text);
        EXPECT_EQ(form.ComboBox1()->currentText(), "  50");
        EXPECT_TRUE(form.CheckBox1()->isChecked());
        EXPECT_EQ(form.ComboBox2()->currentText(), "Automaticky");
        EXPECT_TRUE(form.CalibrationBox(5)->isChecked());
        form.StornoButton()->click();
    });
    ExpectDefaults(gui.window().State().Settings);
}

// Types `text` into the percentage box key by key, as the user does, over a
// selection of the whole text.
void TypePercentage(QComboBox* box, const QString& text) {
    QLineEdit* edit = box->lineEdit();
    edit->setFocus();
    edit->selectAll();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &release);
    }
}

TEST(SettingsPercentage, TypedDigitsAreStoredAsTyped) {
    LocaleScope locale("cs_CZ");
    Gui gui;
    // "1" and "10" begin the entry "100", "33" is an entry with blanks in
    // front: none may be completed into another number.
    for (const char* typed : {"1", "10", "33"}) {
        SCOPED_TRACE(typed);
        QString shown;
        const bool open = InSettings(gui, [&](TForm2& form) {
            TypePercentage(form.ComboBox1(), QString::fromLatin1(typed));
            shown = form.ComboBox1()->currentText();
            form.PouzitButton()->click();
        });
        EXPECT_FALSE(open);
        EXPECT_EQ(shown, typed);
        EXPECT_EQ(gui.window().State().Settings.PointPercent, QString::fromLatin1(typed).toInt());
    }
}

TEST(SettingsLayout, CaptionsFitTheirTextAndDoNotOverlap) {
    Gui gui;
    TForm2& form = gui.window().Form2();
    form.ensurePolished();
    const QRect inside(QPoint(0, 0), form.size());
    std::vector<QWidget*> captions = {form.CheckBox1(), form.CheckBox2(), form.findChild<QLabel*>("Label1"),
                                      form.findChild<QLabel*>("Label2"), form.ComboBox2(),
                                      form.findChild<QLabel*>("Label3")};
    for (int i = 0; i < 6; ++i) captions.push_back(form.CalibrationBox(i));
    for (int i = 1; i <= 8; ++i) captions.push_back(form.Field(i)->EditLabel());
    for (QWidget* caption : captions) {
        SCOPED_TRACE(caption->objectName().toStdString());
        EXPECT_GE(caption->width(), caption->sizeHint().width()) << "the text is cut";
        EXPECT_TRUE(inside.contains(caption->geometry())) << "outside the dialog";
    }
    EXPECT_LT(form.CheckBox1()->geometry().right(), form.CheckBox2()->geometry().left());
    EXPECT_LT(form.findChild<QLabel*>("Label1")->geometry().right(), form.ComboBox1()->geometry().left());
    EXPECT_LT(form.findChild<QLabel*>("Label2")->geometry().right(), form.ComboBox2()->geometry().left());
    // The solve's row lies between the percentage box and the buttons.
    EXPECT_GT(form.ComboBox2()->geometry().top(), form.ComboBox1()->geometry().bottom());
    EXPECT_LT(form.ComboBox2()->geometry().bottom(), form.Field(6)->geometry().top());
    // The weights' rows, one below the other, above the calibration's caption.
    EXPECT_LT(form.Field(6)->geometry().bottom(), form.Field(7)->geometry().top());
    EXPECT_LT(form.Field(7)->geometry().bottom(), form.Field(8)->geometry().top());
    EXPECT_LT(form.Field(8)->geometry().bottom(), form.findChild<QLabel*>("Label3")->geometry().top());
    // The calibration's boxes in one row under their caption, above the buttons.
    for (int i = 0; i < 6; ++i) {
        EXPECT_GT(form.CalibrationBox(i)->geometry().top(), form.findChild<QLabel*>("Label3")->geometry().bottom());
        EXPECT_LT(form.CalibrationBox(i)->geometry().bottom(), form.PouzitButton()->geometry().top());
        if (i > 0) {
            EXPECT_LT(form.CalibrationBox(i - 1)->geometry().right(), form.CalibrationBox(i)->geometry().left());
        }
    }
    // Positions where they fit.
    EXPECT_EQ(form.CheckBox1()->geometry().topLeft(), QPoint(24, 72));
    EXPECT_EQ(form.size(), QSize(472, 371));
}

INSTANTIATE_TEST_SUITE_P(Locales, SettingsDialog,
                         ::testing::Values(LocaleCase{"cs_CZ", "0,1", "0,25", "0.25"},
                                           LocaleCase{"en_US", "0.1", "0.25", "0,25"}),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace pelvanor
