// pelvanor-drive SCRIPT: runs the real main window offscreen and works it as
// a user would, through the same menu items, buttons and dialogs, with the
// file dialogs and message boxes answered from the script.
//
// Commands (one per line; relative file names are taken from the script's
// folder):
//   open FILE...          the next open-file dialog returns these files (a
//                         folder dialog: the one folder)
//   cancel                the next file dialog (open or save) is cancelled
//   save FILE             the next save dialog returns FILE
//   click PATH            menu item or button by its captions joined by " > "
//   type NAME TEXT        text of LabeledEdit1 .. LabeledEdit8
//   choose NAME INDEX     ComboBox1 or ComboBox2 entry, 0-based (on a
//                         disabled field or box both record "(disabled) NAME")
//   settings NAME=TEXT... "Nastavení": type the fields, press "Použít"
//                         (ComboBox2=0|1|2 chooses the normal-equation
//                         solve's entry, CheckBox1 .. CheckBox8=0|1 tick
//                         the boxes; 3 .. 8 are the calibration's f, x0 y0,
//                         k1, k2, k3, p1 p2)
//   settings default      "Nastavení": press "Default", then "Použít"
//   select ROW...         after "click Vybrat body": click grid rows, "Použít"
//   panel FILE            the protocol panel's lines
//   log FILE              every log message since start, oldest first
//   messages FILE         every message box text shown
//   menu FILE             every menu item's caption path, TAB, 1 or 0
//   screenshot FILE       the window as a PNG image
//   geometry FILE         the window's frame and the screen's available area
//                         as "frame X Y W H" and "screen X Y W H"
//   close                 the window's close button
//   window FILE           "visible 1" or "visible 0", then "computing 1" or
//                         "computing 0"
//   start PATH            like click, for a computing command; the lines
//   ...                   up to "finish" run while it computes (the menus
//   finish                and buttons are then disabled, so their clicks
//                         are recorded as "(disabled) ..."); after "finish"
//                         the driver waits until the command has ended
//   wait progress [TEXT]  inside start ... finish: until the progress line
//                         shows (and holds TEXT), at most a minute
//   progress FILE         the progress line as shown; no line when hidden
//   plot ...              in the window of "Výsledky" > "Grafy" (open it
//                         first with "click Výsledky > Grafy"):
//     plot view NAME      the tab "Rezidua snímku", "Půdorys bloku" or (after
//                         "Kalibrace kamery") "Zkreslení objektivu"
//     plot image N        "Snimek N" of the residual view
//     plot plane P        X–Y, X–Z or Y–Z of the plan
//     plot numbers 0|1    "Čísla bodů"
//     plot size W H       the window's size
//     plot zoom FACTOR    zoom about the drawing's centre
//     plot fit            "Celý pohled"
//     plot export         "Exportovat…" (answer its dialog with save first)
//     plot screenshot FILE  the window as a PNG image
// Captions are written without accelerator marks ("&").
// A dialog left open by "settings" or "select" (a refused "Použít") is
// closed with "Storno".  Exit status: 0 done, 1 an output file could not
// be written, 2 a malformed script or a script that does not fit the
// window (no such item, a dialog with no answer queued, a start that started
// no computation, a progress line waited for in vain).

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QKeyEvent>
#include <QPushButton>
#include <QCheckBox>
#include <QTabBar>
#include <QScreen>
#include <QTextStream>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/labeled_edit.h"
#include "app/program_setup.h"
#include "app/scripted_dialogs.h"
#include "app/tform2.h"
#include "app/tform3.h"
#include "app/tform6.h"
#include "app/plot_canvas.h"
#include "app/tpelvanor.h"
#include "app/window_services.h"
#include "tools/drive/drive_script.h"

namespace pelvanor::drive {

namespace {

enum Status { kDone = 0, kOutputFailed = 1, kBadScript = 2 };

void PrintError(const QString& text) { std::fprintf(stderr, "pelvanor-drive: %s\n", text.toUtf8().constData()); }

// Types `text` key by key over the whole text of an editable combo box, as
// the user does, so that whatever the box does with keys happens.
void TypeInto(QComboBox* box, const QString& text) {
    QLineEdit* edit = box->lineEdit();
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty()) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &press);
    }
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &release);
    }
}

class Driver {
public:
    Driver(TPelvanor& window, ScriptedDialogs& dialogs, QDir folder)
        : window_(window), dialogs_(dialogs), folder_(std::move(folder)) {}

    // Runs the commands in order; the exit status.
    int Run(const std::vector<ScriptCommand>& commands) {
        commands_ = &commands;
        const int status = RunLines(0, commands.size());
        if (status != kDone) return status;
        if (dialogs_.PendingAnswers() > 0) {
            PrintError(QStringLiteral("warning: %1 file dialog answer(s) left unused").arg(dialogs_.PendingAnswers()));
        }
        return kDone;
    }

private:
    // Runs the commands [begin, end); the status of the first that fails,
    // which has been reported then.
    int RunLines(std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const ScriptCommand& command = (*commands_)[i];
            if (command.verb == QLatin1String("start")) {
                // The script parser has checked that a "finish" follows.
                std::size_t finish = i + 1;
                while ((*commands_)[finish].verb != QLatin1String("finish")) ++finish;
                const int status = Start(command, i + 1, finish);
                if (status != kDone) return status;
                i = finish;
                continue;
            }
            const qsizetype problems = dialogs_.Problems().size();
            QString error;
            const int status = Execute(command, error);
            SyncLog();
            if (status == kDone && dialogs_.Problems().size() > problems) {
                error = dialogs_.Problems().back();
                return Fail(command, error, kBadScript);
            }
            if (status != kDone) return Fail(command, error, status);
        }
        return kDone;
    }

    // "start": clicks the item; the lines [first, finish) run as soon as
    // its computation runs, and the click returns when it has ended.  A
    // failing line stops the computation.
    int Start(const ScriptCommand& command, std::size_t first, std::size_t finish) {
        bool ran = false;
        int inner = kDone;
        window_.WhenNextComputationRuns([&] {
            ran = true;
            inner = RunLines(first, finish);
            if (inner != kDone) window_.CancelComputation();
        });
        const qsizetype problems = dialogs_.Problems().size();
        QString error;
        const int status = Click(command, error);
        window_.WhenNextComputationRuns(nullptr);
        SyncLog();
        if (status != kDone) return Fail(command, error, status);
        if (inner != kDone) return inner;
        if (dialogs_.Problems().size() > problems) return Fail(command, dialogs_.Problems().back(), kBadScript);
        if (!ran) return Fail(command, QStringLiteral("no computation started"), kBadScript);
        return kDone;
    }

    // "wait progress": events are processed until the progress line shows
    // `text`.
    int WaitProgress(const QString& text, QString& error) {
        const QLabel* line = window_.ProgressLabel();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        for (;;) {
            if (!line->isHidden() && line->text().contains(text)) return kDone;
            // The progress timer wakes the loop while the computation runs.
            if (!window_.Computing() || std::chrono::steady_clock::now() > deadline) {
                error = QStringLiteral("the progress line did not show \"%1\" while the computation ran").arg(text);
                return kBadScript;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    int Fail(const ScriptCommand& command, const QString& error, int status) {
        PrintError(QStringLiteral("line %1: %2").arg(command.line).arg(error));
        return status;
    }

    QString Resolve(const QString& name) const { return QDir::cleanPath(folder_.absoluteFilePath(name)); }

    // Copies the window's new log messages into the driver's record, which
    // also holds the clicks on disabled items.
    void SyncLog() {
        const std::vector<std::string>& history = window_.LogHistory();
        for (; synced_ < history.size(); ++synced_) log_ << QString::fromStdString(history[synced_]);
    }

    int Execute(const ScriptCommand& command, QString& error) {
        const QString& verb = command.verb;
        const QStringList& args = command.args;
        if (verb == QLatin1String("open")) {
            QStringList files;
            for (const QString& arg : args) files << Resolve(arg);
            dialogs_.AnswerOpen(files);
        } else if (verb == QLatin1String("cancel")) {
            dialogs_.AnswerCancel();
        } else if (verb == QLatin1String("save")) {
            dialogs_.AnswerSave(Resolve(args[0]));
        } else if (verb == QLatin1String("click")) {
            return Click(command, error);
        } else if (verb == QLatin1String("type")) {
            QLineEdit* field = window_.CameraField(args[0].mid(QStringLiteral("LabeledEdit").size()).toInt());
            if (!field->isEnabled()) {
                log_ << QStringLiteral("(disabled) ") + args[0];
                return kDone;
            }
            field->setText(args[1]);
        } else if (verb == QLatin1String("choose")) {
            QComboBox* box = args[0] == QLatin1String("ComboBox1") ? window_.ComboBox1() : window_.ComboBox2();
            if (!box->isEnabled()) {
                log_ << QStringLiteral("(disabled) ") + args[0];
                return kDone;
            }
            const int index = args[1].toInt();
            if (index >= box->count()) {
                error = QStringLiteral("%1 has no entry %2").arg(args[0]).arg(index);
                return kBadScript;
            }
            box->setCurrentIndex(index);
        } else if (verb == QLatin1String("settings")) {
            return Settings(command, error);
        } else if (verb == QLatin1String("panel")) {
            QStringList lines;
            for (const std::string& line : window_.ProtocolPanelLines()) lines << QString::fromStdString(line);
            return WriteLines(Resolve(args[0]), lines, error);
        } else if (verb == QLatin1String("log")) {
            SyncLog();
            return WriteLines(Resolve(args[0]), log_, error);
        } else if (verb == QLatin1String("messages")) {
            return WriteLines(Resolve(args[0]), dialogs_.Messages(), error);
        } else if (verb == QLatin1String("menu")) {
            QStringList lines;
            ListMenu(window_.menuBar()->actions(), QString(), lines);
            return WriteLines(Resolve(args[0]), lines, error);
        } else if (verb == QLatin1String("screenshot")) {
            QApplication::processEvents();
            const QString file = Resolve(args[0]);
            if (!window_.grab().save(file, "PNG")) {
                error = QStringLiteral("cannot write ") + file;
                return kOutputFailed;
            }
        } else if (verb == QLatin1String("plot")) {
            return Plot(command, error);
        } else if (verb == QLatin1String("geometry")) {
            QApplication::processEvents();
            const auto line = [](const char* what, const QRect& r) {
                return QStringLiteral("%1 %2 %3 %4 %5").arg(QLatin1String(what)).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
            };
            QStringList lines{line("frame", window_.frameGeometry())};
            if (const QScreen* screen = window_.screen()) lines << line("screen", screen->availableGeometry());
            return WriteLines(Resolve(args[0]), lines, error);
        } else if (verb == QLatin1String("close")) {
            window_.close();
        } else if (verb == QLatin1String("window")) {
            const auto flag = [](bool on) { return on ? QLatin1Char('1') : QLatin1Char('0'); };
            return WriteLines(Resolve(args[0]),
                              {QStringLiteral("visible ") + flag(window_.isVisible()),
                               QStringLiteral("computing ") + flag(window_.Computing())},
                              error);
        } else if (verb == QLatin1String("wait")) {
            return WaitProgress(args.size() > 1 ? args[1] : QString(), error);
        } else if (verb == QLatin1String("progress")) {
            const QLabel* line = window_.ProgressLabel();
            return WriteLines(Resolve(args[0]), line->isHidden() ? QStringList() : QStringList{line->text()}, error);
        }
        return kDone;
    }

    // Finds the action of a caption path; null with `error` when a caption
    // is not there.  `reachable` tells whether every item on the way is on.
    QAction* FindAction(const QStringList& path, bool& reachable, QString& error) const {
        QList<QAction*> level = window_.menuBar()->actions();
        QAction* found = nullptr;
        reachable = true;
        for (qsizetype i = 0; i < path.size(); ++i) {
            found = nullptr;
            for (QAction* action : level) {
                if (!action->isSeparator() && WithoutMnemonic(action->text()) == path[i]) {
                    found = action;
                    break;
                }
            }
            if (found == nullptr) {
                error = QStringLiteral("no menu item \"%1\"").arg(path.mid(0, i + 1).join(QStringLiteral(" > ")));
                return nullptr;
            }
            reachable = reachable && found->isEnabled();
            if (i + 1 < path.size()) {
                if (found->menu() == nullptr) {
                    error = QStringLiteral("\"%1\" has no submenu").arg(path[i]);
                    return nullptr;
                }
                level = found->menu()->actions();
            }
        }
        return found;
    }

    QPushButton* FindButton(const QString& caption) const {
        for (QPushButton* button : window_.centralWidget()->findChildren<QPushButton*>()) {
            if (button->text() == caption) return button;
        }
        return nullptr;
    }

    int Click(const ScriptCommand& command, QString& error) {
        const QString joined = command.path.join(QStringLiteral(" > "));
        if (command.path.size() == 1) {
            if (QPushButton* button = FindButton(command.path[0])) {
                // A hidden button ("Zrušit" outside a computation) cannot be clicked either.
                if (!button->isEnabled() || !button->isVisibleTo(&window_)) {
                    log_ << QStringLiteral("(disabled) ") + joined;
                    return kDone;
                }
                if (command.has_selection) QueueSelection(command.rows);
                button->click();
                dialogs_.DropModalActions();
                return kDone;
            }
        }
        bool reachable = false;
        QAction* action = FindAction(command.path, reachable, error);
        if (action == nullptr) return kBadScript;
        if (!reachable) {
            log_ << QStringLiteral("(disabled) ") + joined;
            return kDone;
        }
        if (action->menu() != nullptr) return kDone;  // opening a menu does nothing
        action->trigger();
        dialogs_.DropModalActions();
        return kDone;
    }

    int Plot(const ScriptCommand& command, QString& error) {
        TForm6* form = window_.Form6();
        if (form == nullptr || !form->isVisible()) {
            error = QStringLiteral("the window of \"Grafy\" is not open");
            return kBadScript;
        }
        const QStringList& args = command.args;
        const QString& what = args[0];
        if (what == QLatin1String("view")) {
            int tab = -1;
            for (int i = 0; i < form->TabBar1()->count(); ++i)
                if (form->TabBar1()->tabText(i) == args[1]) tab = i;
            if (tab < 0) {
                error = QStringLiteral("the window of \"Grafy\" has no view \"%1\"").arg(args[1]);
                return kBadScript;
            }
            form->TabBar1()->setCurrentIndex(tab);
        } else if (what == QLatin1String("image")) {
            const int index = args[1].toInt() - 1;
            if (index >= form->ComboBox1()->count()) {
                error = QStringLiteral("the project has no image %1").arg(args[1]);
                return kBadScript;
            }
            form->ComboBox1()->setCurrentIndex(index);
        } else if (what == QLatin1String("plane")) {
            form->ComboBox2()->setCurrentIndex(form->ComboBox2()->findText(args[1]));
        } else if (what == QLatin1String("numbers")) {
            form->CheckBox1()->setChecked(args[1] == QLatin1String("1"));
        } else if (what == QLatin1String("size")) {
            form->resize(args[1].toInt(), args[2].toInt());
        } else if (what == QLatin1String("zoom")) {
            form->Canvas()->ZoomBy(args[1].toDouble());
        } else if (what == QLatin1String("fit")) {
            form->BitBtn1()->click();
        } else if (what == QLatin1String("export")) {
            form->BitBtn2()->click();
            dialogs_.DropModalActions();
        } else if (what == QLatin1String("screenshot")) {
            QApplication::processEvents();
            const QString file = Resolve(args[1]);
            if (!form->grab().save(file, "PNG")) {
                error = QStringLiteral("cannot write ") + file;
                return kOutputFailed;
            }
        }
        QApplication::processEvents();
        return kDone;
    }

    // Inside the selection dialog: the rows' clicks, then "Použít"; a
    // refused "Použít" leaves the dialog to be closed with "Storno".
    void QueueSelection(const std::vector<int>& rows) {
        TForm3* form = &window_.Form3();
        dialogs_.ActInNextModal([form, rows](QDialog&) {
            for (int row : rows) form->ClickRow(row);
            form->Button1()->click();
            if (form->isVisible()) form->Button2()->click();
        });
    }

    int Settings(const ScriptCommand& command, QString& error) {
        TForm2* form = &window_.Form2();
        const QStringList args = command.args;
        dialogs_.ActInNextModal([form, args](QDialog&) {
            if (args.size() == 1 && args[0] == QLatin1String("default")) {
                form->DefaultButton()->click();
            } else {
                for (const QString& arg : args) {
                    const qsizetype eq = arg.indexOf(QLatin1Char('='));
                    const QString name = arg.left(eq);
                    const QString value = arg.mid(eq + 1);
                    if (name == QLatin1String("ComboBox1")) {
                        TypeInto(form->ComboBox1(), value);
                    } else if (name == QLatin1String("ComboBox2")) {
                        form->ComboBox2()->setCurrentIndex(value.toInt());
                    } else if (name == QLatin1String("CheckBox1")) {
                        form->CheckBox1()->setChecked(value == QLatin1String("1"));
                    } else if (name == QLatin1String("CheckBox2")) {
                        form->CheckBox2()->setChecked(value == QLatin1String("1"));
                    } else if (name.startsWith(QLatin1String("CheckBox"))) {
                        form->CalibrationBox(name.mid(QStringLiteral("CheckBox").size()).toInt() - 3)
                            ->setChecked(value == QLatin1String("1"));
                    } else {
                        form->Field(name.mid(QStringLiteral("LabeledEdit").size()).toInt())->setText(value);
                    }
                }
            }
            form->PouzitButton()->click();
            if (form->isVisible()) form->StornoButton()->click();
        });
        ScriptCommand click = command;
        click.path = {QStringLiteral("Výpočty"), QStringLiteral("Nastavení")};
        click.has_selection = false;
        const int status = Click(click, error);
        dialogs_.DropModalActions();
        return status;
    }

    void ListMenu(const QList<QAction*>& actions, const QString& prefix, QStringList& lines) const {
        for (const QAction* action : actions) {
            if (action->isSeparator()) continue;
            const QString caption = WithoutMnemonic(action->text());
            const QString path = prefix.isEmpty() ? caption : prefix + QStringLiteral(" > ") + caption;
            lines << path + QLatin1Char('\t') + (action->isEnabled() ? QLatin1Char('1') : QLatin1Char('0'));
            if (action->menu() != nullptr) ListMenu(action->menu()->actions(), path, lines);
        }
    }

    static int WriteLines(const QString& file, const QStringList& lines, QString& error) {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            error = QStringLiteral("cannot write ") + file;
            return kOutputFailed;
        }
        QByteArray bytes;
        for (const QString& line : lines) bytes += line.toUtf8() + '\n';
        if (out.write(bytes) != bytes.size() || !out.flush()) {
            error = QStringLiteral("cannot write ") + file;
            return kOutputFailed;
        }
        return kDone;
    }

    TPelvanor& window_;
    ScriptedDialogs& dialogs_;
    QDir folder_;
    const std::vector<ScriptCommand>* commands_ = nullptr;
    QStringList log_;
    std::size_t synced_ = 0;
};

}  // namespace

int Main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Pelvanor"));
    QApplication::setFont(TahomaFont(8));
    InstallQtTranslation();

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        PrintError(QStringLiteral("usage: pelvanor-drive SCRIPT"));
        return kBadScript;
    }
    QFile script(arguments[1]);
    if (!script.open(QIODevice::ReadOnly)) {
        PrintError(QStringLiteral("cannot read ") + arguments[1]);
        return kBadScript;
    }
    std::vector<ScriptCommand> commands;
    QString error;
    if (!ParseScript(QString::fromUtf8(script.readAll()), commands, error)) {
        PrintError(arguments[1] + QStringLiteral(": ") + error);
        return kBadScript;
    }

    auto owned = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& dialogs = *owned;
    TPelvanor window(std::move(owned));
    window.show();
    QApplication::processEvents();
    Driver driver(window, dialogs, QFileInfo(arguments[1]).absoluteDir());
    const int status = driver.Run(commands);
    window.close();
    return status;
}

}  // namespace pelvanor::drive

int main(int argc, char** argv) { return pelvanor::drive::Main(argc, argv); }
