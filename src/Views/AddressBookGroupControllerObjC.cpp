#include "Views/AddressBookGroupControllerObjC.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "Model/Utilities.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/PageLayout.h"
#include "Views/PageTrace.h"
#include "Views/TableDataSource.h"
#include "platform/NumberText.h"
#include "platform/widgets/PopUpButton.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;

}  // namespace

const AddressBookEditorBase::Variant AddressBookGroupControllerObjC::kVariant{
    "AddressBookGroupControllerObjC",
    true,  // isIndexExist answers YES for an index outside 1..300
};

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

AddressBookGroupControllerObjC::AddressBookGroupControllerObjC(QWidget* parent)
    : AddressBookEditorBase(kVariant, parent) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  setObjectName(QStringLiteral("VID_ADDRESS_GROUP"));
  setModal(true);
  buildLayout();
  initLocalizedString();
  m_ui.ltrBtn->setEnabled(false);
  m_ui.rtlBtn->setEnabled(false);
  m_ui.btnCreate->setEnabled(false);

  connect(m_ui.nameText, &QLineEdit::textEdited, this, &AddressBookGroupControllerObjC::controlTextDidChange);
  connectCommon();
  connect(m_ui.contactTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddressBookGroupControllerObjC::tableViewSelectionDidChange);
  connect(m_ui.memberTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddressBookGroupControllerObjC::tableViewSelectionDidChange);
  connect(m_ui.contactTable, &QTableView::doubleClicked, this, &AddressBookGroupControllerObjC::doubleClickContact);
  connect(m_ui.memberTable, &QTableView::doubleClicked, this, &AddressBookGroupControllerObjC::doubleClickMember);
  for (QTableView* table : {m_ui.contactTable, m_ui.memberTable}) {
    table->horizontalHeader()->setSectionsClickable(true);
    connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &AddressBookGroupControllerObjC::didClickTableColumn);
  }
  connect(m_ui.ltrBtn, &QPushButton::clicked, this, &AddressBookGroupControllerObjC::leftToRightBtnPushed);
  connect(m_ui.rtlBtn, &QPushButton::clicked, this, &AddressBookGroupControllerObjC::rightToLeftBtnPushed);
  funcEnd(name);
}

AddressBookGroupControllerObjC::~AddressBookGroupControllerObjC() {
  // The tables must not ask this part of the object for rows once it is gone; the base class
  // cuts the controls' other connections.
  m_ui.contactModel->detach();
  m_ui.memberModel->detach();
}

void AddressBookGroupControllerObjC::buildLayout() {
  QVBoxLayout* outer = newOuterLayout();
  QFormLayout* form = newFormLayout();
  addIndexRow(form, m_ui);
  m_ui.labelGroup = pagelayout::plainLabel(this);
  m_ui.contactType = new platform::PopUpButton(this);
  for (int i = 0; i <= addressbook::kGroupCount; ++i) m_ui.contactType->addItem(QString());
  form->addRow(m_ui.labelGroup, m_ui.contactType);
  addNameRow(form, m_ui, 220);
  outer->addLayout(form);

  const auto table = [this](const char* id, TableDataSource*& model) {
    model = new TableDataSource(
        QString::fromLatin1(id), {QString()}, [this](const QString& t) { return numberOfRowsInTableView(t); },
        [this](const QString& t, const QString& title, int row) { return objectValue(t, title, row); }, this);
    QTableView* view = TableDataSource::makeTableView(this, QString::fromLatin1(id), model);
    view->setMinimumSize(200, 220);
    return view;
  };
  auto* lists = new QHBoxLayout;
  m_ui.contactTable = table(kContactTable, m_ui.contactModel);
  m_ui.memberTable = table(kMemberTable, m_ui.memberModel);
  auto* moves = new QVBoxLayout;
  moves->addStretch(1);
  m_ui.ltrBtn = new QPushButton(QStringLiteral("→"), this);
  m_ui.rtlBtn = new QPushButton(QStringLiteral("←"), this);
  for (QPushButton* b : {m_ui.ltrBtn, m_ui.rtlBtn}) {
    b->setAutoDefault(false);
    b->setFixedWidth(44);
    moves->addWidget(b);
  }
  m_ui.ltrBtn->setObjectName(QStringLiteral("ltrBtn"));
  m_ui.rtlBtn->setObjectName(QStringLiteral("rtlBtn"));
  moves->addStretch(1);
  lists->addWidget(m_ui.contactTable, 1);
  lists->addLayout(moves);
  lists->addWidget(m_ui.memberTable, 1);
  outer->addLayout(lists, 1);
  addButtonRow(outer, m_ui);
}

void AddressBookGroupControllerObjC::initLocalizedString() {
  initCommonTexts("IDS_AB_GROUP");
  m_ui.labelGroup->setText(pagelayout::labelText("IDS_AB_GROUP"));
  m_ui.contactModel->setColumnTitle(0, localized("IDS_AB_CONTACT"));
  m_ui.memberModel->setColumnTitle(0, localized("IDS_AB_MEMBERS"));
  for (int n = 1; n <= addressbook::kGroupCount; ++n)
    m_ui.contactType->setItemTitle(n, genericGroupTitle(n));
}

// ---- Mode ------------------------------------------------------------------------------------------------

void AddressBookGroupControllerObjC::addGroup(AddressBookDictionary* groups, AddressBookDictionary* contacts) {
  takeDictionaries("addGroup:contact:", groups, contacts, std::nullopt);
}

void AddressBookGroupControllerObjC::editGroup(AddressBookDictionary* groups, AddressBookDictionary* contacts,
                                               int32_t key) {
  takeDictionaries("editGroup:contact:key:", groups, contacts, key);
}

void AddressBookGroupControllerObjC::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_filled) {
    m_members.clear();
    m_nonMembers.clear();
    m_ui.contactType->setItemHidden(0, true);
    updateUI();
  }
}

// ---- Filling the window --------------------------------------------------------------------------------

void AddressBookGroupControllerObjC::updateUI() {
  const QString name = op("updateUI");
  funcEnter(name);
  m_filled = true;
  if (groupDictionary == nullptr || contactDictionary == nullptr) {
    funcErr(name, QStringLiteral("no dictionaries"));
    return;
  }
  m_ui.contactType->setItemHidden(0, true);
  if (editedKey && groupDictionary->find(*editedKey) == groupDictionary->end()) {
    funcErr(name, QStringLiteral("the group to edit is gone; adding instead"));
    editedKey.reset();
  }
  for (const auto& [key, group] : *groupDictionary) {
    if (editedKey && key == *editedKey) continue;
    const auto n = static_cast<int>(group.nodeType);
    if (n >= 1 && n <= addressbook::kGroupCount) m_ui.contactType->setItemHidden(n, true);
  }

  if (editedKey) {
    const AddressBookEntry& g = groupDictionary->at(*editedKey);
    m_ui.btnCreate->setText(localized("IDS_RS_OK"));
    m_ui.indexText->setText(QString::number(g.index));
    m_ui.indexText->setEnabled(false);
    m_ui.nameText->setText(g.name);
    m_ui.contactType->selectItem(static_cast<int>(g.nodeType));
  } else {
    m_ui.indexText->setText(QString::number(firstEmptyIndex()));
    m_ui.indexText->setEnabled(true);
    m_ui.nameText->clear();
    m_ui.contactType->selectItem(firstEmptyGroup());
  }
  updateTable();
  m_asOpened.clear();
  m_asOpened.remember({m_ui.indexText, m_ui.nameText});
  m_membersAsOpened = memberKeys();
  // A new group has no members yet (Create off); an edited one can be stored as it is.
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::updateTable() {
  const QString name = op("updateTable");
  funcEnter(name);
  m_members.clear();
  m_nonMembers.clear();
  int32_t group = 0;
  if (editedKey) {
    if (const auto it = groupDictionary->find(*editedKey); it != groupDictionary->end())
      group = static_cast<int32_t>(it->second.nodeType);
  }
  const uint32_t bit = addressbook::maskMap(group);
  for (const auto& [key, c] : *contactDictionary) {
    if (c.nodeType != FCL_NODE_TYPE_CONTACT) continue;
    ((c.groupMask & bit) != 0 ? m_members : m_nonMembers)[key] = c;
  }
  reloadTables();
  funcEnd(name);
}

QList<int32_t> AddressBookGroupControllerObjC::memberKeys() const {
  QList<int32_t> keys;
  for (const auto& [key, c] : m_members) keys.append(key);
  return keys;
}

void AddressBookGroupControllerObjC::reloadTables() {
  m_ui.contactModel->reload(m_ui.contactTable);
  m_ui.memberModel->reload(m_ui.memberTable);
  tableViewSelectionDidChange();
}

// ---- Create button and typing --------------------------------------------------------------------------

bool AddressBookGroupControllerObjC::isAnyTextFieldEmpty() const {
  const QString name = op("isAnyTextFieldEmpty");
  funcEnter(name);
  // An edited group's name and members as read count as filled in, also when empty.
  const auto emptied = [this](const QLineEdit* field) { return mustCheck(field) && field->text().isEmpty(); };
  const bool membersChanged = !isEditMode() || memberKeys() != m_membersAsOpened;
  const bool empty = emptied(m_ui.nameText) || emptied(m_ui.indexText) || (membersChanged && m_members.empty());
  funcEnd(name);
  return empty;
}

void AddressBookGroupControllerObjC::controlTextDidChange() {
  filterNameField();
  // After the filter: a name that was only removed characters is empty, and Create says so.
  m_ui.btnCreate->setEnabled(!isAnyTextFieldEmpty());
}

// ---- Tables and moves ----------------------------------------------------------------------------------------

int AddressBookGroupControllerObjC::numberOfRowsInTableView(const QString& tableId) {
  const QString name = op("numberOfRowsInTableView:");
  funcEnter(name);
  if (tableId == QLatin1String(kContactTable)) {
    ut.debugMsg(kTraceLevel, QStringLiteral("group dictionary count %lu"), static_cast<unsigned long>(m_nonMembers.size()));
    funcEnd(name);
    return static_cast<int>(m_nonMembers.size());
  }
  if (tableId == QLatin1String(kMemberTable)) {
    ut.debugMsg(kTraceLevel, QStringLiteral("contact dictionary count %lu"), static_cast<unsigned long>(m_members.size()));
    funcEnd(name);
    return static_cast<int>(m_members.size());
  }
  funcEnd(name);
  return 0;
}

QString AddressBookGroupControllerObjC::objectValue(const QString& tableId, const QString& columnTitle, int row) {
  const QString name = op("tableView:objectValueForTableColumn:row:");
  funcEnter(name);
  const AddressBookDictionary* d = nullptr;
  if (tableId == QLatin1String(kContactTable) && columnTitle == localized("IDS_AB_CONTACT")) d = &m_nonMembers;
  if (tableId == QLatin1String(kMemberTable) && columnTitle == localized("IDS_AB_MEMBERS")) d = &m_members;
  if (d == nullptr) {
    funcEnd(name);
    return {};
  }
  const auto it = d->find(addressbook::keyOfRow(*d, row));
  funcEnd(name);
  return it == d->end() ? QString() : it->second.listedName();
}

void AddressBookGroupControllerObjC::tableViewSelectionDidChange() {
  const QString name = op("tableViewSelectionDidChange:");
  funcEnter(name);
  m_ui.ltrBtn->setEnabled(TableDataSource::selectedRow(m_ui.contactTable) >= 0);
  m_ui.rtlBtn->setEnabled(TableDataSource::selectedRow(m_ui.memberTable) >= 0);
  funcEnd(name);
}

void AddressBookGroupControllerObjC::didClickTableColumn() {
  traced("tableView:didClickTableColumn:", [] {});
}

void AddressBookGroupControllerObjC::leftToRight() {
  const QString name = op("leftToRight");
  funcEnter(name);
  const int row = TableDataSource::selectedRow(m_ui.contactTable);
  if (row < 0) {
    funcErr(name, QStringLiteral("ERROR: leftToRightBtnPushed but _contactTable selectedRow = -1."));
    return;
  }
  const int32_t key = addressbook::keyOfRow(m_nonMembers, row);
  m_members[key] = m_nonMembers.at(key);
  m_nonMembers.erase(key);
  reloadTables();
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::rightToLeft() {
  const QString name = op("rightToLeft");
  funcEnter(name);
  const int row = TableDataSource::selectedRow(m_ui.memberTable);
  if (row < 0) {
    funcErr(name, QStringLiteral("ERROR: rightToLeftBtnPushed but _memberTable selectedRow = -1."));
    return;
  }
  const int32_t key = addressbook::keyOfRow(m_members, row);
  m_nonMembers[key] = m_members.at(key);
  m_members.erase(key);
  reloadTables();
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::leftToRightBtnPushed() {
  traced("leftToRightBtnPushed:", [this] { leftToRight(); });
}

void AddressBookGroupControllerObjC::rightToLeftBtnPushed() {
  traced("rightToLeftBtnPushed:", [this] { rightToLeft(); });
}

void AddressBookGroupControllerObjC::doubleClickContact() {
  traced("doubleClickContact:", [this] { leftToRight(); });
}

void AddressBookGroupControllerObjC::doubleClickMember() {
  traced("doubleClickMember:", [this] { rightToLeft(); });
}

// ---- Free group number ------------------------------------------------------------------------------

bool AddressBookGroupControllerObjC::isGroupExist(int32_t group) const {
  const QString name = op("isGroupExist:");
  funcEnter(name);
  const bool exists = groupDictionary != nullptr &&
                      std::any_of(groupDictionary->begin(), groupDictionary->end(), [group](const auto& kv) {
                        return kv.second.nodeType == static_cast<uint32_t>(group);
                      });
  funcEnd(name);
  return exists;
}

int32_t AddressBookGroupControllerObjC::firstEmptyGroup() const {
  const QString name = op("firstEmptyGroup");
  funcEnter(name);
  for (int32_t n = 1; n <= addressbook::kGroupCount; ++n)
    if (!isGroupExist(n)) {
      funcEnd(name);
      return n;
    }
  funcEnd(name);
  return 0;
}

// ---- Create / OK and Cancel --------------------------------------------------------------------------------

bool AddressBookGroupControllerObjC::acceptsInput() {
  const int group = m_ui.contactType->indexOfSelectedItem();
  if (group < 1 || group > addressbook::kGroupCount) {
    funcErr(op("checkIndex"), QStringLiteral("no group number chosen"));
    ut.message(localized("IDS_CM_ERROR"),
               outOfRangeText({localized("IDS_AB_GROUP"), rangeText(1, addressbook::kGroupCount)}), false);
    return false;
  }
  return checkIndex();
}

void AddressBookGroupControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  if (groupDictionary == nullptr || contactDictionary == nullptr) return;
  const int32_t newGroup = m_ui.contactType->indexOfSelectedItem();
  const int32_t index = platform::intValue(m_ui.indexText->text());
  int32_t oldGroup = 0;
  // A new group carries mask 0 and no e-mail address; an edited one keeps what the editor does
  // not show (its mask, e-mail address, shortcut flag, and the slot and bytes it was read with).
  AddressBookEntry group;
  if (editedKey) {
    group = groupDictionary->at(*editedKey);
    if (group.nodeType != static_cast<uint32_t>(newGroup)) oldGroup = static_cast<int32_t>(group.nodeType);
  }
  group.index = index;
  group.nodeType = static_cast<uint32_t>(newGroup);
  group.name = m_ui.nameText->text();

  const uint32_t oldBit = addressbook::maskMap(oldGroup);
  const uint32_t newBit = addressbook::maskMap(newGroup);
  for (auto& [key, c] : m_nonMembers) c = c.withMask(c.groupMask & ~oldBit & ~newBit);
  for (auto& [key, c] : m_members) c = c.withMask((c.groupMask & ~oldBit) | newBit);

  (*groupDictionary)[index] = group;
  contactDictionary->clear();
  for (const auto& [key, c] : m_nonMembers) (*contactDictionary)[key] = c;
  for (const auto& [key, c] : m_members) (*contactDictionary)[key] = c;
  funcEnd(name);
}
