#pragma once
// "Výsledky" > "Grafy": a separate, resizable window beside the main window
// (not modal) with the two pictures of the last bundle adjustment, "Rezidua
// snímku" and "Půdorys bloku", and after "Kalibrace kamery" the third,
// "Zkreslení objektivu"; the choice of the image or of the plane, the
// point numbers on demand, "Celý pohled" and the export of the view shown
// to PNG, SVG or PDF.  It reads the project state when it is opened and
// whenever the main window has run a command; it changes nothing in it.

#include <QWidget>

#include <functional>

#include "app/dialogs.h"
#include "project/plot_scene.h"
#include "project/project_state.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTabBar;

namespace pelvanor {

class PlotCanvas;

class TForm6 : public QWidget {
    Q_OBJECT
public:
    // `log` writes a line to the main window's log; `projectName` names the
    // loaded project for the title line.
    TForm6(const ProjectState& state, UiDialogs& dialogs, std::function<void(const QString&)> log,
           std::function<QString()> projectName, QWidget* parent);

    // Reads the state again: the image list and the shown picture.
    void Refresh();

    // The row chosen in "Tabulka výsledků": the point is ringed in either
    // view; the image is ringed in the plan, and the residual view turns to
    // it.
    void HighlightPoint(double number);
    void HighlightImage(int image);

    // The request the controls make.
    PlotRequest Request() const;

    // "Rezidua snímku", "Půdorys bloku" and, with a calibration result,
    // "Zkreslení objektivu".
    QTabBar* TabBar1() const { return tab_bar1_; }
    QComboBox* ComboBox1() const { return combo_box1_; }  // "Snimek 1" ...
    QComboBox* ComboBox2() const { return combo_box2_; }  // "X–Y", "X–Z", "Y–Z"
    QCheckBox* CheckBox1() const { return check_box1_; }  // "Čísla bodů"
    QPushButton* BitBtn1() const { return bit_btn1_; }    // "Celý pohled"
    QPushButton* BitBtn2() const { return bit_btn2_; }    // "Exportovat…"
    PlotCanvas* Canvas() const { return canvas_; }

public slots:
    void BitBtn1Click();
    void BitBtn2Click();

private:
    // Shows the picture the controls ask for; `keepView` keeps the zoom.
    void ShowScene(bool keepView);
    void ControlsFollowView();

    const ProjectState& state_;
    UiDialogs& dialogs_;
    std::function<void(const QString&)> log_;
    std::function<QString()> project_name_;

    QTabBar* tab_bar1_ = nullptr;
    QLabel* label1_ = nullptr;
    QComboBox* combo_box1_ = nullptr;
    QLabel* label2_ = nullptr;
    QComboBox* combo_box2_ = nullptr;
    QCheckBox* check_box1_ = nullptr;
    QPushButton* bit_btn1_ = nullptr;
    QPushButton* bit_btn2_ = nullptr;
    PlotCanvas* canvas_ = nullptr;
};

}  // namespace pelvanor
