#include "app/tform3.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>

#include <string>
#include <vector>

#include "app/dialogs.h"
#include "app/window_services.h"
#include "project/point_selection.h"

namespace pelvanor {

namespace {

const QString kYes = QStringLiteral("ANO");
const QString kNo = QStringLiteral("NE");

}  // namespace

TForm3::TForm3(ProjectState& state, UiDialogs& dialogs, QWidget* parent)
    : QDialog(parent), state_(state), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Výběr"));
    // Closed only through its own buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(TahomaFont(8));
    setFixedSize(166, 274);
    setModal(true);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, background.color(QPalette::Highlight));
    setPalette(background);

    grid_ = new QTableWidget(0, 2, this);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    grid_->setGeometry(5, 8, 153, 229);
    grid_->setFont(TahomaFont(10, true));
    grid_->horizontalHeader()->setFont(TahomaFont(10, true));
    grid_->setHorizontalHeaderLabels({QStringLiteral("Č.b"), QStringLiteral("Použít")});
    grid_->horizontalHeader()->setSectionsClickable(false);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->horizontalHeader()->setDefaultSectionSize(64);
    grid_->horizontalHeader()->setFixedHeight(24);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(24);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setFocusPolicy(Qt::NoFocus);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setStyleSheet(QStringLiteral("QTableWidget { background: silver; gridline-color: black; }"
                                        "QTableWidget::item { border: 1px solid black; }"));
    grid_->viewport()->installEventFilter(this);

    button1_ = new QPushButton(QStringLiteral("Použít"), this);
    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setGeometry(5, 243, 75, 25);
    button1_->setAutoDefault(false);
    button2_ = new QPushButton(QStringLiteral("Storno"), this);
    button2_->setObjectName(QStringLiteral("Button2"));
    button2_->setGeometry(83, 243, 75, 25);
    button2_->setAutoDefault(false);
    connect(button1_, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &TForm3::Button2Click);
}

bool TForm3::Fill(int k) {
    std::vector<std::string> numbers;
    if (!SelectablePointNumbers(state_, k, UiDecimalSeparator(), numbers)) return false;
    const int c = static_cast<int>(numbers.size());

    image_ = k;
    grid_->clearContents();
    grid_->setRowCount(c);
    for (int j = 1; j <= c; ++j) {
        grid_->setItem(j - 1, 0, new QTableWidgetItem(FromUtf8(numbers[static_cast<std::size_t>(j - 1)])));
        grid_->setItem(j - 1, 1, new QTableWidgetItem(j <= 4 ? kYes : kNo));
    }
    grid_->scrollToTop();
    return true;
}

int TForm3::RowCount() const { return grid_->rowCount() + 1; }

QString TForm3::Cell(int row, int column) const {
    if (row == 0) {
        const QTableWidgetItem* header = grid_->horizontalHeaderItem(column);
        return header ? header->text() : QString();
    }
    const QTableWidgetItem* item = grid_->item(row - 1, column);
    return item ? item->text() : QString();
}

void TForm3::ClickRow(int row) {
    if (row == 0) {
        // The header row is not part of the viewport; a click there reaches
        // no cell.
        return;
    }
    const QTableWidgetItem* item = grid_->item(row - 1, 0);
    if (item == nullptr) return;
    grid_->scrollToItem(item);
    const QPoint centre = grid_->visualItemRect(item).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, grid_->viewport()->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid_->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, grid_->viewport()->mapToGlobal(centre), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(grid_->viewport(), &release);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    // Every press counts, the second one of a double click too.
    if (watched == grid_->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        StringGrid1MouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm3::StringGrid1MouseDown(const QPoint& position) {
    const QModelIndex cell = grid_->indexAt(position);
    if (!cell.isValid()) return;
    QTableWidgetItem* mark = grid_->item(cell.row(), 1);
    if (mark == nullptr) return;
    mark->setText(mark->text() == kYes ? kNo : kYes);
}

void TForm3::Button1Click() {
    std::vector<bool> marked;
    for (int row = 0; row < grid_->rowCount(); ++row) {
        const QTableWidgetItem* mark = grid_->item(row, 1);
        marked.push_back(mark != nullptr && mark->text() == kYes);
    }
    if (!StoreSelectedPoints(state_, image_, marked, UiDecimalSeparator())) {
        dialogs_.ShowMessage(this, FromUtf8(kWrongPointCountMessage));
        return;
    }
    accept();
}

void TForm3::MarkFirstFour() {
    for (int row = 0; row < grid_->rowCount(); ++row) {
        if (QTableWidgetItem* mark = grid_->item(row, 1)) mark->setText(row < 4 ? kYes : kNo);
    }
}

void TForm3::Button2Click() {
    MarkFirstFour();
    QDialog::reject();
}

void TForm3::reject() { Button2Click(); }

}  // namespace pelvanor
