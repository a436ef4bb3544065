#pragma once
// "Výsledky" > "Tabulka výsledků": a window beside the main window (not
// modal) with the results as sortable tables: the computed points, the
// images of the kept bundle adjustment and the check points (see
// project/result_tables.h).  A click on a column header sorts by it; the
// chosen row's point or image is ringed in "Grafy"; "Kopírovat" (Ctrl+C)
// puts the chosen rows, or the whole table, on the clipboard as
// tab-separated text in the order shown.  It reads the state when opened
// and whenever the main window has run a command; it changes nothing.

#include <QWidget>

#include <vector>

#include "project/project_state.h"
#include "project/result_tables.h"

class QPushButton;
class QTabWidget;
class QTableView;

namespace pelvanor {

class ResultTableModel;

class TForm7 : public QWidget {
    Q_OBJECT
public:
    TForm7(const ProjectState& state, QWidget* parent);

    // Reads the state again.
    void Refresh();

    // The tabs "Body", "Snímky", "Kontrolní body" and their tables.
    QTabWidget* TabWidget1() const { return tabs_; }
    QTableView* Table(int tab) const { return views_[static_cast<std::size_t>(tab)]; }
    QPushButton* BitBtn1() const { return copy_; }  // "Kopírovat"
    // The tab-separated text "Kopírovat" puts on the clipboard for the tab
    // shown.
    QString CopyText() const;

public slots:
    void BitBtn1Click();

signals:
    // A row of the points or check points was chosen: its point number.
    void PointChosen(double number);
    // A row of the images was chosen: its image number.
    void ImageChosen(int image);

private:
    void RowChosen(int tab);

    const ProjectState& state_;
    QTabWidget* tabs_ = nullptr;
    std::vector<QTableView*> views_;
    std::vector<ResultTableModel*> models_;
    QPushButton* copy_ = nullptr;
};

}  // namespace pelvanor
