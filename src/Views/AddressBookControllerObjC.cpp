#include "Views/AddressBookControllerObjC.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/AddressBookContactControllerObjC.h"
#include "Views/AddressBookGroupControllerObjC.h"
#include "Views/CommandFailure.h"
#include "Views/PageErrors.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "Views/TableDataSource.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;
constexpr int32_t kErrorLevel = PageTrace::kErrorLevel;

QString op(const char* selector) {
  return PageTrace::operationName("AddressBookControllerObjC", selector);
}

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

bool isGroupType(uint32_t type) { return type >= FCL_NODE_TYPE_GROUP_FIRST && type <= FCL_NODE_TYPE_GROUP_LAST; }
// Node types the page shows: empty, a group, a contact.
bool isKnownType(uint32_t type) { return type <= FCL_NODE_TYPE_CONTACT; }

QPushButton* makeButton(QWidget* parent, const char* identifier) {
  auto* b = new QPushButton(parent);
  b->setObjectName(QString::fromLatin1(identifier));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

AddressBookControllerObjC::AddressBookControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kAddressBookView), parent),
      ut(Utilities::sharedInstance()),
      addressBook(std::make_unique<FCL_RS_ADDRESS_BOOK>()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  m_presenter = [](QDialog& editor) { editor.exec(); };
  buildLayout();
  initLocalizedString();
  for (QPushButton* b : {m_ui.delGroupBtn, m_ui.editGroupBtn, m_ui.delContactBtn, m_ui.editContactBtn})
    b->setEnabled(false);

  connect(m_ui.groupTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddressBookControllerObjC::tableViewSelectionDidChange);
  connect(m_ui.contactTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddressBookControllerObjC::tableViewSelectionDidChange);
  connect(m_ui.groupTable, &QTableView::doubleClicked, this, &AddressBookControllerObjC::doubleClickGroupRow);
  m_ui.groupTable->installEventFilter(this);
  m_ui.contactTable->installEventFilter(this);
  connect(m_ui.contactTable, &QTableView::doubleClicked, this, &AddressBookControllerObjC::doubleClickContactRow);
  connect(m_ui.delGroupBtn, &QPushButton::clicked, this, &AddressBookControllerObjC::deleteGroup);
  connect(m_ui.delContactBtn, &QPushButton::clicked, this, &AddressBookControllerObjC::deleteContact);
  for (QPushButton* b : {m_ui.addGroupBtn, m_ui.editGroupBtn, m_ui.addContactBtn, m_ui.editContactBtn})
    connect(b, &QPushButton::clicked, this, [this, b] { openEditor(b->objectName()); });
  funcEnd(name);
}

AddressBookControllerObjC::~AddressBookControllerObjC() {
  // The base class deletes the controls after this part of the object is gone; until then they
  // must not call back into it (a table counting its rows, a field losing the focus).
  m_ui.groupModel->detach();
  m_ui.contactModel->detach();
  m_ui.groupTable->removeEventFilter(this);
  m_ui.contactTable->removeEventFilter(this);
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

void AddressBookControllerObjC::buildLayout() {
  // The controls are made with the page as their parent; the layout moves them into the content
  // of the page's scrolling area.
  QVBoxLayout* page = pagelayout::scrollingContent(this, 6);

  m_ui.labelAddressBook = pagelayout::titleLabel(this);
  page->addWidget(m_ui.labelAddressBook);

  const auto section = [&](QLabel*& label, QTableView*& table, TableDataSource*& model, const char* tableId,
                           QPushButton*& add, const char* addId, QPushButton*& del, QPushButton*& edit,
                           const char* editId, int stretch) {
    label = pagelayout::plainLabel(this);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    page->addWidget(label);
    model = new TableDataSource(
        QString::fromLatin1(tableId),
        {QString::fromLatin1(kIndexTitle), QString(), QString(), QString()},
        [this](const QString& id) { return numberOfRowsInTableView(id); },
        [this](const QString& id, const QString& title, int row) { return objectValue(id, title, row); }, this);
    table = TableDataSource::makeTableView(this, QString::fromLatin1(tableId), model);
    page->addWidget(table, stretch);
    auto* buttons = new QHBoxLayout;
    add = makeButton(this, addId);
    del = makeButton(this, nullptr);
    edit = makeButton(this, editId);
    buttons->addWidget(add);
    buttons->addWidget(del);
    buttons->addWidget(edit);
    buttons->addStretch(1);
    page->addLayout(buttons);
  };
  section(m_ui.labelGroup, m_ui.groupTable, m_ui.groupModel, kGroupTable, m_ui.addGroupBtn, kAddGroupButton,
          m_ui.delGroupBtn, m_ui.editGroupBtn, kEditGroupButton, 2);
  page->addSpacing(6);
  section(m_ui.labelContact, m_ui.contactTable, m_ui.contactModel, kContactTable, m_ui.addContactBtn,
          kAddContactButton, m_ui.delContactBtn, m_ui.editContactBtn, kEditContactButton, 3);
  m_ui.delGroupBtn->setObjectName(QStringLiteral("DEL_GROUP_BTN"));
  m_ui.delContactBtn->setObjectName(QStringLiteral("DEL_CONTACT_BTN"));
}

void AddressBookControllerObjC::initLocalizedString() {
  m_ui.labelAddressBook->setText(localized("IDS_AB_ADDRESS_BOOK"));
  m_ui.labelGroup->setText(localized("IDS_AB_GROUP"));
  m_ui.labelContact->setText(localized("IDS_AB_CONTACT"));
  m_ui.editGroupBtn->setText(localized("IDS_AB_EDIT"));
  m_ui.editContactBtn->setText(localized("IDS_AB_EDIT"));
  for (QPushButton* b : {m_ui.addGroupBtn, m_ui.addContactBtn}) b->setText(localized("IDS_AB_ADD"));
  for (QPushButton* b : {m_ui.delGroupBtn, m_ui.delContactBtn}) b->setText(localized("IDS_AB_DELETE"));
  m_ui.groupModel->setColumnTitle(1, localized("IDS_AB_GROUP"));
  m_ui.groupModel->setColumnTitle(2, localized("IDS_AB_GROUP_NAME"));
  m_ui.groupModel->setColumnTitle(3, localized("IDS_AB_CONTACT"));
  m_ui.contactModel->setColumnTitle(1, localized("IDS_AB_NAME"));
  m_ui.contactModel->setColumnTitle(2, localized("IDS_AB_EMAIL"));
  m_ui.contactModel->setColumnTitle(3, localized("IDS_AB_GROUP"));
}

// ---- Contract ------------------------------------------------------------------------------------------

void AddressBookControllerObjC::setParam(const MainWindowState& state) { setParam(state.ioWrapper); }
bool AddressBookControllerObjC::getParam(MainWindowState& state) { return getParam(state.ioWrapper); }
bool AddressBookControllerObjC::isDataChanged(const MainWindowState& state) { return isDataChanged(state.ioWrapper); }

bool AddressBookControllerObjC::differsFromAccepted(const MainWindowState& state) {
  (void)state;
  const QString name = op("differsFromAccepted:");
  funcEnter(name);
  // Without a read: the page's book against the content it last accepted (none: nothing to lose).
  const bool differs = m_bookRead && differsFromContent();
  funcEnd(name);
  return differs;
}

int32_t AddressBookControllerObjC::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  ut.debugMsg(kTraceLevel, QStringLiteral("isDataOutofrange!"));
  funcEnd(name);
  return kPageErrorNone;
}

void AddressBookControllerObjC::setParam(IOWrapper* io) {
  const QString name = op("setParam:");
  funcEnter(name);
  pIOWrapper = io;
  // The record takes the reply only when the whole read was accepted.
  auto fresh = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  CommandOutcome outcome = CommandOutcome::failed();
  if (io != nullptr) outcome = io->judge([&] { return io->getAddressBook(fresh.get()); });
  if (outcome.ok()) {
    acceptContent(*fresh);
  } else if (m_bookRead) {
    // The scanner's book as of the last accepted read or write is what it holds as far as we
    // know: shown again (edits not saved before leaving the page are gone, as after a read).
    funcErr(name, QStringLiteral("the address book could not be read; showing the last accepted one"));
    rebuildDictionaries();
  } else {
    // Nothing of an unread book is shown as the scanner's, and nothing can be edited or saved.
    funcErr(name, QStringLiteral("the address book could not be read"));
    forgetContent();
  }
  updateUI();
  if (!outcome.ok()) showReadFailAlert(outcomeText(outcome));
  funcEnd(name);
}

bool AddressBookControllerObjC::getParam(IOWrapper* io) {
  const QString name = op("getParam:");
  funcEnter(name);
  if (!m_bookRead) {
    funcErr(name, QStringLiteral("the address book was not read; nothing is written"));
    showNotReadAlert(QString());
    return false;
  }
  if (io == nullptr) {
    funcErr(name, QStringLiteral("no connection to write to"));
    return false;
  }
  auto book = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  if (const std::vector<int32_t> unplaced = buildBook(*book); !unplaced.empty()) {
    // Writing the rest would answer "saved" for an entry that never reaches the scanner: the page
    // keeps it, and the user can give it another index.
    funcErr(name, QStringLiteral("index %1 has no free slot; nothing is written").arg(unplaced.front()));
    ut.message(platform::formatText(localized("IDS_AB_INDEX_USED_MSG"), {unplaced.front()}),
               localized("IDS_AB_INDEX_USED_INFO"), false);
    return false;
  }
  const CommandOutcome outcome = io->judge([&] { return io->setAddressBook(book.get()); });
  if (!outcome.ok()) {
    funcErr(name, withOutcome(QStringLiteral("setAddressBook failed"), outcome));
    return false;
  }
  // What the scanner accepted is its book now: the page compares with it and falls back to it.
  acceptContent(*book);
  updateUI();
  funcEnd(name);
  return true;
}

bool AddressBookControllerObjC::isDataChanged(IOWrapper* io) {
  const QString name = op("isDataChanged:");
  funcEnter(name);
  if (!m_bookRead) {
    // An unread book holds nothing of the user's: leaving the page or saving is never blocked.
    ut.debugMsg(kTraceLevel, QStringLiteral("The address book was not read; nothing to save."));
    funcEnd(name);
    return false;
  }
  auto scanner = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  CommandOutcome outcome = CommandOutcome::failed();
  if (io != nullptr) outcome = io->judge([&] { return io->getAddressBook(scanner.get()); });
  if (outcome.ok()) {
    // The fresh read is the scanner's content now; the user's changes stay on top of it.
    refreshFrom(*scanner);
  } else {
    funcErr(name, QStringLiteral("the address book could not be read again; comparing with the last accepted one"));
  }
  const bool changed = differsFromContent();
  if (!changed) ut.debugMsg(kTraceLevel, QStringLiteral("No data change!"));
  funcEnd(name);
  return changed;
}

bool AddressBookControllerObjC::differsFromContent() const {
  auto mine = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  if (const std::vector<int32_t> unplaced = buildBook(*mine); !unplaced.empty()) {
    ut.debugMsg(kTraceLevel, QStringLiteral("Index %d has no free slot!"), unplaced.front());
    return true;
  }
  for (int i = 0; i < FCL_ADDRESS_BOOK_NODE_COUNT; ++i) {
    const FCL_RS_ADDRESS_BOOK_NODE& a = mine->sNode[i];
    const FCL_RS_ADDRESS_BOOK_NODE& b = addressBook->sNode[i];
    if (a.dwNodeType != b.dwNodeType || a.dwGroupMask != b.dwGroupMask) return true;
    if (const int diff = std::strncmp(a.szNodeName, b.szNodeName, sizeof a.szNodeName); diff != 0) {
      ut.debugMsg(kTraceLevel, QStringLiteral("Address node name is changed! %d"), diff);
      return true;
    }
    if (const int diff = std::strncmp(a.szEmailAddress, b.szEmailAddress, sizeof a.szEmailAddress); diff != 0) {
      ut.debugMsg(kTraceLevel, QStringLiteral("Address email is changed! %d"), diff);
      return true;
    }
  }
  return false;
}

void AddressBookControllerObjC::settingsImported(const IOWrapper& io, bool imported) {
  const QString name = op("settingsImported:");
  funcEnter(name);
  if (const FCL_RS_ADDRESS_BOOK* book = io.importedAddressBook()) {
    acceptContent(*book);
  } else if (!imported) {
    // What the scanner holds after a failed import is not known.
    forgetContent();
  }
  updateUI();
  funcEnd(name);
}

void AddressBookControllerObjC::showNotReadAlert(const QString& details) {
  QString information = localized("IDS_RS_NOT_READ_INFO");
  if (!details.isEmpty()) information += QLatin1Char('\n') + details;
  ut.message(localized("IDS_RS_NOT_READ_MSG"), information, false);
}

void AddressBookControllerObjC::showReadFailAlert(const QString& details) {
  QString information = localized("IDS_AB_READ_FAIL_INFO");
  if (!details.isEmpty()) information += QLatin1Char('\n') + details;
  ut.message(localized("IDS_AB_READ_FAIL_MSG"), information, false);
}

// ---- The book and the dictionaries ------------------------------------------------------------------

void AddressBookControllerObjC::acceptContent(const FCL_RS_ADDRESS_BOOK& book) {
  if (&book != addressBook.get()) std::memcpy(addressBook.get(), &book, sizeof *addressBook);
  m_bookRead = true;
  rebuildDictionaries();
}

void AddressBookControllerObjC::forgetContent() {
  m_bookRead = false;
  m_groups.clear();
  m_contacts.clear();
  m_readGroups.clear();
  m_readContacts.clear();
  m_shownSlots.assign(FCL_ADDRESS_BOOK_NODE_COUNT, false);
}

void AddressBookControllerObjC::rebuildDictionaries() {
  const QString name = op("rebuildDictionaries");
  m_groups.clear();
  m_contacts.clear();
  m_shownSlots.assign(FCL_ADDRESS_BOOK_NODE_COUNT, false);
  std::vector<bool> shownIndex(FCL_ADDRESS_BOOK_NODE_COUNT, false);
  for (int i = 0; i < FCL_ADDRESS_BOOK_NODE_COUNT; ++i) {
    const FCL_RS_ADDRESS_BOOK_NODE& n = addressBook->sNode[i];
    if (n.dwNodeType == FCL_NODE_TYPE_EMPTY) continue;
    // Not ours to show: kept, so that a save puts it back where it was.
    const char* why = nullptr;
    if (!isKnownType(n.dwNodeType)) why = "has a node type the page does not know";
    else if (n.dwRefIdx >= static_cast<uint32_t>(FCL_ADDRESS_BOOK_NODE_COUNT)) why = "has an index outside the book";
    else if (shownIndex[n.dwRefIdx]) why = "has the index of an earlier entry";
    if (why != nullptr) {
      ut.debugMsg(kErrorLevel, QStringLiteral("========= %@ ERROR: slot %d (index %u) %@; kept, not shown\n"), name, i,
                  static_cast<unsigned long long>(n.dwRefIdx) + 1, QString::fromLatin1(why));
      continue;
    }
    shownIndex[n.dwRefIdx] = true;
    m_shownSlots[i] = true;
    AddressBookEntry e;
    e.index = static_cast<int32_t>(n.dwRefIdx) + 1;
    e.nodeType = n.dwNodeType;
    e.groupMask = n.dwGroupMask;
    e.name = platform::textFromField(n.szNodeName);
    e.email = platform::textFromField(n.szEmailAddress);
    e.shortcut = n.dwIsInShortcut;
    e.readSlot = i;
    e.readNode = QByteArray(reinterpret_cast<const char*>(&n), sizeof n);
    (isGroupType(n.dwNodeType) ? m_groups : m_contacts)[e.index] = e;
  }
  m_readGroups = m_groups;
  m_readContacts = m_contacts;
}

namespace {

// What the user changed in a dictionary since it was built as `read`: index -> the entry now,
// or none for one deleted.
std::map<int32_t, std::optional<AddressBookEntry>> changesOf(const AddressBookDictionary& now,
                                                             const AddressBookDictionary& read) {
  std::map<int32_t, std::optional<AddressBookEntry>> changes;
  for (const auto& [key, e] : read) {
    const auto it = now.find(key);
    if (it == now.end()) changes[key] = std::nullopt;
    else if (!(it->second == e)) changes[key] = it->second;
  }
  for (const auto& [key, e] : now)
    if (read.find(key) == read.end()) changes[key] = e;
  return changes;
}

}  // namespace

void AddressBookControllerObjC::refreshFrom(const FCL_RS_ADDRESS_BOOK& fresh) {
  const QString name = op("refreshFrom:");
  funcEnter(name);
  std::map<int32_t, std::optional<AddressBookEntry>> changes = changesOf(m_contacts, m_readContacts);
  changes.merge(changesOf(m_groups, m_readGroups));  // an index is a group's or a contact's, never both
  const AddressBookDictionary shownGroups = m_groups;
  const AddressBookDictionary shownContacts = m_contacts;
  acceptContent(fresh);
  for (const auto& [key, change] : changes) {
    // The entry the fresh book holds under this index, if it shows one.
    std::optional<AddressBookEntry> there;
    for (AddressBookDictionary* d : {&m_groups, &m_contacts}) {
      if (const auto it = d->find(key); it != d->end()) {
        there = it->second;
        d->erase(it);
      }
    }
    if (!change) continue;  // deleted by the user
    AddressBookEntry mine = *change;
    if (there) {
      // The user's values in the slot the scanner holds the index in now, the rest as read there.
      mine.readSlot = there->readSlot;
      mine.readNode = there->readNode;
      mine.shortcut = there->shortcut;
    } else {
      // Gone from the scanner's book (or never there): written as a new entry at slot index-1.
      mine.readSlot = -1;
      mine.readNode.clear();
    }
    (isGroupType(mine.nodeType) ? m_groups : m_contacts)[key] = mine;
  }
  if (m_groups != shownGroups || m_contacts != shownContacts) updateUI();
  funcEnd(name);
}

bool AddressBookControllerObjC::isKeptSlot(int slot) const {
  const bool shown = slot < static_cast<int>(m_shownSlots.size()) && m_shownSlots[slot];
  return !shown && addressBook->sNode[slot].dwNodeType != FCL_NODE_TYPE_EMPTY;
}

bool AddressBookControllerObjC::isIndexTaken(int32_t index) const {
  if (index < addressbook::kFirstIndex || index > addressbook::kLastIndex) return false;
  const int slot = index - 1;
  for (int i = 0; i < FCL_ADDRESS_BOOK_NODE_COUNT; ++i) {
    if (!isKeptSlot(i)) continue;
    if (i == slot || addressBook->sNode[i].dwRefIdx == static_cast<uint32_t>(slot)) return true;
  }
  for (const AddressBookDictionary* d : {&m_groups, &m_contacts}) {
    for (const auto& [key, e] : *d)
      if (e.readSlot == slot) return true;
  }
  return false;
}

namespace {

// The node an entry is written as: its slot as read with the values the user changed, or a new
// node for an entry an editor created.
FCL_RS_ADDRESS_BOOK_NODE nodeOf(const AddressBookEntry& e) {
  FCL_RS_ADDRESS_BOOK_NODE n;
  std::memset(&n, 0, sizeof n);
  const bool read = e.readNode.size() == static_cast<qsizetype>(sizeof n);
  if (read) std::memcpy(&n, e.readNode.constData(), sizeof n);
  else n.dwRefIdx = static_cast<uint32_t>(e.index - 1);
  n.dwNodeType = e.nodeType;
  n.dwGroupMask = e.groupMask;
  // A text that is still the one read from its field keeps the field's bytes.
  if (!read || e.name != platform::textFromField(n.szNodeName)) platform::textToField(n.szNodeName, e.name);
  if (!read || e.email != platform::textFromField(n.szEmailAddress)) platform::textToField(n.szEmailAddress, e.email);
  n.dwIsInShortcut = e.shortcut;
  return n;
}

}  // namespace

std::vector<int32_t> AddressBookControllerObjC::buildBook(FCL_RS_ADDRESS_BOOK& book) const {
  const QString name = op("buildBook:");
  std::vector<int32_t> unplaced;
  std::memcpy(&book, addressBook.get(), sizeof book);
  // The slots of the entries shown are filled again from the dictionaries (a deleted entry's
  // slot stays empty); kept and empty slots stay as they are.
  std::vector<bool> taken(FCL_ADDRESS_BOOK_NODE_COUNT, false);
  for (int i = 0; i < FCL_ADDRESS_BOOK_NODE_COUNT; ++i) {
    taken[i] = isKeptSlot(i);
    if (i < static_cast<int>(m_shownSlots.size()) && m_shownSlots[i])
      std::memset(&book.sNode[i], 0, sizeof book.sNode[i]);
  }
  // Read entries first, at their own slots; then the new ones at slot index-1, never over another.
  for (const bool readEntries : {true, false}) {
    for (const AddressBookDictionary* d : {&m_groups, &m_contacts}) {
      for (const auto& [key, e] : *d) {
        if ((e.readSlot >= 0) != readEntries) continue;
        const int slot = readEntries ? e.readSlot : e.index - 1;
        // An index without a slot is never written (the editors do not store one).
        if (slot < 0 || slot >= FCL_ADDRESS_BOOK_NODE_COUNT) continue;
        if (taken[slot]) {
          ut.debugMsg(kErrorLevel, QStringLiteral("========= %@ ERROR: slot %d is held; index %d not written\n"), name,
                      slot, e.index);
          unplaced.push_back(e.index);
          continue;
        }
        book.sNode[slot] = nodeOf(e);
        taken[slot] = true;
      }
    }
  }
  std::sort(unplaced.begin(), unplaced.end());
  return unplaced;
}

// ---- Tables ---------------------------------------------------------------------------------------------

void AddressBookControllerObjC::updateUI() {
  const QString name = op("updateUI");
  funcEnter(name);
  m_ui.groupModel->reload(m_ui.groupTable);
  m_ui.contactModel->reload(m_ui.contactTable);
  TableDataSource::fitColumns(m_ui.groupTable);
  TableDataSource::fitColumns(m_ui.contactTable);
  numberOfRowsInTableView(QString());  // the add buttons, also while both tables are empty
  tableViewSelectionDidChange();
  funcEnd(name);
}

int AddressBookControllerObjC::numberOfRowsInTableView(const QString& tableId) {
  const QString name = op("numberOfRowsInTableView:");
  funcEnter(name);
  const auto groups = static_cast<unsigned long>(m_groups.size());
  const auto contacts = static_cast<unsigned long>(m_contacts.size());
  // (The tables count their rows once while the page is being built, before the buttons exist.)
  if (m_ui.addGroupBtn != nullptr && m_ui.addContactBtn != nullptr) {
    m_ui.addGroupBtn->setEnabled(m_bookRead && groups < addressbook::kGroupCount &&
                                 groups + contacts < static_cast<unsigned long>(addressbook::kLastIndex));
    m_ui.addContactBtn->setEnabled(m_bookRead &&
                                   groups + contacts < static_cast<unsigned long>(addressbook::kLastIndex));
  }
  if (tableId == QLatin1String(kGroupTable)) {
    ut.debugMsg(kTraceLevel, QStringLiteral("\t\t\tgroup dictionary count %lu"), groups);
    funcEnd(name);
    return static_cast<int>(groups);
  }
  if (tableId == QLatin1String(kContactTable)) {
    ut.debugMsg(kTraceLevel, QStringLiteral("\t\t\tcontact dictionary count %lu"), contacts);
    funcEnd(name);
    return static_cast<int>(contacts);
  }
  funcEnd(name);
  return 0;
}

QString AddressBookControllerObjC::objectValue(const QString& tableId, const QString& columnTitle, int row) {
  const QString name = op("tableView:objectValueForTableColumn:row:");
  funcEnter(name);
  QString value = cellText(tableId, columnTitle, row);
  funcEnd(name);
  return value;
}

QString AddressBookControllerObjC::cellText(const QString& tableId, const QString& columnTitle, int row) const {
  const bool groupTable = tableId == QLatin1String(kGroupTable);
  if (!groupTable && tableId != QLatin1String(kContactTable)) return {};
  const AddressBookDictionary& d = groupTable ? m_groups : m_contacts;
  const int32_t key = addressbook::keyOfRow(d, row);
  const auto it = d.find(key);
  if (it == d.end()) return {};
  const AddressBookEntry& e = it->second;
  if (columnTitle == QLatin1String(kIndexTitle)) return QString::number(e.index);
  if (groupTable) {
    if (columnTitle == localized("IDS_AB_GROUP")) return groupString(static_cast<int32_t>(e.nodeType));
    if (columnTitle == localized("IDS_AB_GROUP_NAME")) return e.name;
    if (columnTitle == localized("IDS_AB_CONTACT")) return contactsString(e.index);
    return {};
  }
  if (columnTitle == localized("IDS_AB_NAME")) return e.name;
  if (columnTitle == localized("IDS_AB_EMAIL")) return e.email;
  if (columnTitle == localized("IDS_AB_GROUP")) return maskToString(e.groupMask);
  return {};
}

void AddressBookControllerObjC::tableViewSelectionDidChange() {
  const QString name = op("tableViewSelectionDidChange:");
  funcEnter(name);
  const bool group = m_bookRead && TableDataSource::selectedRow(m_ui.groupTable) >= 0;
  const bool contact = m_bookRead && TableDataSource::selectedRow(m_ui.contactTable) >= 0;
  m_ui.delGroupBtn->setEnabled(group);
  m_ui.editGroupBtn->setEnabled(group);
  m_ui.delContactBtn->setEnabled(contact);
  m_ui.editContactBtn->setEnabled(contact);
  funcEnd(name);
}

// ---- Text helpers -----------------------------------------------------------------------------------------

// The helpers have no page of their own to trace through: a trace with the page's bracket run logs for them.
QString AddressBookControllerObjC::groupString(int32_t group) {
  const QString name = op("groupString:");
  const PageTrace trace(kTraceBrackets);
  trace.enter(name);
  const QString text = group < 1 || group > addressbook::kGroupCount ? QString() : QStringLiteral("Group %1").arg(group);
  trace.end(name);
  return text;
}

QString AddressBookControllerObjC::maskToString(uint32_t mask) {
  const QString name = op("maskToString:");
  const PageTrace trace(kTraceBrackets);
  trace.enter(name);
  QString text;
  for (int32_t n = 1; n <= addressbook::kGroupCount; ++n) {
    if ((mask & addressbook::maskMap(n)) != 0) text = platform::formatText(QStringLiteral("%@ %d"), {text, n});
  }
  trace.end(name);
  return text;
}

int32_t AddressBookControllerObjC::maskMap(int32_t group) {
  const QString name = op("maskMap:");
  const PageTrace trace(kTraceBrackets);
  trace.enter(name);
  const auto mask = static_cast<int32_t>(addressbook::maskMap(group));
  trace.end(name);
  return mask;
}

QString AddressBookControllerObjC::contactsString(int32_t groupIndex) const {
  const QString name = op("contactsString:");
  funcEnter(name);
  QString text;
  if (const auto group = m_groups.find(groupIndex); group != m_groups.end()) {
    const uint32_t bit = addressbook::maskMap(static_cast<int32_t>(group->second.nodeType));
    for (const auto& [key, c] : m_contacts) {
      if (c.nodeType == FCL_NODE_TYPE_CONTACT && (c.groupMask & bit) != 0)
        text = platform::formatText(QStringLiteral("%@ %@"), {text, c.listedName()});
    }
  }
  funcEnd(name);
  return text;
}

// ---- Deleting -----------------------------------------------------------------------------------------------

void AddressBookControllerObjC::deleteGroup() {
  const QString name = op("deleteGroup:");
  funcEnter(name);
  const int row = TableDataSource::selectedRow(m_ui.groupTable);
  if (row < 0 || !m_bookRead) {
    ut.debugMsg(kTraceLevel, QStringLiteral("deleteGroup did not select a row"));
    updateUI();
    funcEnd(name);
    return;
  }
  const int32_t key = addressbook::keyOfRow(m_groups, row);
  const AddressBookEntry entry = m_groups.at(key);
  if (entry.shortcut == 1) {
    funcErr(name, QStringLiteral("Group is in short cut"));
    ut.message(localized("IDS_AB_CONTACT_IN_SHORTCUT_MSG"), localized("IDS_AB_CONTACT_IN_SHORTCUT_INFO"), false);
    return;
  }
  m_groups.erase(key);
  if (const uint32_t bit = addressbook::maskMap(static_cast<int32_t>(entry.nodeType)); bit != 0) {
    for (auto& [k, c] : m_contacts) c = c.withMask(c.groupMask & ~bit);
  }
  updateUI();
  funcEnd(name);
}

void AddressBookControllerObjC::deleteContact() {
  const QString name = op("deleteContact:");
  funcEnter(name);
  const int row = TableDataSource::selectedRow(m_ui.contactTable);
  if (row < 0 || !m_bookRead) {
    ut.debugMsg(kTraceLevel, QStringLiteral("deleteContact did not select a row"));
    updateUI();
    funcEnd(name);
    return;
  }
  const int32_t key = addressbook::keyOfRow(m_contacts, row);
  if (m_contacts.at(key).shortcut == 1) {
    funcErr(name, QStringLiteral("Contact is in short cut"));
    ut.message(localized("IDS_AB_CONTACT_IN_SHORTCUT_MSG"), localized("IDS_AB_CONTACT_IN_SHORTCUT_INFO"), false);
    return;
  }
  m_contacts.erase(key);
  updateUI();
  funcEnd(name);
}

// ---- Opening the editors ----------------------------------------------------------------------------------

bool AddressBookControllerObjC::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == m_ui.groupTable || watched == m_ui.contactTable)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    auto* table = static_cast<QTableView*>(watched);
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && TableDataSource::selectedRow(table) >= 0) {
      if (table == m_ui.groupTable) doubleClickGroupRow();
      else doubleClickContactRow();
      return true;
    }
  }
  return PageController::eventFilter(watched, event);
}

void AddressBookControllerObjC::doubleClickGroupRow() {
  const QString name = op("doubleClickGroupRow:");
  funcEnter(name);
  presentEditor(QString::fromLatin1(kAddressGroupEditorId), QString::fromLatin1(kEditGroupButton));
  funcEnd(name);
}

void AddressBookControllerObjC::doubleClickContactRow() {
  const QString name = op("doubleClickContactRow:");
  funcEnter(name);
  presentEditor(QString::fromLatin1(kAddressContactEditorId), QString::fromLatin1(kEditContactButton));
  funcEnd(name);
}

void AddressBookControllerObjC::openEditor(const QString& buttonIdentifier) {
  const QString name = op("openEditor:");
  funcEnter(name);
  const bool group = buttonIdentifier == QLatin1String(kAddGroupButton) ||
                     buttonIdentifier == QLatin1String(kEditGroupButton);
  presentEditor(QString::fromLatin1(group ? kAddressGroupEditorId : kAddressContactEditorId), buttonIdentifier);
  funcEnd(name);
}

void AddressBookControllerObjC::presentEditor(const QString& storyboardId, const QString& buttonIdentifier) {
  // Only a book that was read can be edited (the buttons are disabled otherwise; a double-click
  // on an empty table hits no row).
  if (!m_bookRead) return;
  // The editor asks for a selected row before it is created, so no window opens without one.
  const bool edit = buttonIdentifier == QLatin1String(kEditGroupButton) ||
                    buttonIdentifier == QLatin1String(kEditContactButton);
  QTableView* table = buttonIdentifier == QLatin1String(kEditGroupButton) ? m_ui.groupTable : m_ui.contactTable;
  if (edit && TableDataSource::selectedRow(table) < 0) {
    ut.debugMsg(kTraceLevel, QStringLiteral("Did not select a row"));
    return;
  }
  std::unique_ptr<QDialog> editor = PageFactory::standard().createEditor(storyboardId, window());
  if (!editor || !prepareForSegue(buttonIdentifier, editor.get())) return;
  m_presenter(*editor);
}

bool AddressBookControllerObjC::prepareForSegue(const QString& buttonIdentifier, QDialog* editor) {
  const QString name = op("prepareForSegue:sender:");
  funcEnter(name);
  bool prepared = false;
  if (buttonIdentifier == QLatin1String(kAddGroupButton) || buttonIdentifier == QLatin1String(kEditGroupButton)) {
    auto* group = qobject_cast<AddressBookGroupControllerObjC*>(editor);
    const int row = TableDataSource::selectedRow(m_ui.groupTable);
    if (group == nullptr) {
      funcErr(name, QStringLiteral("not a group editor"));
    } else if (buttonIdentifier == QLatin1String(kAddGroupButton)) {
      group->setAddressBookVC(this);
      group->addGroup(&m_groups, &m_contacts);
      prepared = true;
    } else if (row < 0) {
      ut.debugMsg(kTraceLevel, QStringLiteral("Did not select a row"));
    } else {
      group->setAddressBookVC(this);
      group->editGroup(&m_groups, &m_contacts, addressbook::keyOfRow(m_groups, row));
      prepared = true;
    }
  } else if (buttonIdentifier == QLatin1String(kAddContactButton) ||
             buttonIdentifier == QLatin1String(kEditContactButton)) {
    auto* contact = qobject_cast<AddressBookContactControllerObjC*>(editor);
    const int row = TableDataSource::selectedRow(m_ui.contactTable);
    if (contact == nullptr) {
      funcErr(name, QStringLiteral("not a contact editor"));
    } else if (buttonIdentifier == QLatin1String(kAddContactButton)) {
      contact->setAddressBookVC(this);
      contact->addContact(&m_groups, &m_contacts);
      prepared = true;
    } else if (row < 0) {
      ut.debugMsg(kTraceLevel, QStringLiteral("Did not select a row"));
    } else {
      contact->setAddressBookVC(this);
      contact->editContact(&m_groups, &m_contacts, addressbook::keyOfRow(m_contacts, row));
      prepared = true;
    }
  }
  funcEnd(name);
  return prepared;
}

// ---- Trace -----------------------------------------------------------------------------------------------------

void AddressBookControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void AddressBookControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }

void AddressBookControllerObjC::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
