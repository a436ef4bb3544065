// The real file dialogs, answered by a timer as a user would: Qt's own texts
// in Czech when the locale is Czech, and the folders they remember between
// runs.

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "app/dialogs.h"
#include "app/program_setup.h"
#include "app/window_services.h"
#include "tests/app/gui_support.h"
#include "tests/support/test_util.h"

namespace pelvanor {
namespace {

using test::Gui;
using test::LocaleScope;

// Runs `work` on the file dialog the next call shows.
void InNextFileDialog(std::function<void(QFileDialog&)> work) {
    QTimer::singleShot(0, [work]() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no file dialog shown";
        work(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
}

QString Canonical(const QString& folder) { return QDir(folder).canonicalPath(); }

TEST(RealDialogs, CzechTextsAndFoldersRememberedBetweenRuns) {
    test::TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir.Path("config")));
    LocaleScope czech("cs_CZ");
    QTranslator* translator = InstallQtTranslation();
    ASSERT_NE(translator, nullptr) << "Qt's Czech translation (qt6-translations-l10n) is not installed";

    const QString sample = QString::fromStdString(dir.Path("vzorky"));
    const QString project = QString::fromStdString(dir.Path("projekt"));
    QDir().mkpath(sample);
    QDir().mkpath(project);
    test::WriteFileBytes(dir.Path("projekt/camera.txt"), "100\n0\n0\n0\n0\n0\n0\n0\n");
    {
        QtDialogs dialogs(sample);
        QString start, look_in, cancel;
        InNextFileDialog([&](QFileDialog& d) {
            start = d.directory().absolutePath();
            look_in = d.findChild<QLabel*>("lookInLabel")->text();
            d.selectFile(project + "/camera.txt");
            static_cast<QDialog&>(d).accept();  // QFileDialog::accept, as "Otevřít" does
        });
        QString file;
        ASSERT_TRUE(dialogs.GetOpenFileName(nullptr, FileDialogId::OpenDialog1, file));
        EXPECT_EQ(Canonical(start), Canonical(sample)) << "a new user starts among the samples";
        EXPECT_EQ(look_in, "Hledat v:");
        EXPECT_EQ(file, project + "/camera.txt");

        // The save dialogs now start next to the loaded project.
        InNextFileDialog([&](QFileDialog& d) {
            start = d.directory().absolutePath();
            for (QPushButton* button : d.findChildren<QPushButton*>())
                if (button->text().contains(QStringLiteral("Zrušit"))) cancel = button->text();
        });
        EXPECT_FALSE(dialogs.GetSaveFileName(nullptr, FileDialogId::SaveDialog2, file));
        EXPECT_EQ(Canonical(start), Canonical(project));
        EXPECT_FALSE(cancel.isEmpty()) << "no Czech cancel button";
    }
    // The next run remembers the folders; a dialog never used keeps the samples.
    QtDialogs again(sample);
    EXPECT_EQ(Canonical(again.Folder(FileDialogId::OpenDialog1)), Canonical(project));
    EXPECT_EQ(Canonical(again.Folder(FileDialogId::SaveDialog1)), Canonical(project));
    EXPECT_EQ(Canonical(again.Folder(FileDialogId::OpenDialog2)), Canonical(sample));

    // The protocol panel's context menu.
    Gui gui;
    std::unique_ptr<QMenu> menu(gui.window().Memo2()->createStandardContextMenu());
    QStringList captions;
    for (const QAction* action : menu->actions()) captions << WithoutMnemonic(action->text()).section('\t', 0, 0);
    EXPECT_TRUE(captions.contains(QStringLiteral("Zpět"))) << captions.join(", ").toStdString();
    EXPECT_TRUE(captions.contains(QStringLiteral("Vybrat vše"))) << captions.join(", ").toStdString();

    QCoreApplication::removeTranslator(translator);
    delete translator;
}

TEST(RealDialogs, NoTranslationOutsideACzechLocale) {
    LocaleScope us("en_US");
    EXPECT_EQ(InstallQtTranslation(), nullptr);
}

}  // namespace
}  // namespace pelvanor
