#include "app/tform7.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <set>

#include "app/window_services.h"

namespace pelvanor {

// One ResultTable for a view: the texts shown, the keys sorted by.
class ResultTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetTable(ResultTable table) {
        beginResetModel();
        table_ = std::move(table);
        endResetModel();
    }
    const ResultTable& Table() const { return table_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(table_.rows.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(table_.columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const auto& row = table_.rows[static_cast<std::size_t>(index.row())];
        if (static_cast<std::size_t>(index.column()) >= row.size()) return {};
        const ResultCell& cell = row[static_cast<std::size_t>(index.column())];
        switch (role) {
            case Qt::DisplayRole: return FromUtf8(cell.text);
            case Qt::UserRole: return cell.key;
            case Qt::TextAlignmentRole:
                return QVariant::fromValue(Qt::Alignment((cell.numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
            default: return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
        if (section < 0 || static_cast<std::size_t>(section) >= table_.columns.size()) return {};
        return FromUtf8(table_.columns[static_cast<std::size_t>(section)]);
    }

private:
    ResultTable table_;
};

TForm7::TForm7(const ProjectState& state, QWidget* parent) : QWidget(parent, Qt::Window), state_(state) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Tabulka výsledků - Pelvanor"));
    resize(1000, 560);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("TabWidget1"));
    const char* captions[] = {"Body", "Snímky", "Kontrolní body"};
    for (int tab = 0; tab < 3; ++tab) {
        auto* model = new ResultTableModel(this);
        auto* sorted = new QSortFilterProxyModel(this);
        sorted->setSourceModel(model);
        sorted->setSortRole(Qt::UserRole);
        auto* view = new QTableView(this);
        view->setObjectName(QStringLiteral("Table%1").arg(tab + 1));
        view->setModel(sorted);
        view->setSortingEnabled(true);
        view->sortByColumn(-1, Qt::AscendingOrder);  // the order of the protocols until a header is clicked
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setAlternatingRowColors(true);
        view->verticalHeader()->hide();
        view->setFont(MonospaceFont(9));
        tabs_->addTab(view, QString::fromUtf8(captions[tab]));
        connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, tab](const QModelIndex&, const QModelIndex&) { RowChosen(tab); });
        views_.push_back(view);
        models_.push_back(model);
    }
    copy_ = new QPushButton(QStringLiteral("Kopírovat"), this);
    copy_->setObjectName(QStringLiteral("BitBtn1"));
    copy_->setToolTip(QStringLiteral("Vybrané řádky (nebo celou tabulku) do schránky jako text oddělený tabulátory (Ctrl+C)"));
    auto* copyKey = new QAction(this);
    copyKey->setShortcut(QKeySequence::Copy);
    copyKey->setShortcutContext(Qt::WindowShortcut);
    addAction(copyKey);
    connect(copyKey, &QAction::triggered, this, &TForm7::BitBtn1Click);
    connect(copy_, &QPushButton::clicked, this, &TForm7::BitBtn1Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copy_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->addWidget(tabs_, 1);
    column->addLayout(buttons);
}

void TForm7::Refresh() {
    const char decimal = UiDecimalSeparator();
    models_[0]->SetTable(PointTable(state_, decimal));
    models_[1]->SetTable(StationTable(state_, decimal));
    models_[2]->SetTable(CheckPointTable(state_, decimal));
    for (QTableView* view : views_) view->resizeColumnsToContents();
}

QString TForm7::CopyText() const {
    const int tab = tabs_->currentIndex();
    const QTableView* view = views_[static_cast<std::size_t>(tab)];
    const auto* sorted = static_cast<const QSortFilterProxyModel*>(view->model());
    std::set<int> chosen;
    for (const QModelIndex& index : view->selectionModel()->selectedRows()) chosen.insert(index.row());
    std::vector<std::size_t> order;
    for (int row = 0; row < sorted->rowCount(); ++row) {
        if (!chosen.empty() && chosen.count(row) == 0) continue;
        order.push_back(static_cast<std::size_t>(sorted->mapToSource(sorted->index(row, 0)).row()));
    }
    // An empty order happens only for a table without rows: the captions.
    return FromUtf8(TabSeparated(models_[static_cast<std::size_t>(tab)]->Table(), order));
}

void TForm7::BitBtn1Click() {
    const QString text = CopyText();
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void TForm7::RowChosen(int tab) {
    const QTableView* view = views_[static_cast<std::size_t>(tab)];
    const auto* sorted = static_cast<const QSortFilterProxyModel*>(view->model());
    const QModelIndex current = view->selectionModel()->currentIndex();
    if (!current.isValid()) return;
    const int row = sorted->mapToSource(current).row();
    const ResultTable& table = models_[static_cast<std::size_t>(tab)]->Table();
    if (row < 0 || static_cast<std::size_t>(row) >= table.ids.size()) return;
    const long double id = table.ids[static_cast<std::size_t>(row)];
    if (tab == 1) {
        emit ImageChosen(static_cast<int>(id));
    } else {
        emit PointChosen(static_cast<double>(id));
    }
}

}  // namespace pelvanor
