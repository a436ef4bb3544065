#pragma once
// The settings dialog "Nastavení": edits AdjustmentSettings.  Its fields
// keep what the user typed between two showings; they are never reloaded
// from the settings.

#include <QDialog>

#include "project/project_state.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace pelvanor {

class LabeledEdit;
class UiDialogs;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    // Creation stores the default settings (defaultClick).
    TForm2(AdjustmentSettings& settings, UiDialogs& dialogs, QWidget* parent = nullptr);

    // LabeledEdit1 .. LabeledEdit8: 6 the a priori sigma of the image
    // coordinates, 7 and 8 the sigmas of the control points in X, Y and in Z.
    LabeledEdit* Field(int number) const;
    QComboBox* ComboBox1() const { return combo_box1_; }
    // "Řešení normálních rovnic": "Automaticky", "SVD", "Řídká eliminace".
    QComboBox* ComboBox2() const { return combo_box2_; }
    QCheckBox* CheckBox1() const { return check_box1_; }
    QCheckBox* CheckBox2() const { return check_box2_; }
    // "Kalibrace kamery - určované parametry": CheckBox3 .. CheckBox8 for
    // "f", "x0 y0", "k1", "k2", "k3", "p1 p2" (index 0 .. 5).
    QCheckBox* CalibrationBox(int index) const { return calibration_boxes_[index]; }
    QPushButton* DefaultButton() const { return default_; }
    QPushButton* StornoButton() const { return storno_; }
    QPushButton* PouzitButton() const { return pouzit_; }

public slots:
    // "Default": stores the defaults at once and shows them.
    void defaultClick();
    // "Použít": converts and stores field by field, then closes; a field that
    // does not convert stops it with a message and the dialog stays open.
    void PouzitClick();
    // "Storno": closes; nothing is stored.
    void stornoClick();

private:
    AdjustmentSettings& settings_;
    UiDialogs& dialogs_;
    LabeledEdit* fields_[8] = {};
    QComboBox* combo_box1_ = nullptr;
    QComboBox* combo_box2_ = nullptr;
    QCheckBox* check_box1_ = nullptr;
    QCheckBox* check_box2_ = nullptr;
    QCheckBox* calibration_boxes_[6] = {};
    QPushButton* default_ = nullptr;
    QPushButton* storno_ = nullptr;
    QPushButton* pouzit_ = nullptr;
};

}  // namespace pelvanor
