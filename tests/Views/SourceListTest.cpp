// The source-list tree per model and the outline adapter seen through a real QTreeView.
#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QTreeView>
#include <gtest/gtest.h>

#include "Model/Model.h"
#include "Views/SourceListModel.h"

namespace {

QStringList childNames(const SourceListItemDisplayable& node) {
  QStringList names;
  for (int i = 0; i < node.count(); ++i) names << node.childAtIndex(i)->name();
  return names;
}

const QStringList kNetworkPages = {"General Setup", "Address Book",  "Scan File Name",
                                   "Scan to USB",   "Scan to E-mail", "Scan to PC",
                                   "Scan Profiles", "Network",        "Machine Information"};
const QStringList kNetworkFamilies = {"Wired LAN", "Wireless LAN", "E-mail Server"};
const QStringList kUSBPages = {"General Setup", "Scan File Name", "Scan to USB", "Scan to PC",
                               "Machine Information"};

// The visible rows of `view` from the top, as their titles.
QStringList visibleRows(const QTreeView& view) {
  QStringList rows;
  for (QModelIndex i = view.model()->index(0, 0); i.isValid(); i = view.indexBelow(i))
    rows << i.data().toString();
  return rows;
}

}  // namespace

TEST(SourceListTree, NetworkModel) {
  Life root("QMX-7315W");
  sourcelist::buildTree(root, false);
  EXPECT_EQ(root.name(), "QMX-7315W");
  EXPECT_EQ(root.cellID(), "HeaderCell");
  EXPECT_EQ(childNames(root), kNetworkPages);

  const Order* network = root.order().at(7).get();
  EXPECT_EQ(childNames(*network), kNetworkFamilies);
  for (const auto& family : network->families()) {
    EXPECT_EQ(family->order(), network);
    EXPECT_EQ(family->count(), 0);
    EXPECT_EQ(family->childAtIndex(0), nullptr);
    EXPECT_EQ(family->cellID(), "DataCell");
  }
  for (const auto& order : root.order()) {
    EXPECT_EQ(order->cellID(), "DataCell");
    EXPECT_FALSE(order->icon().isValid());
    EXPECT_EQ(order->count(), order.get() == network ? 3 : 0) << order->name().toStdString();
  }
  EXPECT_EQ(root.childAtIndex(9), nullptr);
  EXPECT_EQ(root.childAtIndex(-1), nullptr);
}

TEST(SourceListTree, USBOnlyModelStartsFromTheDefaultRootName) {
  // The main window creates its root with the network model's name; the builder renames it.
  Life root("QMX-7315W");
  sourcelist::buildTree(root, true);
  EXPECT_EQ(root.name(), "QMX-7305");
  EXPECT_EQ(childNames(root), kUSBPages);
  for (const auto& order : root.order()) EXPECT_EQ(order->count(), 0);
}

TEST(SourceListTree, FamilyIsNotAddedToItsParentByCreation) {
  Order group("Network", QVariant());
  Family family("Wired LAN", QVariant(), &group);
  EXPECT_EQ(group.count(), 0);
  group.appendFamily(std::make_unique<Family>("Wireless LAN", QVariant(), &group));
  EXPECT_EQ(childNames(group), QStringList{"Wireless LAN"});
}

struct ViewCase {
  bool bIsB;
  QStringList visible;  // after the initial expansion
  QList<int> groupRows;
};

TEST(SourceListModel, ThroughATreeView) {
  QStringList network = {"QMX-7315W"};
  network << kNetworkPages.mid(0, 8) << kNetworkFamilies << "Machine Information";
  QStringList usb = {"QMX-7305"};
  usb << kUSBPages;
  const ViewCase cases[] = {{false, network, {0}}, {true, usb, {0}}};

  for (const ViewCase& c : cases) {
    SCOPED_TRACE(c.bIsB ? "USB-only model" : "network model");
    Life root("QMX-7315W");
    sourcelist::buildTree(root, c.bIsB);
    SourceListModel model(&root);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QTreeView view;
    view.setHeaderHidden(true);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setModel(&model);
    view.resize(300, 500);
    view.show();

    // The invisible top has one child, the root.
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_FALSE(model.index(1, 0).isValid());
    const QModelIndex top = model.index(0, 0);
    EXPECT_EQ(model.node(top), &root);
    EXPECT_EQ(model.rowCount(top), root.count());

    sourcelist::expandInitialRows(view, c.bIsB);
    EXPECT_TRUE(view.isExpanded(top));
    EXPECT_EQ(visibleRows(view), c.visible);

    // Cell identifiers, group rows and selectability, row by row.
    int row = 0;
    for (QModelIndex i = top; i.isValid(); i = view.indexBelow(i), ++row) {
      SCOPED_TRACE(i.data().toString().toStdString());
      const bool group = c.groupRows.contains(row);
      EXPECT_EQ(i.data(SourceListModel::IsGroupRole).toBool(), group);
      EXPECT_EQ(i.data(SourceListModel::CellIdRole).toString(), group ? "HeaderCell" : "DataCell");
      EXPECT_EQ(model.flags(i).testFlag(Qt::ItemIsSelectable), !group);
      view.setCurrentIndex(i);
      EXPECT_EQ(view.selectionModel()->isSelected(i), !group);
    }

    // Only the root and the network node can be expanded; a second round changes nothing.
    for (QModelIndex i = top; i.isValid(); i = view.indexBelow(i)) {
      const auto* node = model.node(i);
      EXPECT_EQ(model.hasChildren(i), node->count() > 0) << node->name().toStdString();
    }
    EXPECT_FALSE(sourcelist::expandRow(view, c.visible.size()));
  }
}

TEST(SourceListModel, ParentsLeadBackToTheRoot) {
  Life root("QMX-7315W");
  sourcelist::buildTree(root, false);
  SourceListModel model(&root);
  const QModelIndex top = model.index(0, 0);
  const QModelIndex networkIndex = model.index(7, 0, top);
  const QModelIndex wlan = model.index(1, 0, networkIndex);
  EXPECT_EQ(wlan.data().toString(), "Wireless LAN");
  EXPECT_EQ(model.parent(wlan), networkIndex);
  EXPECT_EQ(model.parent(networkIndex), top);
  EXPECT_FALSE(model.parent(top).isValid());
  EXPECT_FALSE(model.index(3, 0, networkIndex).isValid());
  EXPECT_FALSE(model.index(0, 1, top).isValid());
}

TEST(SourceListModel, WithoutARootShowsNothing) {
  SourceListModel model;
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_FALSE(model.index(0, 0).isValid());
  EXPECT_FALSE(model.hasChildren());
}
