#include "Model/Model.h"

namespace {
template <typename List>
SourceListItemDisplayable* entryAt(const List& list, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return nullptr;
  return list[static_cast<std::size_t>(index)].get();
}
}  // namespace

SourceListItemDisplayable* SourceListItemDisplayable::childAtIndex(int) const { return nullptr; }

SourceListItemDisplayable* Life::childAtIndex(int index) const { return entryAt(m_order, index); }

Order* Life::appendOrder(std::unique_ptr<Order> node) {
  m_order.push_back(std::move(node));
  return m_order.back().get();
}

SourceListItemDisplayable* Order::childAtIndex(int index) const { return entryAt(m_families, index); }

Family* Order::appendFamily(std::unique_ptr<Family> node) {
  m_families.push_back(std::move(node));
  return m_families.back().get();
}

SourceListItemDisplayable* Family::childAtIndex(int index) const { return entryAt(m_genues, index); }
