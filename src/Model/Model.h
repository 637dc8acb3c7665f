#pragma once
// The nodes of the main window's source list.
//
// Three levels: the root `Life` (the model name, shown as a group row), its `Order` nodes (a
// page, or the network group) and, under an `Order`, `Family` nodes (a page of that group). Every
// node offers the operations of SourceListItemDisplayable; the outline adapter
// (Views/SourceListModel) answers the view's questions from them alone.
//
// Ownership: each parent owns its child list; children are appended once, while the tree is
// built, and never removed; names never change after building. A `Family` keeps a non-owning
// pointer to its parent `Order`, which outlives it.
//
// Icons are kept as a QVariant so this layer needs only Qt Core: an empty QVariant means no
// icon; the view layer may store a QIcon or QPixmap in it. Every node the programs build has none.

#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

class SourceListItemDisplayable {
 public:
  virtual ~SourceListItemDisplayable() = default;
  // The title as shown.
  virtual QString name() const = 0;
  // The image shown beside the title; empty for none.
  virtual QVariant icon() const = 0;
  // Identifier of the cell that shows the node.
  virtual QString cellID() const { return QStringLiteral("DataCell"); }
  // Number of child nodes.
  virtual int count() const { return 0; }
  // The child at `index`, or nullptr (also for an index outside 0..count()-1).
  virtual SourceListItemDisplayable* childAtIndex(int index) const;
};

class Order;
class Family;

// A page under an Order. It has no children: no deeper level exists.
class Family : public SourceListItemDisplayable {
 public:
  Family(QString name, QVariant icon, Order* order)
      : m_name(std::move(name)), m_order(order), m_icon(std::move(icon)) {}

  QString name() const override { return m_name; }
  QVariant icon() const override { return m_icon; }
  int count() const override { return static_cast<int>(m_genues.size()); }
  SourceListItemDisplayable* childAtIndex(int index) const override;

  // The parent given at creation (not owned).
  Order* order() const { return m_order; }

 private:
  QString m_name;
  Order* m_order;
  std::vector<std::unique_ptr<SourceListItemDisplayable>> m_genues;  // stays empty
  QVariant m_icon;
};

// A page, or a group of pages (the network node).
class Order : public SourceListItemDisplayable {
 public:
  Order(QString name, QVariant icon) : m_name(std::move(name)), m_icon(std::move(icon)) {}

  QString name() const override { return m_name; }
  QVariant icon() const override { return m_icon; }
  int count() const override { return static_cast<int>(m_families.size()); }
  SourceListItemDisplayable* childAtIndex(int index) const override;

  const std::vector<std::unique_ptr<Family>>& families() const { return m_families; }
  // Appends `node` (not null) and answers it. Creating a Family does not append it.
  Family* appendFamily(std::unique_ptr<Family> node);

 private:
  QString m_name;
  std::vector<std::unique_ptr<Family>> m_families;
  QVariant m_icon;
};

// The root: the model name and the pages listed under it.
class Life : public SourceListItemDisplayable {
 public:
  explicit Life(QString name) : m_name(std::move(name)) {}

  QString name() const override { return m_name; }
  QVariant icon() const override { return m_icon; }
  QString cellID() const override { return QStringLiteral("HeaderCell"); }
  int count() const override { return static_cast<int>(m_order.size()); }
  SourceListItemDisplayable* childAtIndex(int index) const override;

  // The builder names the root after the model before filling it.
  void setName(QString name) { m_name = std::move(name); }
  const std::vector<std::unique_ptr<Order>>& order() const { return m_order; }
  // Appends `node` (not null) and answers it.
  Order* appendOrder(std::unique_ptr<Order> node);

 private:
  QString m_name;
  std::vector<std::unique_ptr<Order>> m_order;
  QVariant m_icon;
};
