#include "app/tform6.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include <cmath>

#include "app/plot_canvas.h"
#include "app/window_services.h"
#include "plot/plot_render.h"

namespace pelvanor {

namespace {

// Pixel ratio of the exported PNG: twice the window's pixels, sharp in print.
constexpr double kPngRatio = 2.0;

}  // namespace

TForm6::TForm6(const ProjectState& state, UiDialogs& dialogs, std::function<void(const QString&)> log,
               std::function<QString()> projectName, QWidget* parent)
    : QWidget(parent, Qt::Window),
      state_(state),
      dialogs_(dialogs),
      log_(std::move(log)),
      project_name_(std::move(projectName)) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Grafy - Pelvanor"));
    setMinimumSize(560, 420);
    resize(980, 700);

    tab_bar1_ = new QTabBar(this);
    tab_bar1_->setObjectName(QStringLiteral("TabBar1"));
    tab_bar1_->addTab(QStringLiteral("Rezidua snímku"));
    tab_bar1_->addTab(QStringLiteral("Půdorys bloku"));
    tab_bar1_->setExpanding(false);

    label1_ = new QLabel(QStringLiteral("Snímek"), this);
    combo_box1_ = new QComboBox(this);
    combo_box1_->setObjectName(QStringLiteral("ComboBox1"));
    combo_box1_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label1_->setBuddy(combo_box1_);
    label2_ = new QLabel(QStringLiteral("Rovina"), this);
    combo_box2_ = new QComboBox(this);
    combo_box2_->setObjectName(QStringLiteral("ComboBox2"));
    combo_box2_->addItems({QStringLiteral("X–Y"), QStringLiteral("X–Z"), QStringLiteral("Y–Z")});
    label2_->setBuddy(combo_box2_);
    check_box1_ = new QCheckBox(QStringLiteral("Čísla bodů"), this);
    check_box1_->setObjectName(QStringLiteral("CheckBox1"));
    bit_btn1_ = new QPushButton(QStringLiteral("Celý pohled"), this);
    bit_btn1_->setObjectName(QStringLiteral("BitBtn1"));
    bit_btn1_->setToolTip(QStringLiteral("Celý obrázek v okně (také dvojklik do obrázku)"));
    bit_btn2_ = new QPushButton(QStringLiteral("Exportovat…"), this);
    bit_btn2_->setObjectName(QStringLiteral("BitBtn2"));
    bit_btn2_->setToolTip(QStringLiteral("Uložit zobrazený pohled jako PNG, SVG nebo PDF"));
    canvas_ = new PlotCanvas(this);
    canvas_->setToolTip(QString());

    auto* controls = new QHBoxLayout;
    controls->addWidget(label1_);
    controls->addWidget(combo_box1_);
    controls->addSpacing(12);
    controls->addWidget(label2_);
    controls->addWidget(combo_box2_);
    controls->addSpacing(12);
    controls->addWidget(check_box1_);
    controls->addStretch(1);
    controls->addWidget(bit_btn1_);
    controls->addWidget(bit_btn2_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->addWidget(tab_bar1_);
    column->addLayout(controls);
    column->addWidget(canvas_, 1);

    connect(tab_bar1_, &QTabBar::currentChanged, this, [this](int) {
        ControlsFollowView();
        ShowScene(false);
    });
    connect(combo_box1_, &QComboBox::currentIndexChanged, this, [this](int) { ShowScene(false); });
    connect(combo_box2_, &QComboBox::currentIndexChanged, this, [this](int) { ShowScene(false); });
    connect(check_box1_, &QCheckBox::toggled, this, [this](bool) { ShowScene(true); });
    connect(bit_btn1_, &QPushButton::clicked, this, &TForm6::BitBtn1Click);
    connect(bit_btn2_, &QPushButton::clicked, this, &TForm6::BitBtn2Click);
    ControlsFollowView();
}

PlotRequest TForm6::Request() const {
    PlotRequest r;
    const int tab = tab_bar1_->currentIndex();
    r.view = tab == 2 ? PlotView::LensDistortion : tab == 1 ? PlotView::BlockPlan : PlotView::ImageResiduals;
    r.image = combo_box1_->currentIndex() + 1;
    r.axes = combo_box2_->currentIndex() == 1   ? PlanAxes::XZ
             : combo_box2_->currentIndex() == 2 ? PlanAxes::YZ
                                                : PlanAxes::XY;
    r.pointNumbers = check_box1_->isChecked();
    return r;
}

void TForm6::Refresh() {
    // "Zkreslení objektivu" is offered while a calibration result exists.
    const bool distortion = state_.Calibration.has_value();
    if (distortion && tab_bar1_->count() == 2) {
        const QSignalBlocker quiet(tab_bar1_);
        tab_bar1_->addTab(QStringLiteral("Zkreslení objektivu"));
    } else if (!distortion && tab_bar1_->count() == 3) {
        const QSignalBlocker quiet(tab_bar1_);
        if (tab_bar1_->currentIndex() == 2) tab_bar1_->setCurrentIndex(0);
        tab_bar1_->removeTab(2);
        ControlsFollowView();
    }
    // One entry per image, as the main window names them; the chosen image
    // stays when it still exists.
    const int images = PlotImageCount(state_);
    const int chosen = combo_box1_->currentIndex();
    if (combo_box1_->count() != images) {
        const QSignalBlocker quiet(combo_box1_);
        combo_box1_->clear();
        for (int i = 1; i <= images; ++i) combo_box1_->addItem(QStringLiteral("Snimek %1").arg(i));
        combo_box1_->setCurrentIndex(chosen >= 0 && chosen < images ? chosen : 0);
    }
    ShowScene(true);
}

void TForm6::HighlightPoint(double number) { canvas_->SetHighlight(std::llround(number), 0); }

void TForm6::HighlightImage(int image) {
    if (tab_bar1_->currentIndex() == 0 && image >= 1 && image <= combo_box1_->count())
        combo_box1_->setCurrentIndex(image - 1);
    canvas_->SetHighlight(0, image);
}

void TForm6::ControlsFollowView() {
    const bool residuals = tab_bar1_->currentIndex() == 0;
    const bool plan = tab_bar1_->currentIndex() == 1;
    label1_->setVisible(residuals);
    combo_box1_->setVisible(residuals);
    label2_->setVisible(plan);
    combo_box2_->setVisible(plan);
}

void TForm6::ShowScene(bool keepView) {
    const QString name = project_name_ ? project_name_() : QString();
    canvas_->SetScene(BuildPlotScene(state_, Request(), UiDecimalSeparator(), ToUtf8(name)), keepView);
}

// "Celý pohled".
void TForm6::BitBtn1Click() { canvas_->FitView(); }

// "Exportovat…": the view as shown, at the window's size (a PNG at twice its
// pixels), into the format of the chosen name's extension.
void TForm6::BitBtn2Click() {
    QString file;
    if (!dialogs_.GetSaveFileName(this, FileDialogId::SaveDialog3, file)) return;
    PlotFileFormat format = PlotFileFormat::Png;
    if (!PlotFileFormatOf(file, format)) {
        dialogs_.ShowMessage(this, QStringLiteral("Obrázek lze uložit jen jako PNG, SVG nebo PDF: ") + file);
        return;
    }
    const PlotViewport view = canvas_->Viewport();
    QString error;
    if (!ExportPlotPage(canvas_->Scene(), &view, canvas_->size(), kPngRatio, canvas_->font(), file, &error)) {
        dialogs_.ShowMessage(this, error);
        return;
    }
    if (log_) log_(QStringLiteral("Uložen obrázek: ") + file);
}

}  // namespace pelvanor
