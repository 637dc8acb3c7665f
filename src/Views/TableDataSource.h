#pragma once
// A table model that asks a controller for its rows and cells, the way a table view asks its data
// source: the controller answers the number of rows of the table named `tableId`, and the value of
// the cell in the column with a given title at a given row. Columns are recognised by their title,
// so the controller decides by the texts the user sees, as the pages' data-source operations do.
//
// reload() is the table's "reload data": the view asks everything again. The table keeps its
// selected row across a reload while that row still exists (reload() reselects it), so a
// controller that counts on the selection after redrawing finds it.
//
// Main thread only.

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>

class QAbstractItemView;
class QTableView;

class TableDataSource : public QAbstractTableModel {
  Q_OBJECT

 public:
  using RowCount = std::function<int(const QString& tableId)>;
  using CellValue = std::function<QString(const QString& tableId, const QString& columnTitle, int row)>;

  TableDataSource(QString tableId, QStringList columnTitles, RowCount rows, CellValue cell, QObject* parent = nullptr);

  const QString& tableId() const { return m_tableId; }
  QString columnTitle(int column) const { return m_titles.value(column); }
  void setColumnTitle(int column, const QString& title);

  // Stops asking the data source (no rows from now on): for a controller that is going away
  // while its tables still exist.
  void detach();

  // Asks the data source again; `view` (when given) keeps its selected row if it still exists.
  void reload(QTableView* view = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The selected row of `view`, or -1 when no row is selected.
  static int selectedRow(const QTableView* view);
  // A table view set up as the pages' tables are: whole rows, one at a time, no editing.
  // Its cells show their whole text as a tooltip when the text is cut short in the cell.
  static QTableView* makeTableView(QWidget* parent, const QString& identifier, TableDataSource* model);
  // Makes every column of `view` but the last as wide as its title and its widest cell; the last
  // takes the rest of the width (cut short when the cells need more than the table has).
  static void fitColumns(QTableView* view);
  // Whether the text of the cell at `index` is wider than the cell, which cuts it short.
  static bool isCutShort(const QAbstractItemView* view, const QModelIndex& index);

 private:
  QString m_tableId;
  QStringList m_titles;
  RowCount m_rows;
  CellValue m_cell;
};
