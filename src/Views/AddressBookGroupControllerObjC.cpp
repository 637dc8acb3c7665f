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
#include "Views/TableDataSource.h"
#include "platform/Localizer.h"
#include "platform/NumberText.h"
#include "platform/widgets/PopUpButton.h"

namespace {

constexpr int32_t kTraceLevel = 0x40;
constexpr int32_t kErrorLevel = 0x02;

QString op(const char* selector) {
  return QStringLiteral("-[AddressBookGroupControllerObjC %1]").arg(QLatin1String(selector));
}

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

AddressBookGroupControllerObjC::AddressBookGroupControllerObjC(QWidget* parent)
    : QDialog(parent), ut(Utilities::sharedInstance()) {
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
  connect(m_ui.nameText, &QLineEdit::editingFinished, this, &AddressBookGroupControllerObjC::nameTextTyping);
  // The index field's action; its edits are evaluated as they happen too, so that an emptied
  // index disables Create at once.
  connect(m_ui.indexText, &QLineEdit::editingFinished, this, &AddressBookGroupControllerObjC::indexTextTyping);
  connect(m_ui.indexText, &QLineEdit::textEdited, this, &AddressBookGroupControllerObjC::indexTextTyping);
  connect(m_ui.contactTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddressBookGroupControllerObjC::tableViewSelectionDidChange);
  connect(m_ui.memberTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddressBookGroupControllerObjC::tableViewSelectionDidChange);
  connect(m_ui.contactTable, &QTableView::doubleClicked, this, &AddressBookGroupControllerObjC::doubleClickContact);
  connect(m_ui.memberTable, &QTableView::doubleClicked, this, &AddressBookGroupControllerObjC::doubleClickMember);
  connect(m_ui.ltrBtn, &QPushButton::clicked, this, &AddressBookGroupControllerObjC::leftToRightBtnPushed);
  connect(m_ui.rtlBtn, &QPushButton::clicked, this, &AddressBookGroupControllerObjC::rightToLeftBtnPushed);
  connect(m_ui.btnCreate, &QPushButton::clicked, this, &AddressBookGroupControllerObjC::CreateBtnPushed);
  connect(m_ui.btnCancel, &QPushButton::clicked, this, &AddressBookGroupControllerObjC::CancelBtnPushed);
  funcEnd(name);
}

AddressBookGroupControllerObjC::~AddressBookGroupControllerObjC() {
  // The base class deletes the controls after this part of the object is gone; until then they
  // must not call back into it (a table counting its rows, a field losing the focus).
  m_ui.contactModel->detach();
  m_ui.memberModel->detach();
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

void AddressBookGroupControllerObjC::buildLayout() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(16, 14, 16, 12);
  outer->setSpacing(10);

  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  m_ui.labelIndex = pagelayout::plainLabel(this);
  m_ui.indexText = new QLineEdit(this);
  m_ui.indexText->setFixedWidth(64);
  form->addRow(m_ui.labelIndex, m_ui.indexText);
  m_ui.labelGroup = pagelayout::plainLabel(this);
  m_ui.contactType = new platform::PopUpButton(this);
  for (int i = 0; i <= addressbook::kGroupCount; ++i) m_ui.contactType->addItem(QString());
  form->addRow(m_ui.labelGroup, m_ui.contactType);
  m_ui.labelName = pagelayout::plainLabel(this);
  m_ui.nameText = new QLineEdit(this);
  m_ui.nameText->setFixedWidth(220);
  form->addRow(m_ui.labelName, m_ui.nameText);
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

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  m_ui.btnCancel = new QPushButton(this);
  m_ui.btnCancel->setAutoDefault(false);
  m_ui.btnCreate = new QPushButton(this);
  m_ui.btnCreate->setDefault(true);
  buttons->addWidget(m_ui.btnCancel);
  buttons->addWidget(m_ui.btnCreate);
  outer->addLayout(buttons);
}

void AddressBookGroupControllerObjC::initLocalizedString() {
  setWindowTitle(localized("IDS_AB_GROUP"));
  m_ui.labelIndex->setText(QStringLiteral("Index"));
  m_ui.labelGroup->setText(localized("IDS_AB_GROUP"));
  m_ui.labelName->setText(localized("IDS_AB_NAME"));
  m_ui.btnCreate->setText(localized("IDS_AB_CREATE"));
  m_ui.btnCancel->setText(localized("IDS_AB_CANCEL"));
  m_ui.contactModel->setColumnTitle(0, localized("IDS_AB_CONTACT"));
  m_ui.memberModel->setColumnTitle(0, localized("IDS_AB_MEMBERS"));
  for (int n = 1; n <= addressbook::kGroupCount; ++n)
    m_ui.contactType->setItemTitle(n, platform::formatText(QStringLiteral("%@ %d"), {localized("IDS_AB_GROUP"), n}));
}

// ---- Mode ------------------------------------------------------------------------------------------------

void AddressBookGroupControllerObjC::addGroup(AddressBookDictionary* groups, AddressBookDictionary* contacts) {
  const QString name = op("addGroup:contact:");
  funcEnter(name);
  groupDictionary = groups;
  contactDictionary = contacts;
  groupKey.reset();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::editGroup(AddressBookDictionary* groups, AddressBookDictionary* contacts,
                                               int32_t key) {
  const QString name = op("editGroup:contact:key:");
  funcEnter(name);
  groupDictionary = groups;
  contactDictionary = contacts;
  groupKey = key;
  funcEnd(name);
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
  if (groupKey && groupDictionary->find(*groupKey) == groupDictionary->end()) {
    funcErr(name, QStringLiteral("the group to edit is gone; adding instead"));
    groupKey.reset();
  }
  for (const auto& [key, group] : *groupDictionary) {
    if (groupKey && key == *groupKey) continue;
    const auto n = static_cast<int>(group.nodeType);
    if (n >= 1 && n <= addressbook::kGroupCount) m_ui.contactType->setItemHidden(n, true);
  }

  if (groupKey) {
    const AddressBookEntry& g = groupDictionary->at(*groupKey);
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
  detectCreateBtn();  // no members yet: disabled in both modes
  updateTable();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::updateTable() {
  const QString name = op("updateTable");
  funcEnter(name);
  m_members.clear();
  m_nonMembers.clear();
  int32_t group = 0;
  if (groupKey) {
    if (const auto it = groupDictionary->find(*groupKey); it != groupDictionary->end())
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

void AddressBookGroupControllerObjC::reloadTables() {
  m_ui.contactModel->reload(m_ui.contactTable);
  m_ui.memberModel->reload(m_ui.memberTable);
  tableViewSelectionDidChange();
}

// ---- Create button and typing --------------------------------------------------------------------------

bool AddressBookGroupControllerObjC::isAnyTextFieldEmpty() const {
  const QString name = op("isAnyTextFieldEmpty");
  funcEnter(name);
  const bool empty = m_ui.nameText->text().isEmpty() || m_ui.indexText->text().isEmpty() || m_members.empty();
  funcEnd(name);
  return empty;
}

void AddressBookGroupControllerObjC::detectCreateBtn() {
  const QString name = op("detectCreateBtn");
  funcEnter(name);
  m_ui.btnCreate->setEnabled(!isAnyTextFieldEmpty());
  funcEnd(name);
}

void AddressBookGroupControllerObjC::controlTextDidChange() {
  QLineEdit* field = m_ui.nameText;
  const QString typed = field->text();
  const QString cleaned = Utilities::stripRemoveSpecialWordFrom(addressbook::cutToLimit(typed, addressbook::kNameLimit));
  if (cleaned != typed) {
    const int cursor = std::min<int>(
        cleaned.size(), Utilities::stripRemoveSpecialWordFrom(typed.left(field->cursorPosition())).size());
    field->setText(cleaned);
    field->setCursorPosition(cursor);
  }
  // After the filter: a name that was only removed characters is empty, and Create says so.
  m_ui.btnCreate->setEnabled(!isAnyTextFieldEmpty());
}

void AddressBookGroupControllerObjC::indexTextTyping() {
  const QString name = op("indexTextTyping:");
  funcEnter(name);
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::nameTextTyping() {
  const QString name = op("nameTextTyping:");
  funcEnter(name);
  detectCreateBtn();
  funcEnd(name);
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
  const QString name = op("leftToRightBtnPushed:");
  funcEnter(name);
  leftToRight();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::rightToLeftBtnPushed() {
  const QString name = op("rightToLeftBtnPushed:");
  funcEnter(name);
  rightToLeft();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::doubleClickContact() {
  const QString name = op("doubleClickContact:");
  funcEnter(name);
  leftToRight();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::doubleClickMember() {
  const QString name = op("doubleClickMember:");
  funcEnter(name);
  rightToLeft();
  funcEnd(name);
}

// ---- Free group number and free index ------------------------------------------------------------------------

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

bool AddressBookGroupControllerObjC::isIndexExist(int32_t index) const {
  const QString name = op("isIndexExist:");
  funcEnter(name);
  if (index < addressbook::kFirstIndex || index > addressbook::kLastIndex) {
    funcEnd(name);
    return true;
  }
  for (const AddressBookDictionary* d : {groupDictionary, contactDictionary}) {
    if (d == nullptr) continue;
    for (const auto& [key, e] : *d)
      if (e.index == index) {
        funcEnd(name);
        return true;
      }
  }
  funcEnd(name);
  return false;
}

int32_t AddressBookGroupControllerObjC::firstEmptyIndex() const {
  const QString name = op("firstEmptyIndex");
  funcEnter(name);
  for (int32_t n = addressbook::kFirstIndex; n <= addressbook::kLastIndex; ++n)
    if (!isIndexExist(n)) {
      funcEnd(name);
      return n;
    }
  funcEnd(name);
  return 0;
}

// ---- Create / OK and Cancel --------------------------------------------------------------------------------

bool AddressBookGroupControllerObjC::checkIndex() {
  const QString name = op("checkIndex");
  const int group = m_ui.contactType->indexOfSelectedItem();
  if (group < 1 || group > addressbook::kGroupCount) {
    funcErr(name, QStringLiteral("no group number chosen"));
    ut.message(localized("IDS_CM_ERROR"), localized("IDS_OUT_OF_RANGE_ERR_MSG"), false);
    return false;
  }
  if (isEditMode()) return true;  // the edited group's own index, not editable
  const int32_t index = platform::intValue(m_ui.indexText->text());
  if (index < addressbook::kFirstIndex || index > addressbook::kLastIndex) {
    funcErr(name, QStringLiteral("index %1 outside 1..300").arg(index));
    ut.message(localized("IDS_CM_ERROR"), localized("IDS_OUT_OF_RANGE_ERR_MSG"), false);
    m_ui.indexText->setFocus();
    return false;
  }
  if (isIndexExist(index)) {
    funcErr(name, QStringLiteral("index %1 is used").arg(index));
    ut.message(platform::formatText(localized("IDS_AB_INDEX_USED_MSG"), {index}), localized("IDS_AB_INDEX_USED_INFO"),
               false);
    m_ui.indexText->setFocus();
    return false;
  }
  return true;
}

void AddressBookGroupControllerObjC::CreateBtnPushed() {
  const QString name = op("CreateBtnPushed:");
  funcEnter(name);
  if (!checkIndex()) return;
  applyData();
  if (addressBookVC != nullptr) addressBookVC->updateUI();
  accept();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::CancelBtnPushed() {
  const QString name = op("CancelBtnPushed:");
  funcEnter(name);
  reject();
  funcEnd(name);
}

void AddressBookGroupControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  if (groupDictionary == nullptr || contactDictionary == nullptr) return;
  const int32_t newGroup = m_ui.contactType->indexOfSelectedItem();
  const int32_t index = platform::intValue(m_ui.indexText->text());
  int32_t oldGroup = 0;
  uint32_t shortcut = 0;
  if (groupKey) {
    const AddressBookEntry& edited = groupDictionary->at(*groupKey);
    shortcut = edited.shortcut;
    if (edited.nodeType != static_cast<uint32_t>(newGroup)) oldGroup = static_cast<int32_t>(edited.nodeType);
  }

  AddressBookEntry group;
  group.index = index;
  group.nodeType = static_cast<uint32_t>(newGroup);
  group.groupMask = 0;
  group.name = m_ui.nameText->text();
  group.shortcut = shortcut;

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

// ---- Trace -----------------------------------------------------------------------------------------------------

void AddressBookGroupControllerObjC::funcEnter(const QString& name) const {
  ut.debugMsg(kTraceLevel, QStringLiteral(">>>>>>>>> %@ ENTER"), name);
}

void AddressBookGroupControllerObjC::funcEnd(const QString& name) const {
  ut.debugMsg(kTraceLevel, QStringLiteral("<<<<<<<<< %@ END \n  "), name);
}

void AddressBookGroupControllerObjC::funcErr(const QString& name, const QString& message) const {
  ut.debugMsg(kErrorLevel, QStringLiteral("========= %@ ERROR: %@\n"), name, message);
}
