#include "Views/TableDataSource.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>

namespace {

// Draws the cells as usual; a cell's tooltip (its whole text) shows only when the text does not
// fit the cell and is cut short there.
class WholeTextTips : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override {
    if (event->type() == QEvent::ToolTip && !TableDataSource::isCutShort(view, index)) {
      QToolTip::hideText();
      return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  }
};

}  // namespace

TableDataSource::TableDataSource(QString tableId, QStringList columnTitles, RowCount rows, CellValue cell,
                                 QObject* parent)
    : QAbstractTableModel(parent),
      m_tableId(std::move(tableId)),
      m_titles(std::move(columnTitles)),
      m_rows(std::move(rows)),
      m_cell(std::move(cell)) {}

void TableDataSource::setColumnTitle(int column, const QString& title) {
  if (column < 0 || column >= m_titles.size()) return;
  m_titles[column] = title;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

void TableDataSource::detach() {
  beginResetModel();
  m_rows = nullptr;
  m_cell = nullptr;
  endResetModel();
}

void TableDataSource::reload(QTableView* view) {
  const int selected = view != nullptr ? selectedRow(view) : -1;
  beginResetModel();
  endResetModel();
  if (view == nullptr) return;
  // A reset drops the selection without a signal; put it back, or say that it is gone.
  QItemSelectionModel* selection = view->selectionModel();
  if (selected >= 0 && selected < rowCount()) {
    selection->select(index(selected, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection->setCurrentIndex(index(selected, 0), QItemSelectionModel::NoUpdate);
  } else {
    selection->clearSelection();
    emit selection->selectionChanged(QItemSelection(), QItemSelection());
  }
}

int TableDataSource::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !m_rows) return 0;
  return std::max(0, m_rows(m_tableId));
}

int TableDataSource::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_titles.size(); }

QVariant TableDataSource::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole) || !m_cell) return {};
  return m_cell(m_tableId, m_titles.value(index.column()), index.row());
}

QVariant TableDataSource::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return m_titles.value(section);
  return {};
}

int TableDataSource::selectedRow(const QTableView* view) {
  const QItemSelectionModel* selection = view->selectionModel();
  if (selection == nullptr) return -1;
  const QModelIndexList rows = selection->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

bool TableDataSource::isCutShort(const QAbstractItemView* view, const QModelIndex& index) {
  if (!index.isValid() || index.data(Qt::DisplayRole).toString().isEmpty()) return false;
  QStyleOptionViewItem option;
  option.initFrom(view);
  option.font = view->font();
  option.rect = view->visualRect(index);
  return view->itemDelegateForIndex(index)->sizeHint(option, index).width() > option.rect.width();
}

void TableDataSource::fitColumns(QTableView* view) {
  // Every column but the last (which takes the rest of the width) as wide as its title and cells.
  QHeaderView* header = view->horizontalHeader();
  for (int c = 0; c + 1 < header->count(); ++c) {
    const int width = qMax(header->sectionSizeHint(c), static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c));
    header->resizeSection(c, width);
  }
}

QTableView* TableDataSource::makeTableView(QWidget* parent, const QString& identifier, TableDataSource* model) {
  auto* view = new QTableView(parent);
  view->setObjectName(identifier);
  view->setModel(model);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setAlternatingRowColors(true);
  view->setWordWrap(false);
  view->verticalHeader()->hide();
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->horizontalHeader()->setStretchLastSection(true);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->setTextElideMode(Qt::ElideRight);
  view->setItemDelegate(new WholeTextTips(view));
  return view;
}
