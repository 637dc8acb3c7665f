#pragma once
// Address books for the tests of the address-book page and its editors: a builder for the
// scanner's record, the expected bytes of a book written by the page, and a look at the tables.
// Header-only; the tests that use it link zr_views.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QStringList>
#include <QTableView>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "IO/FCLDevice.h"
#include "Views/AddressBookEntry.h"

namespace abtest {

inline std::unique_ptr<FCL_RS_ADDRESS_BOOK> emptyBook(const char* identifier = "ID-OF-THE-BOOK-0123456789ABCDEF0123") {
  auto book = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  std::memset(book.get(), 0, sizeof *book);
  std::memcpy(book->szIdentificator, identifier, std::min(std::strlen(identifier), sizeof book->szIdentificator));
  return book;
}

// Puts a node into `slot` (by default slot index-1, as the page writes).
inline FCL_RS_ADDRESS_BOOK_NODE& put(FCL_RS_ADDRESS_BOOK& book, int index, uint32_t type, uint32_t mask,
                                     const char* name, const char* mail, uint32_t shortcut = 0, int slot = -1) {
  FCL_RS_ADDRESS_BOOK_NODE& n = book.sNode[slot < 0 ? index - 1 : slot];
  std::memset(&n, 0, sizeof n);
  n.dwNodeType = type;
  n.dwGroupMask = mask;
  std::strncpy(n.szNodeName, name, sizeof n.szNodeName - 1);
  std::strncpy(n.szEmailAddress, mail, sizeof n.szEmailAddress - 1);
  n.dwRefIdx = static_cast<uint32_t>(index - 1);
  n.dwIsInShortcut = shortcut;
  return n;
}
inline FCL_RS_ADDRESS_BOOK_NODE& group(FCL_RS_ADDRESS_BOOK& book, int index, uint32_t number, const char* name,
                                       uint32_t shortcut = 0, int slot = -1) {
  return put(book, index, number, 0, name, "", shortcut, slot);
}
inline FCL_RS_ADDRESS_BOOK_NODE& contact(FCL_RS_ADDRESS_BOOK& book, int index, uint32_t mask, const char* name,
                                         const char* mail, uint32_t shortcut = 0, int slot = -1) {
  return put(book, index, FCL_NODE_TYPE_CONTACT, mask, name, mail, shortcut, slot);
}

// The first slot where two books differ, described; "" when they are equal byte for byte.
inline std::string firstDifference(const FCL_RS_ADDRESS_BOOK& want, const FCL_RS_ADDRESS_BOOK& got) {
  if (std::memcmp(want.szIdentificator, got.szIdentificator, sizeof want.szIdentificator) != 0) return "identifier";
  for (int i = 0; i < FCL_ADDRESS_BOOK_NODE_COUNT; ++i) {
    const FCL_RS_ADDRESS_BOOK_NODE& a = want.sNode[i];
    const FCL_RS_ADDRESS_BOOK_NODE& b = got.sNode[i];
    if (std::memcmp(&a, &b, sizeof a) == 0) continue;
    return "slot " + std::to_string(i) + ": want type " + std::to_string(a.dwNodeType) + " mask " +
           std::to_string(a.dwGroupMask) + " '" + std::string(a.szNodeName, strnlen(a.szNodeName, 96)) + "' ref " +
           std::to_string(a.dwRefIdx) + " shortcut " + std::to_string(a.dwIsInShortcut) + ", got type " +
           std::to_string(b.dwNodeType) + " mask " + std::to_string(b.dwGroupMask) + " '" +
           std::string(b.szNodeName, strnlen(b.szNodeName, 96)) + "' ref " + std::to_string(b.dwRefIdx) +
           " shortcut " + std::to_string(b.dwIsInShortcut);
  }
  return "";
}

// The texts of one column of a table, top to bottom.
inline QStringList column(const QTableView* table, int column) {
  QStringList out;
  const QAbstractItemModel* m = table->model();
  for (int r = 0; r < m->rowCount(); ++r) out << m->data(m->index(r, column), Qt::DisplayRole).toString();
  return out;
}
inline QStringList headers(const QTableView* table) {
  QStringList out;
  const QAbstractItemModel* m = table->model();
  for (int c = 0; c < m->columnCount(); ++c) out << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
  return out;
}
// Selects row `row` as a click would.
inline void selectRow(QTableView* table, int row) {
  table->selectionModel()->select(table->model()->index(row, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// A dictionary entry.
inline AddressBookEntry entry(int index, uint32_t type, uint32_t mask, const char* name, const char* mail = "",
                              uint32_t shortcut = 0) {
  AddressBookEntry e;
  e.index = index;
  e.nodeType = type;
  e.groupMask = mask;
  e.name = QString::fromUtf8(name);
  e.email = QString::fromUtf8(mail);
  e.shortcut = shortcut;
  return e;
}

}  // namespace abtest
