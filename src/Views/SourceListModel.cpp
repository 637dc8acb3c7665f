#include "Views/SourceListModel.h"

#include <QFont>
#include <QTreeView>

#include "Views/PageTable.h"
#include "platform/Localizer.h"

// ---- Model -------------------------------------------------------------------------------------

SourceListModel::SourceListModel(QObject* parent) : QAbstractItemModel(parent) {}

SourceListModel::SourceListModel(const SourceListItemDisplayable* root, QObject* parent)
    : QAbstractItemModel(parent) {
  setRoot(root);
}

void SourceListModel::setRoot(const SourceListItemDisplayable* root) {
  beginResetModel();
  m_root = root;
  m_places.clear();
  if (m_root) indexTree(m_root, nullptr, 0);
  endResetModel();
}

void SourceListModel::indexTree(const SourceListItemDisplayable* node, const SourceListItemDisplayable* parent,
                                int row) {
  // A node reached twice (a malformed tree) keeps its first place, and the walk stops there.
  if (m_places.contains(node)) return;
  m_places.insert(node, Place{parent, row});
  const int n = node->count();
  for (int i = 0; i < n; ++i)
    if (const SourceListItemDisplayable* child = node->childAtIndex(i)) indexTree(child, node, i);
}

bool SourceListModel::isGroupItem(const SourceListItemDisplayable* node) {
  return dynamic_cast<const Life*>(node) != nullptr;
}

const SourceListItemDisplayable* SourceListModel::node(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return nullptr;
  return static_cast<const SourceListItemDisplayable*>(index.internalPointer());
}

QModelIndex SourceListModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  if (!parent.isValid()) {
    if (row != 0 || m_root == nullptr) return {};
    return createIndex(0, 0, const_cast<SourceListItemDisplayable*>(m_root));
  }
  const SourceListItemDisplayable* p = node(parent);
  if (p == nullptr || row >= p->count()) return {};
  SourceListItemDisplayable* child = p->childAtIndex(row);
  return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex SourceListModel::parent(const QModelIndex& child) const {
  const SourceListItemDisplayable* n = node(child);
  if (n == nullptr) return {};
  const auto it = m_places.constFind(n);
  if (it == m_places.constEnd() || it->parent == nullptr) return {};
  const SourceListItemDisplayable* p = it->parent;
  const int row = m_places.value(p).row;
  return createIndex(row, 0, const_cast<SourceListItemDisplayable*>(p));
}

int SourceListModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return m_root ? 1 : 0;
  if (parent.column() != 0) return 0;
  const SourceListItemDisplayable* p = node(parent);
  return p ? p->count() : 0;
}

int SourceListModel::columnCount(const QModelIndex&) const { return 1; }

bool SourceListModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return m_root != nullptr;
  return isItemExpandable(node(parent));
}

QVariant SourceListModel::data(const QModelIndex& index, int role) const {
  const SourceListItemDisplayable* n = node(index);
  if (n == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole: return n->name();
    case Qt::DecorationRole: return n->icon();
    case Qt::FontRole:
      if (isGroupItem(n)) {
        QFont font;
        font.setBold(true);
        return font;
      }
      return {};
    case CellIdRole: return n->cellID();
    case IsGroupRole: return isGroupItem(n);
    case NodeRole: return QVariant::fromValue(reinterpret_cast<quintptr>(n));
    default: return {};
  }
}

Qt::ItemFlags SourceListModel::flags(const QModelIndex& index) const {
  const SourceListItemDisplayable* n = node(index);
  if (n == nullptr) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled;
  if (shouldSelectItem(n)) f |= Qt::ItemIsSelectable;
  if (!isItemExpandable(n)) f |= Qt::ItemNeverHasChildren;
  return f;
}

QHash<int, QByteArray> SourceListModel::roleNames() const {
  QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
  names.insert(CellIdRole, "cellID");
  names.insert(IsGroupRole, "isGroup");
  names.insert(NodeRole, "node");
  return names;
}

// ---- Builder -----------------------------------------------------------------------------------

namespace sourcelist {

namespace {
QString title(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }
}  // namespace

void buildTree(Life& root, bool bIsB) {
  root.setName(QString::fromLatin1(bIsB ? pages::kUSBModelName : pages::kNetworkModelName));
  Order* network = nullptr;
  for (const pages::PageInfo& page : pages::kPages) {
    if (bIsB && page.listedFor != pages::ListedFor::BothModels) continue;
    if (page.underNetwork) {
      // The network group takes the place of its first page; its pages follow as families.
      if (network == nullptr) network = root.appendOrder(std::make_unique<Order>(title(pages::kNetworkTitle), QVariant()));
      network->appendFamily(std::make_unique<Family>(title(page.titleKey), QVariant(), network));
      continue;
    }
    root.appendOrder(std::make_unique<Order>(title(page.titleKey), QVariant()));
  }
}

QList<int> initiallyExpandedRows(bool bIsB) { return bIsB ? QList<int>{0} : QList<int>{0, 8}; }

bool expandRow(QTreeView& view, int row) {
  if (view.model() == nullptr || row < 0) return false;
  QModelIndex index = view.model()->index(0, 0, view.rootIndex());
  for (int i = 0; i < row && index.isValid(); ++i) index = view.indexBelow(index);
  if (!index.isValid()) return false;
  view.expand(index);
  return true;
}

void expandInitialRows(QTreeView& view, bool bIsB) {
  for (int row : initiallyExpandedRows(bIsB)) expandRow(view, row);
}

}  // namespace sourcelist
