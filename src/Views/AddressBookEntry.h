#pragma once
// One entry of the scanner's address book as the address-book page and its two editors hold it,
// and the dictionaries they share.
//
// An entry is the page's form of one FCL_RS_ADDRESS_BOOK_NODE:
//
//   index       1..300 (dwRefIdx + 1); the entry's key in its dictionary and its slot (index-1)
//   nodeType    the group number 1..20, or 21 (FCL_NODE_TYPE_CONTACT) for a contact
//   groupMask   dwGroupMask: bit n-1 set means member of group n; groups carry 0
//   name        szNodeName as text
//   email       szEmailAddress as text ("" for groups)
//   shortcut    dwIsInShortcut, carried over unchanged (1: a panel shortcut uses the entry)
//   readSlot    the slot the entry was read from; -1 for an entry an editor created
//   readNode    that slot's 380 bytes as read (empty for an entry an editor created)
//
// A read entry goes back to its own slot, every byte the user did not change as it was read: a
// name or e-mail address whose text is still the text read from the field keeps the field's bytes
// (also when they are not valid UTF-8), and the mask keeps the bits no editor shows.
//
// An entry is never changed in place: every edit stores a new value under the same key.
// A dictionary maps index -> entry; iterating it visits the indexes in ascending order.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <iterator>
#include <map>

struct AddressBookEntry {
  int32_t index = 0;
  uint32_t nodeType = 0;
  uint32_t groupMask = 0;
  QString name;
  QString email;
  uint32_t shortcut = 0;
  int32_t readSlot = -1;
  QByteArray readNode;

  bool operator==(const AddressBookEntry&) const = default;

  // A copy with another group mask (every other value unchanged).
  AddressBookEntry withMask(uint32_t mask) const {
    AddressBookEntry e = *this;
    e.groupMask = mask;
    return e;
  }
  // The name, or the e-mail address when the name is empty: how a contact is listed.
  QString listedName() const { return name.isEmpty() ? email : name; }
};

using AddressBookDictionary = std::map<int32_t, AddressBookEntry>;

namespace addressbook {

constexpr int32_t kFirstIndex = 1;
constexpr int32_t kLastIndex = 300;
constexpr int32_t kGroupCount = 20;
constexpr int kNameLimit = 16;  // UTF-16 units a name may hold in the editors
constexpr int kEmailByteLimit = 255;  // bytes of UTF-8 an e-mail address may hold (the field ends in a NUL)
constexpr uint32_t kShownMaskBits = 0xFFFFFu;  // the bits of groups 1..20; the editors show no others

// Group number n of 1..20 -> bit n-1; any other number -> 0.
constexpr uint32_t maskMap(int32_t group) {
  return group >= 1 && group <= kGroupCount ? (1u << (group - 1)) : 0u;
}

// `text` cut to its first `limit` UTF-16 units, never keeping half of a surrogate pair.
inline QString cutToLimit(const QString& text, int limit) {
  if (text.size() <= limit) return text;
  int cut = limit;
  if (cut > 0 && text.at(cut - 1).isHighSurrogate()) --cut;
  return text.left(cut);
}

// The key of row `row` of a dictionary (rows are the keys in ascending order); 0 for no row.
inline int32_t keyOfRow(const AddressBookDictionary& dictionary, int row) {
  if (row < 0 || row >= static_cast<int>(dictionary.size())) return 0;
  auto it = dictionary.begin();
  std::advance(it, row);
  return it->first;
}

}  // namespace addressbook
