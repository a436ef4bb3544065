#include "app/tpelvanor.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <exception>

#include "app/labeled_edit.h"
#include "app/program_setup.h"
#include "app/tform2.h"
#include "app/tform3.h"
#include "app/tform5.h"
#include "app/tform6.h"
#include "app/tform7.h"
#include "app/tform8.h"
#include "app/window_services.h"
#include "project/loaders.h"

namespace pelvanor {

namespace {

constexpr int kClientWidth = 1018;
constexpr int kClientHeight = 495;
// Lines the log list keeps.
constexpr int kLogLines = 11;

std::size_t Index(UiItem item) { return static_cast<std::size_t>(item); }

}  // namespace

TPelvanor::TPelvanor(std::unique_ptr<UiDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtDialogs>()) {
    setObjectName(QStringLiteral("Pelvanor"));
    setWindowTitle(QStringLiteral("Pelvanor"));
    // Fixed border, system menu and minimise only.
    // The fixed-size hint tells the window manager that there is nothing to
    // resize, so it draws no resize handles.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(TahomaFont(8));

    BuildMenu();
    BuildElements();
    // The client area excludes the menu bar.
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    FormCreate();
    // The dialogs exist, hidden, from the start; the settings dialog's
    // creation stores the default settings.
    form2_ = std::make_unique<TForm2>(state_.Settings, *dialogs_, this);
    form3_ = std::make_unique<TForm3>(state_, *dialogs_, this);
    form5_ = std::make_unique<TForm5>(this);
    connect(form5_->GuideLink(), &QLabel::linkActivated, this, &TPelvanor::UserGuideClick);
    qApp->installEventFilter(this);
}

TPelvanor::~TPelvanor() {
    qApp->removeEventFilter(this);
    state_.ReleaseAll();
}

bool TPelvanor::eventFilter(QObject* watched, QEvent* event) {
    // F1 in a modal dialog, where the menu's shortcut is blocked.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && QApplication::activeModalWidget()) {
            UserGuideClick();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TPelvanor::FormCreate() {
    WriteLog(QStringLiteral("Program Pelvanor spuštěn."));
    bit_btn2_->setEnabled(false);
}

QAction* TPelvanor::AddCommand(QMenu* menu, UiItem item, const QString& caption, bool enabled,
                               void (TPelvanor::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, handler]() { RunCommand(handler); });
    actions_[Index(item)] = action;
    return action;
}

void TPelvanor::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);

    QMenu* soubor = bar->addMenu(QStringLiteral("&Soubor"));
    soubor->setObjectName(QStringLiteral("Soubor1"));
    AddCommand(soubor, UiItem::Nastkameru1, QStringLiteral("&Načíst kameru"), true, &TPelvanor::Nastkameru1Click);
    AddCommand(soubor, UiItem::Uloitkameru1, QStringLiteral("&Uložit kameru"), true, &TPelvanor::Uloitkameru1Click);
    AddCommand(soubor, UiItem::Nastorientaci1, QStringLiteral("Načíst &orientaci"), true,
               &TPelvanor::Nastorientaci1Click);
    AddCommand(soubor, UiItem::Nastsnmkovsouadnice1, QStringLiteral("Načíst &snímkové souřadnice"), true,
               &TPelvanor::Nastsnmkovsouadnice1Click);
    // "Načíst přesnost vlícovacích bodů" has no UiItem either: loadable at any time.
    QAction* accuracy = soubor->addAction(QStringLiteral("Načíst přesnost &vlícovacích bodů"));
    accuracy->setObjectName(QStringLiteral("Nastpesnost1"));
    connect(accuracy, &QAction::triggered, this, [this]() { RunCommand(&TPelvanor::Nastpesnost1Click); });
    // "Načíst projekt" has no UiItem: no state of the core depends on it.
    QAction* open_project = soubor->addAction(QStringLiteral("Načíst &projekt"));
    open_project->setObjectName(QStringLiteral("Nastprojekt1"));
    connect(open_project, &QAction::triggered, this, [this]() { RunCommand(&TPelvanor::Nastprojekt1Click); });
    AddCommand(soubor, UiItem::Konec1, QStringLiteral("&Konec"), true, &TPelvanor::Konec1Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* vypocty = bar->addMenu(QStringLiteral("&Výpočty"));
    vypocty->setObjectName(QStringLiteral("Vpoty1"));
    AddCommand(vypocty, UiItem::N1, QStringLiteral("&Nastavení"), true, &TPelvanor::N1Click);
    QMenu* oprava = vypocty->addMenu(QStringLiteral("Oprava &distorze"));
    oprava->setObjectName(QStringLiteral("Opravadistorze1"));
    oprava->menuAction()->setEnabled(false);
    actions_[Index(UiItem::Opravadistorze1)] = oprava->menuAction();
    AddCommand(oprava, UiItem::Snmkovsouadnice1, QStringLiteral("&Snímkové souřadnice"), false,
               &TPelvanor::Snmkovsouadnice1Click);
    AddCommand(oprava, UiItem::Orientace1, QStringLiteral("&Orientace"), false, &TPelvanor::Orientace1Click);
    AddCommand(vypocty, UiItem::Piblinvnjorientace1, QStringLiteral("&Přibližná vnější orientace"), false,
               &TPelvanor::Piblinvnjorientace1Click);
    AddCommand(vypocty, UiItem::Svazkovvyrovnn1, QStringLiteral("S&vazkové vyrovnání"), false,
               &TPelvanor::Svazkovvyrovnn1Click);
    AddCommand(vypocty, UiItem::SouadniceXYZ1, QStringLiteral("Souřadnice &XYZ"), false,
               &TPelvanor::SouadniceXYZ1Click);
    AddCommand(vypocty, UiItem::Kalibracekamery1, QStringLiteral("&Kalibrace kamery"), false,
               &TPelvanor::Kalibracekamery1Click);

    QMenu* vysledky = bar->addMenu(QStringLiteral("Výs&ledky"));
    vysledky->setObjectName(QStringLiteral("Vsledky1"));
    QMenu* opravene = vysledky->addMenu(QStringLiteral("Oprava &distorze"));
    opravene->setObjectName(QStringLiteral("Opravensnmkovsouadnice1"));
    opravene->menuAction()->setEnabled(false);
    actions_[Index(UiItem::Opravensnmkovsouadnice1)] = opravene->menuAction();
    AddCommand(opravene, UiItem::Snmkovsouadnice2, QStringLiteral("&Snímkové souřadnice"), false,
               &TPelvanor::Snmkovsouadnice2Click);
    AddCommand(opravene, UiItem::Orientace2, QStringLiteral("&Orientace"), false, &TPelvanor::Orientace2Click);
    AddCommand(vysledky, UiItem::Piblineenvnjorientace1, QStringLiteral("&Přibližné řešení vnější orientace"),
               false, &TPelvanor::Piblineenvnjorientace1Click);
    AddCommand(vysledky, UiItem::Svazkovvyrovnn2, QStringLiteral("S&vazkové vyrovnání"), false,
               &TPelvanor::Svazkovvyrovnn2Click);
    AddCommand(vysledky, UiItem::Kontrolnbody1, QStringLiteral("&Kontrolní body"), false,
               &TPelvanor::Kontrolnbody1Click);
    AddCommand(vysledky, UiItem::SouadniceXYZ2, QStringLiteral("Souřadnice &XYZ"), false,
               &TPelvanor::SouadniceXYZ2Click);
    AddCommand(vysledky, UiItem::Kalibracekamery2, QStringLiteral("K&alibrace kamery"), false,
               &TPelvanor::Kalibracekamery2Click);
    AddCommand(vysledky, UiItem::Pevztkalibrovanoukameru1, QStringLiteral("Převzít kalibrovanou ka&meru"), false,
               &TPelvanor::Pevztkalibrovanoukameru1Click);
    QMenu* protokoly = vysledky->addMenu(QStringLiteral("P&rotokoly"));
    protokoly->setObjectName(QStringLiteral("Protokoly1"));
    protokoly->menuAction()->setEnabled(false);
    actions_[Index(UiItem::Protokoly1)] = protokoly->menuAction();
    AddCommand(protokoly, UiItem::Kompletn1, QStringLiteral("&Kompletní"), false, &TPelvanor::Kompletn1Click);
    AddCommand(protokoly, UiItem::Pouzesouadnice1, QStringLiteral("&Souřadnice"), false,
               &TPelvanor::Pouzesouadnice1Click);
    AddCommand(protokoly, UiItem::Kontrolnbody2, QStringLiteral("Kontrolní &body"), false,
               &TPelvanor::Kontrolnbody2Click);
    AddCommand(protokoly, UiItem::Kalibracekamery3, QStringLiteral("K&alibrace kamery"), false,
               &TPelvanor::Kalibracekamery3Click);
    AddCommand(vysledky, UiItem::Grafy1, QStringLiteral("&Grafy"), false, &TPelvanor::Grafy1Click);
    AddCommand(vysledky, UiItem::Tabulkavsledk1, QStringLiteral("&Tabulka výsledků"), false,
               &TPelvanor::Tabulkavsledk1Click);
    AddCommand(vysledky, UiItem::Exportovatbody1, QStringLiteral("&Exportovat body"), false,
               &TPelvanor::Exportovatbody1Click);

    QAction* help = bar->addAction(QStringLiteral("&O programu"));
    connect(help, &QAction::triggered, this, [this]() { RunCommand(&TPelvanor::Help1Click); });
    actions_[Index(UiItem::Help1)] = help;

    // "Nápověda" > "Uživatelská příručka" (F1), beside "O programu": the
    // guide in a window of its own.  The key works in every window of the
    // program; inside a modal dialog, which blocks the shortcut, the
    // application's key filter takes it (eventFilter).
    QMenu* napoveda = bar->addMenu(QStringLiteral("&Nápověda"));
    napoveda->setObjectName(QStringLiteral("Napoveda1"));
    QAction* guide = napoveda->addAction(QStringLiteral("&Uživatelská příručka"));
    guide->setObjectName(QStringLiteral("UserGuide"));
    guide->setShortcut(QKeySequence(Qt::Key_F1));
    guide->setShortcutContext(Qt::ApplicationShortcut);
    connect(guide, &QAction::triggered, this, &TPelvanor::UserGuideClick);

    for (std::size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i] == nullptr) continue;
        static const char* const names[] = {
            "Nastkameru1", "Uloitkameru1", "Nastorientaci1", "Nastsnmkovsouadnice1", "Konec1",
            "N1", "Opravadistorze1", "Snmkovsouadnice1", "Orientace1", "Piblinvnjorientace1",
            "Svazkovvyrovnn1", "SouadniceXYZ1", "Opravensnmkovsouadnice1", "Snmkovsouadnice2",
            "Orientace2", "Piblineenvnjorientace1", "Svazkovvyrovnn2", "SouadniceXYZ2", "Protokoly1",
            "Kompletn1", "Pouzesouadnice1", "Grafy1", "Kontrolnbody1", "Kontrolnbody2",
            "Kalibracekamery1", "Kalibracekamery2", "Kalibracekamery3", "Pevztkalibrovanoukameru1",
            "Tabulkavsledk1", "Exportovatbody1", "Help1", "BitBtn2"};
        actions_[i]->setObjectName(QString::fromLatin1(names[i]));
    }
}

void TPelvanor::BuildElements() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    group_box1_ = new QGroupBox(QStringLiteral("Parametry kamery"), client);
    group_box1_->setObjectName(QStringLiteral("GroupBox1"));
    group_box1_->setGeometry(8, 8, 217, 273);

    struct FieldSpec {
        const char* caption;
        int left, top, width;
    };
    // LabeledEdit1 .. LabeledEdit8: f, x0, y0, k1, k2, k3, p1, p2.
    const FieldSpec fields[8] = {
        {"Konstanta komory ", 104, 28, 86}, {"X", 24, 74, 65},  {"Y", 125, 74, 65},
        {"Konstanta k1", 80, 129, 65},      {"Konstanta k2", 80, 156, 65}, {"Konstanta k3", 80, 183, 65},
        {"Konstanta p1", 80, 210, 65},      {"Konstanta p2", 80, 237, 65},
    };
    for (int i = 0; i < 8; ++i) {
        camera_fields_[static_cast<std::size_t>(i)] =
            new LabeledEdit(group_box1_, QStringLiteral("LabeledEdit%1").arg(i + 1),
                            QString::fromUtf8(fields[i].caption), fields[i].left, fields[i].top, fields[i].width);
    }
    auto* label1 = new QLabel(QStringLiteral("Hlavní snímkový bod"), group_box1_);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->move(10, 55);
    label1->adjustSize();
    auto* label2 = new QLabel(QStringLiteral("Koeficienty pro opravu distorze objektivu"), group_box1_);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->move(10, 106);
    label2->adjustSize();

    auto* label3 = new QLabel(QStringLiteral("Konfigurace vlícovacích bodů"), client);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->move(8, 293);
    label3->adjustSize();

    combo_box1_ = new QComboBox(client);
    combo_box1_->setObjectName(QStringLiteral("ComboBox1"));
    combo_box1_->setGeometry(70, 312, 145, 21);
    combo_box1_->addItem(QStringLiteral("4 body v rovině (Z=0)"));
    combo_box1_->addItem(QStringLiteral("4 body v prostoru"));
    combo_box1_->setCurrentIndex(1);

    auto* label4 = new QLabel(QStringLiteral("Výběr vlícovacích bodů pro přibližné řešení vnější orientace"), client);
    label4->setObjectName(QStringLiteral("Label4"));
    label4->setWordWrap(true);
    label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label4->setGeometry(8, 339, 153, 33);

    combo_box2_ = new QComboBox(client);
    combo_box2_->setObjectName(QStringLiteral("ComboBox2"));
    combo_box2_->setGeometry(8, 378, 126, 21);

    bit_btn2_ = new QPushButton(QStringLiteral("Vybrat body"), client);
    bit_btn2_->setObjectName(QStringLiteral("BitBtn2"));
    bit_btn2_->setGeometry(140, 376, 75, 25);
    connect(bit_btn2_, &QPushButton::clicked, this, [this]() { RunCommand(&TPelvanor::BitBtn2Click); });

    memo2_ = new QPlainTextEdit(client);
    memo2_->setObjectName(QStringLiteral("Memo2"));
    memo2_->setGeometry(231, 16, 779, 371);
    memo2_->setFont(MonospaceFont(8));
    memo2_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo2_->setWordWrapMode(QTextOption::NoWrap);
    memo2_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo2_->setPlainText(QString());  // one empty line

    save_button_ = new QPushButton(QStringLiteral("Ulož protokol"), client);
    save_button_->setObjectName(QStringLiteral("Ulozprotokol1"));
    save_button_->setGeometry(926, 393, 75, 25);
    connect(save_button_, &QPushButton::clicked, this, [this]() { RunCommand(&TPelvanor::Ulozprotokol1Click); });

    list_box1_ = new QListWidget(client);
    list_box1_->setObjectName(QStringLiteral("ListBox1"));
    list_box1_->setGeometry(0, 424, 1010, 68);
    list_box1_->setFont(MonospaceFont(10));
    QPalette colours = list_box1_->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, QColor(0, 255, 0));
    list_box1_->setPalette(colours);
    // Each line is as wide as its text, so that a long one is scrolled to
    // rather than cut with "…"; its tooltip shows it whole as well.
    list_box1_->setUniformItemSizes(false);
    list_box1_->setTextElideMode(Qt::ElideNone);
    list_box1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_box1_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // The progress of a long computation, in the free strip under the
    // protocol panel; hidden until a computation has run for a while.
    progress_label_ = new QLabel(client);
    progress_label_->setObjectName(QStringLiteral("ProgressLabel"));
    progress_label_->setGeometry(231, 397, 608, 17);
    progress_label_->hide();
    cancel_button_ = new QPushButton(QStringLiteral("Zrušit"), client);
    cancel_button_->setObjectName(QStringLiteral("Zrusit1"));
    cancel_button_->setGeometry(845, 393, 75, 25);
    cancel_button_->hide();
    connect(cancel_button_, &QPushButton::clicked, this, &TPelvanor::CancelComputation);
    progress_timer_ = new QTimer(this);
    progress_timer_->setInterval(100);
    connect(progress_timer_, &QTimer::timeout, this, &TPelvanor::UpdateProgress);
}

// ---------------------------------------------------------------------------
// CommandHost

void TPelvanor::WriteLog(const std::string& message) { WriteLog(FromUtf8(message)); }

void TPelvanor::WriteLog(const QString& message) {
    if (list_box1_->count() > kLogLines - 1) {
        std::unique_ptr<QListWidgetItem> oldest(list_box1_->takeItem(kLogLines - 1));
    }
    auto* line = new QListWidgetItem(CurrentLongTime() + QStringLiteral(": ") + message);
    line->setToolTip(line->text());
    list_box1_->insertItem(0, line);
    // The newest line is at the top: bring it into view however the user
    // has scrolled the list.
    list_box1_->scrollToTop();
    list_box1_->horizontalScrollBar()->setValue(list_box1_->horizontalScrollBar()->minimum());
    log_history_.push_back(ToUtf8(message));
    // Paint the new line now, also in the middle of a long computation.  User
    // input waits, so that no second command starts inside this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QStringList TPelvanor::LogListLines() const {
    QStringList lines;
    for (int i = 0; i < list_box1_->count(); ++i) lines << list_box1_->item(i)->text();
    return lines;
}

QAction* TPelvanor::MenuAction(UiItem item) const { return actions_[Index(item)]; }

void TPelvanor::SetItemEnabled(UiItem item, bool enabled) {
    if (item == UiItem::BitBtn2) {
        // During a computation the button stays off; it gets this state after.
        if (computing_) {
            bit_btn2_enabled_ = enabled;
        } else {
            bit_btn2_->setEnabled(enabled);
        }
        return;
    }
    QAction* action = actions_[Index(item)];
    if (action == nullptr) return;
    for (auto& [held, state] : held_menus_) {
        if (held == action) {
            state = enabled;
            return;
        }
    }
    action->setEnabled(enabled);
}

bool TPelvanor::IsItemEnabled(UiItem item) const {
    if (item == UiItem::BitBtn2) return computing_ ? bit_btn2_enabled_ : bit_btn2_->isEnabled();
    const QAction* action = actions_[Index(item)];
    for (const auto& [held, state] : held_menus_) {
        if (held == action) return state;
    }
    return action != nullptr && action->isEnabled();
}

LabeledEdit* TPelvanor::CameraField(int number) const {
    return camera_fields_.at(static_cast<std::size_t>(number - 1));
}

bool TPelvanor::ReadCameraFields() {
    CameraFieldTexts texts;
    for (std::size_t i = 0; i < 8; ++i) texts[i] = ToUtf8(camera_fields_[i]->text());
    return ReadCameraFieldTexts(texts, DecimalSeparator(), state_.Camera);
}

void TPelvanor::ShowCameraFields(const CameraFieldTexts& texts) {
    for (std::size_t i = 0; i < 8; ++i) camera_fields_[i]->setText(FromUtf8(texts[i]));
}

void TPelvanor::ShowImageList(int images) {
    combo_box2_->clear();
    for (int k = 1; k <= images; ++k) combo_box2_->addItem(QStringLiteral("Snimek ") + QString::number(k));
    combo_box2_->setCurrentIndex(0);
}

int TPelvanor::OrientationMethod() const { return combo_box1_->currentIndex(); }

char TPelvanor::DecimalSeparator() const { return UiDecimalSeparator(); }

// ---------------------------------------------------------------------------
// Protocol panel

void TPelvanor::ClearProtocol() {
    memo2_->clear();
    panel_has_no_lines_ = true;
    panel_holds_results_ = true;
    panel_inputs_ = inputs_loaded_;
}

void TPelvanor::ResetProtocol() {
    memo2_->setPlainText(QString());
    panel_has_no_lines_ = false;
    panel_holds_results_ = false;
}

void TPelvanor::ProtocolLine(const std::string& text) { ProtocolLines({text}); }

void TPelvanor::ProtocolLines(const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    QTextCursor cursor(memo2_->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    for (const std::string& line : lines) {
        if (panel_has_no_lines_ && memo2_->document()->isEmpty()) {
            panel_has_no_lines_ = false;
        } else {
            cursor.insertBlock();
        }
        cursor.insertText(FromUtf8(line));
    }
    cursor.endEditBlock();
}

std::vector<std::string> TPelvanor::ProtocolPanelLines() const {
    std::vector<std::string> lines;
    const QTextDocument* document = memo2_->document();
    if (panel_has_no_lines_ && document->isEmpty()) return lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        lines.push_back(ToUtf8(block.text()));
    }
    return lines;
}

// ---------------------------------------------------------------------------
// Commands shared by all files

void TPelvanor::RunCommand(void (TPelvanor::*handler)()) {
    // The disabled menu and buttons keep a second command out; this keeps
    // out the shortcuts and links as well.
    if (computing_ && handler != &TPelvanor::Konec1Click) return;
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        ShowMessage(QString::fromUtf8(error.what()));
    }
    // An open pictures' window follows the results: it redraws them, or
    // closes when the bundle adjustment's results are gone; so does the
    // window of the tables.
    if (form6_ != nullptr && form6_->isVisible() && handler != &TPelvanor::Grafy1Click) {
        if (IsItemEnabled(UiItem::Grafy1)) {
            form6_->Refresh();
        } else {
            form6_->hide();
        }
    }
    if (form7_ != nullptr && form7_->isVisible() && handler != &TPelvanor::Tabulkavsledk1Click) {
        if (IsItemEnabled(UiItem::Tabulkavsledk1)) {
            form7_->Refresh();
        } else {
            form7_->hide();
        }
    }
}

bool TPelvanor::ChooseOpenFile(FileDialogId id, QString& file) { return dialogs_->GetOpenFileName(this, id, file); }

bool TPelvanor::ChooseOpenFiles(FileDialogId id, QStringList& files) {
    return dialogs_->GetOpenFileNames(this, id, files);
}

bool TPelvanor::ChooseSaveFile(FileDialogId id, QString& file) { return dialogs_->GetSaveFileName(this, id, file); }

void TPelvanor::ShowMessage(const QString& text) { dialogs_->ShowMessage(this, text); }

void TPelvanor::ShowMessage(const std::string& text) { ShowMessage(QString::fromUtf8(text.c_str())); }

void TPelvanor::Konec1Click() { close(); }

void TPelvanor::N1Click() { dialogs_->ExecModal(*form2_); }

void TPelvanor::Help1Click() { dialogs_->ExecModal(*form5_); }

void TPelvanor::Grafy1Click() {
    if (form6_ == nullptr) {
        form6_ = new TForm6(
            state_, *dialogs_, [this](const QString& line) { WriteLog(line); }, [this]() { return project_name_; },
            this);
    }
    form6_->Refresh();
    form6_->show();
    form6_->raise();
    form6_->activateWindow();
}

void TPelvanor::UserGuideClick() {
    const QString guide = UserGuideFile();
    if (guide.isEmpty()) {
        ShowMessage(QStringLiteral("Uživatelskou příručku nelze otevřít: soubor navod.md není v ") +
                    QDir::toNativeSeparators(UserGuideFolders().join(QStringLiteral(", "))) + QStringLiteral("."));
        return;
    }
    if (form8_ == nullptr) form8_ = new TForm8(this);
    if (!form8_->Open(guide)) {
        ShowMessage(QStringLiteral("Uživatelskou příručku nelze otevřít: ") + QDir::toNativeSeparators(guide));
        return;
    }
    // Over a modal dialog (F1 in "Nastavení", the link in "O programu") the
    // guide is modal in its turn, so that it can be read and scrolled; it
    // goes back to being a window of its own afterwards.
    QWidget* modal = QApplication::activeModalWidget();
    const Qt::WindowModality wanted = modal != nullptr && modal != form8_ ? Qt::ApplicationModal : Qt::NonModal;
    if (form8_->windowModality() != wanted) {
        form8_->hide();
        form8_->setWindowModality(wanted);
    }
    form8_->show();
    form8_->raise();
    form8_->activateWindow();
}

void TPelvanor::Tabulkavsledk1Click() {
    if (form7_ == nullptr) {
        form7_ = new TForm7(state_, this);
        connect(form7_, &TForm7::PointChosen, this, [this](double number) {
            if (form6_ != nullptr) form6_->HighlightPoint(number);
        });
        connect(form7_, &TForm7::ImageChosen, this, [this](int image) {
            if (form6_ != nullptr) form6_->HighlightImage(image);
        });
    }
    form7_->Refresh();
    form7_->show();
    form7_->raise();
    form7_->activateWindow();
}

void TPelvanor::BitBtn2Click() {
    const int k = combo_box2_->currentIndex() + 1;
    if (k < 1 || !form3_->Fill(k)) return;
    dialogs_->ExecModal(*form3_);
}

// ---------------------------------------------------------------------------
// Lifecycle

void TPelvanor::closeEvent(QCloseEvent* event) {
    if (computing_) {
        // The running computation still works on the state: it is asked to
        // stop, and the window closes as soon as it has (RunComputation).
        close_pending_ = true;
        CancelComputation();
        event->ignore();
        return;
    }
    // Nothing is asked and nothing is saved.
    if (form6_ != nullptr) form6_->close();
    if (form7_ != nullptr) form7_->close();
    if (form8_ != nullptr) form8_->close();
    state_.ReleaseAll();
    event->accept();
}

void TPelvanor::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_) return;
    centred_ = true;
    if (const QScreen* screen = this->screen()) move(StartPosition(frameGeometry(), screen->availableGeometry()));
}

}  // namespace pelvanor
