#include "app/tform2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "app/dialogs.h"
#include "app/labeled_edit.h"
#include "app/window_services.h"
#include "project/settings_fields.h"

namespace pelvanor {

namespace {

// The typed fields LabeledEdit1 .. LabeledEdit8, in window order.
constexpr std::array<SettingField, 8> kTypedFields = {
    SettingField::MaxIterations,       SettingField::Tolerance,      SettingField::SignificancePercent,
    SettingField::RobustWeightPercent, SettingField::FixedPointCount, SettingField::ImageSigma,
    SettingField::ControlSigmaXY,      SettingField::ControlSigmaZ};

// The entries of "Řešení normálních rovnic", in their order in the list.
constexpr NormalSolve kSolveEntries[] = {NormalSolve::Auto, NormalSolve::Svd, NormalSolve::Sparse};

int SolveEntry(NormalSolve solve) {
    for (int i = 0; i < 3; ++i)
        if (kSolveEntries[i] == solve) return i;
    return 0;
}

}  // namespace

TForm2::TForm2(AdjustmentSettings& settings, UiDialogs& dialogs, QWidget* parent)
    : QDialog(parent), settings_(settings), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Nastavení"));
    setFont(TahomaFont(8));
    // The row of the normal-equation solve and the three rows of the
    // weights below the others move the buttons down by four rows, the
    // calibration's caption and check boxes by two more.
    setFixedSize(472, 371);
    setModal(true);

    fields_[0] = new LabeledEdit(this, QStringLiteral("LabeledEdit1"), QStringLiteral("Maximální počet iterací"), 128, 8, 49);
    fields_[1] = new LabeledEdit(this, QStringLiteral("LabeledEdit2"), QStringLiteral("Tolerance výpočtu"), 128, 35, 49);
    fields_[2] = new LabeledEdit(this, QStringLiteral("LabeledEdit3"), QStringLiteral("Hladina významnosti v procentech"),
                                 387, 8, 49);
    fields_[3] = new LabeledEdit(this, QStringLiteral("LabeledEdit4"),
                                 QStringLiteral("Váha pro robustní odhad v procentech"), 387, 35, 49);
    check_box1_ = new QCheckBox(QStringLiteral("Vyrovnání konstanty komory"), this);
    check_box1_->setObjectName(QStringLiteral("CheckBox1"));
    check_box1_->setGeometry(24, 72, 153, 17);
    check_box2_ = new QCheckBox(QStringLiteral("Robustní odhad odlehlých měření"), this);
    check_box2_->setObjectName(QStringLiteral("CheckBox2"));
    check_box2_->setGeometry(215, 72, 177, 17);
    fields_[4] = new LabeledEdit(this, QStringLiteral("LabeledEdit5"),
                                 QStringLiteral("Počet pevných bodů pro stabilizaci svazkového vyrovnání"), 334, 107, 49);

    auto* label1 = new QLabel(QStringLiteral("Body vstupujících do svazkového vyrovnání v procentech "), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->move(58, 137);
    label1->adjustSize();
    combo_box1_ = new QComboBox(this);
    combo_box1_->setObjectName(QStringLiteral("ComboBox1"));
    combo_box1_->setEditable(true);
    combo_box1_->setInsertPolicy(QComboBox::NoInsert);
    // The user types a percentage of his own; an inline completion would
    // turn a typed "10" into the entry "100" and store that instead.
    combo_box1_->setCompleter(nullptr);
    combo_box1_->setGeometry(334, 134, 49, 21);
    for (const char* entry : {"100", "  50", "  33", "  25", "  20", "  17", "  12", "  10", "   5", "   1"}) {
        combo_box1_->addItem(QString::fromLatin1(entry));
    }

    auto* label2 = new QLabel(QStringLiteral("Řešení normálních rovnic"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->adjustSize();
    combo_box2_ = new QComboBox(this);
    combo_box2_->setObjectName(QStringLiteral("ComboBox2"));
    combo_box2_->setEditable(false);
    combo_box2_->setGeometry(334, 168, 130, 21);
    // In the order of kSolveEntries below.
    for (const char* entry : {"Automaticky", "SVD", "Řídká eliminace"}) combo_box2_->addItem(QString::fromUtf8(entry));
    combo_box2_->resize(std::max(combo_box2_->width(), combo_box2_->sizeHint().width()), combo_box2_->height());
    label2->move(std::max(8, combo_box2_->x() - 4 - label2->width()), 171);

    // The weights of surveyed control: the image sigma in image units, the
    // control sigmas in metres (0: no weight).
    fields_[5] = new LabeledEdit(this, QStringLiteral("LabeledEdit6"),
                                 QStringLiteral("Apriorní směrodatná odchylka snímkových souřadnic"), 334, 201, 49);
    fields_[6] = new LabeledEdit(this, QStringLiteral("LabeledEdit7"),
                                 QStringLiteral("Směrodatná odchylka vlícovacích bodů v X a Y [m]"), 334, 228, 49);
    fields_[7] = new LabeledEdit(this, QStringLiteral("LabeledEdit8"),
                                 QStringLiteral("Směrodatná odchylka vlícovacích bodů v Z [m]"), 334, 255, 49);

    // The layout's widths were measured with other font metrics: widen the
    // check boxes to their text and move the percentage label left of its
    // box where it would run into it.
    for (QCheckBox* box : {check_box1_, check_box2_}) {
        box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
    }
    if (check_box1_->geometry().right() >= check_box2_->x()) check_box2_->move(check_box1_->geometry().right() + 8, 72);
    const int label_right = combo_box1_->x() - 4;
    if (label1->geometry().right() > label_right) label1->move(std::max(8, label_right - label1->width()), label1->y());

    // Which camera parameters "Kalibrace kamery" estimates: one box per
    // group, the principal point and the decentring as pairs.
    auto* label3 = new QLabel(QStringLiteral("Kalibrace kamery - určované parametry"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->move(8, 290);
    label3->adjustSize();
    const char* const boxes[6][2] = {{"f", "Konstanta komory"},
                                     {"x0 y0", "Hlavní snímkový bod"},
                                     {"k1", "Radiální distorze, člen r²"},
                                     {"k2", "Radiální distorze, člen r⁴"},
                                     {"k3", "Radiální distorze, člen r⁶"},
                                     {"p1 p2", "Decentrační distorze"}};
    int box_left = 24;
    for (int i = 0; i < 6; ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(boxes[i][0]), this);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(i + 3));
        box->setToolTip(QString::fromUtf8(boxes[i][1]));
        box->setGeometry(box_left, 309, std::max(56, box->sizeHint().width()), 17);
        box_left = box->geometry().right() + 12;
        calibration_boxes_[i] = box;
    }

    default_ = new QPushButton(QStringLiteral("Default"), this);
    default_->setObjectName(QStringLiteral("default"));
    default_->setGeometry(227, 338, 75, 25);
    default_->setAutoDefault(false);
    storno_ = new QPushButton(QStringLiteral("Storno"), this);
    storno_->setObjectName(QStringLiteral("storno"));
    storno_->setGeometry(308, 338, 75, 25);
    storno_->setAutoDefault(false);
    pouzit_ = new QPushButton(QStringLiteral("Použít"), this);
    pouzit_->setObjectName(QStringLiteral("Pouzit"));
    pouzit_->setGeometry(389, 338, 75, 25);
    pouzit_->setAutoDefault(false);
    connect(default_, &QPushButton::clicked, this, &TForm2::defaultClick);
    connect(storno_, &QPushButton::clicked, this, &TForm2::stornoClick);
    connect(pouzit_, &QPushButton::clicked, this, &TForm2::PouzitClick);

    defaultClick();
}

LabeledEdit* TForm2::Field(int number) const { return fields_[number - 1]; }

void TForm2::defaultClick() {
    // The defaults are those of AdjustmentSettings, defined there once.
    settings_ = AdjustmentSettings{};

    const char decimal = UiDecimalSeparator();
    for (std::size_t i = 0; i < kTypedFields.size(); ++i)
        fields_[i]->setText(FromUtf8(SettingFieldText(kTypedFields[i], settings_, decimal)));
    combo_box1_->setCurrentIndex(1);  // "  50"
    check_box1_->setChecked(true);
    check_box2_->setChecked(true);
    combo_box2_->setCurrentIndex(SolveEntry(settings_.NormalEquations));
    const bool calibrate[6] = {settings_.CalibrateF,  settings_.CalibratePrincipalPoint, settings_.CalibrateK1,
                               settings_.CalibrateK2, settings_.CalibrateK3,             settings_.CalibrateDecentring};
    for (int i = 0; i < 6; ++i) calibration_boxes_[i]->setChecked(calibrate[i]);
}

void TForm2::PouzitClick() {
    // Each value is stored as soon as it converts; the first bad field ends
    // the conversion with the later settings unchanged.
    // The message names the field and the form it takes under the line
    // every refusal has.
    const char decimal = UiDecimalSeparator();
    const auto fail = [this, decimal](SettingField field, const QString& text) {
        dialogs_.ShowMessage(this, QStringLiteral("Chybně zadané hodnoty nastavení.\n") +
                                       FromUtf8(SettingFieldRefusal(field, ToUtf8(text), decimal)));
    };
    const std::pair<SettingField, QString> fields[] = {
        {SettingField::MaxIterations, fields_[0]->text()},
        {SettingField::Tolerance, fields_[1]->text()},
        {SettingField::SignificancePercent, fields_[2]->text()},
        {SettingField::RobustWeightPercent, fields_[3]->text()},
        {SettingField::FixedPointCount, fields_[4]->text()},
        {SettingField::PointPercent, combo_box1_->currentText()},
        {SettingField::ImageSigma, fields_[5]->text()},
        {SettingField::ControlSigmaXY, fields_[6]->text()},
        {SettingField::ControlSigmaZ, fields_[7]->text()},
    };
    for (const auto& [field, text] : fields) {
        if (!StoreSettingField(field, ToUtf8(text), decimal, settings_)) return fail(field, text);
    }
    settings_.AdjustCameraConstant = check_box1_->isChecked();
    settings_.RobustEstimation = check_box2_->isChecked();
    const int solve = combo_box2_->currentIndex();
    settings_.NormalEquations = solve >= 0 && solve < 3 ? kSolveEntries[solve] : NormalSolve::Auto;
    settings_.CalibrateF = calibration_boxes_[0]->isChecked();
    settings_.CalibratePrincipalPoint = calibration_boxes_[1]->isChecked();
    settings_.CalibrateK1 = calibration_boxes_[2]->isChecked();
    settings_.CalibrateK2 = calibration_boxes_[3]->isChecked();
    settings_.CalibrateK3 = calibration_boxes_[4]->isChecked();
    settings_.CalibrateDecentring = calibration_boxes_[5]->isChecked();
    accept();
}

void TForm2::stornoClick() { reject(); }

}  // namespace pelvanor
