#pragma once
// The main window's source list: a QAbstractItemModel over the node tree of Model/Model.h for a
// QTreeView, and the builder of that tree for each scanner model.
//
// The model answers as the outline's data source and delegate:
//   - the invisible top has exactly one child, the root (none while no root is set);
//   - a node's children are its count() / childAtIndex() (hasChildren: count() > 0);
//   - the root is a group row (IsGroupRole true) and cannot be selected; every other node can;
//   - DisplayRole is name(), DecorationRole icon(), CellIdRole cellID() ("HeaderCell" for the
//     root, "DataCell" for the others), NodeRole the node pointer.
// One column. The tree must not change while the model shows it: it is built once, then given
// to the model (setRoot), and only read from then on.

#include <QAbstractItemModel>
#include <QHash>
#include <QList>

#include "Model/Model.h"

class QTreeView;

class SourceListModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  enum Role {
    CellIdRole = Qt::UserRole + 1,  // QString: the cell identifier
    IsGroupRole,                    // bool: the row is the root group row
    NodeRole,                       // const SourceListItemDisplayable* (as quintptr)
  };

  explicit SourceListModel(QObject* parent = nullptr);
  // `root` is not owned and must outlive the model (or be replaced first); nullptr empties it.
  explicit SourceListModel(const SourceListItemDisplayable* root, QObject* parent = nullptr);

  void setRoot(const SourceListItemDisplayable* root);
  const SourceListItemDisplayable* root() const { return m_root; }

  // The node of `index`; nullptr for the invisible top or an index of another model.
  const SourceListItemDisplayable* node(const QModelIndex& index) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QHash<int, QByteArray> roleNames() const override;

  // The outline's questions, by node.
  static bool isGroupItem(const SourceListItemDisplayable* node);
  static bool shouldSelectItem(const SourceListItemDisplayable* node) { return node && !isGroupItem(node); }
  static bool isItemExpandable(const SourceListItemDisplayable* node) { return node && node->count() > 0; }

 private:
  struct Place {
    const SourceListItemDisplayable* parent;
    int row;
  };
  void indexTree(const SourceListItemDisplayable* node, const SourceListItemDisplayable* parent, int row);

  const SourceListItemDisplayable* m_root = nullptr;
  QHash<const SourceListItemDisplayable*, Place> m_places;  // every node's parent and row
};

namespace sourcelist {

// Names `root` after the model and appends its pages, titles looked up in the string table:
//   network model (bIsB false): "QMX-7315W"; general setup, address book, scan file name, scan to
//     USB, scan to e-mail, scan to PC, scan profiles, network (wired LAN, wireless LAN, e-mail
//     server), machine information;
//   USB-only model (bIsB true): "QMX-7305"; general setup, scan file name, scan to USB, scan to
//     PC, machine information.
// No node has an icon. `root` should be empty.
void buildTree(Life& root, bool bIsB);

// The visible rows the main window expands after building, in order: row 0 (the root), and for
// the network model then row 8 (the network node, once the root is open).
QList<int> initiallyExpandedRows(bool bIsB);

// Expands the item at visible row `row` of `view` (rows counted from the top over what is
// currently expanded). False when there is no such row.
bool expandRow(QTreeView& view, int row);

// Expands the rows of initiallyExpandedRows in order.
void expandInitialRows(QTreeView& view, bool bIsB);

}  // namespace sourcelist
