#pragma once
// The selection dialog "Výběr": the control points of one image with a
// yes/no mark each; "Použít" stores the four marked points as the points
// that image's approximate orientation starts from.

#include <QDialog>
#include <QPoint>

#include "project/project_state.h"

class QPushButton;
class QTableWidget;

namespace pelvanor {

class UiDialogs;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    TForm3(ProjectState& state, UiDialogs& dialogs, QWidget* parent = nullptr);

    // Fills the grid for image k (1-based) with its control points, the
    // first four marked; false when no control points of image k are loaded.
    bool Fill(int k);

    // Grid contents with row 0 the header row and rows 1.. the points.
    int RowCount() const;
    QString Cell(int row, int column) const;
    // A mouse click on column 0 of grid row `row` (row 0: the header),
    // scrolled into view first, delivered as the user's click is.
    void ClickRow(int row);

    QTableWidget* StringGrid1() const { return grid_; }
    QPushButton* Button1() const { return button1_; }
    QPushButton* Button2() const { return button2_; }

public slots:
    // Toggles the mark of the data row under the viewport position.
    void StringGrid1MouseDown(const QPoint& position);
    // "Použít": exactly four marks store their points for the image.
    void Button1Click();
    // "Storno": marks the first four again and closes.
    void Button2Click();
    // Escape closes as "Storno" does.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MarkFirstFour();

    ProjectState& state_;
    UiDialogs& dialogs_;
    int image_ = 0;  // the image the grid lists, 1-based
    QTableWidget* grid_ = nullptr;
    QPushButton* button1_ = nullptr;
    QPushButton* button2_ = nullptr;
};

}  // namespace pelvanor
