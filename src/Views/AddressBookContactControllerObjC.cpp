#include "Views/AddressBookContactControllerObjC.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Model/Utilities.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/PageLayout.h"
#include "platform/Localizer.h"
#include "platform/NumberText.h"

namespace {

constexpr int32_t kTraceLevel = 0x40;
constexpr int32_t kErrorLevel = 0x02;

QString op(const char* selector) {
  return QStringLiteral("-[AddressBookContactControllerObjC %1]").arg(QLatin1String(selector));
}

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

AddressBookContactControllerObjC::AddressBookContactControllerObjC(QWidget* parent)
    : QDialog(parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  setObjectName(QStringLiteral("VID_ADDRESS_CONTACT"));
  setModal(true);
  buildLayout();
  initLocalizedString();
  m_ui.btnCreate->setEnabled(false);

  for (QLineEdit* field : {m_ui.nameText, m_ui.emailText})
    connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
  // The fields' actions (Return, or leaving the field); the index field has no typing delegate,
  // so its edits are also evaluated as they happen, to keep Create in step with an emptied index.
  connect(m_ui.indexText, &QLineEdit::editingFinished, this, &AddressBookContactControllerObjC::indexTextTyping);
  connect(m_ui.indexText, &QLineEdit::textEdited, this, &AddressBookContactControllerObjC::indexTextTyping);
  connect(m_ui.nameText, &QLineEdit::editingFinished, this, &AddressBookContactControllerObjC::nameTextTyping);
  connect(m_ui.emailText, &QLineEdit::editingFinished, this, &AddressBookContactControllerObjC::emailTextTyping);
  for (QCheckBox* box : m_ui.groupCheck)
    connect(box, &QCheckBox::clicked, this, &AddressBookContactControllerObjC::groupBtnChecked);
  connect(m_ui.btnCreate, &QPushButton::clicked, this, &AddressBookContactControllerObjC::CreateBtnPushed);
  connect(m_ui.btnCancel, &QPushButton::clicked, this, &AddressBookContactControllerObjC::CancelBtnPushed);
  funcEnd(name);
}

AddressBookContactControllerObjC::~AddressBookContactControllerObjC() {
  // The base class deletes the controls after this part of the object is gone; until then they
  // must not call back into it (a table counting its rows, a field losing the focus).
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

void AddressBookContactControllerObjC::buildLayout() {
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
  m_ui.labelName = pagelayout::plainLabel(this);
  m_ui.nameText = new QLineEdit(this);
  m_ui.nameText->setFixedWidth(260);
  form->addRow(m_ui.labelName, m_ui.nameText);
  m_ui.labelEmail = pagelayout::plainLabel(this);
  m_ui.emailText = new QLineEdit(this);
  m_ui.emailText->setFixedWidth(260);
  form->addRow(m_ui.labelEmail, m_ui.emailText);
  outer->addLayout(form);

  // The 20 group boxes, four columns of five.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(4);
  for (int n = 1; n <= addressbook::kGroupCount; ++n) {
    auto* box = new QCheckBox(this);
    box->setObjectName(QStringLiteral("group%1Check").arg(n));
    box->setEnabled(false);  // until a group with this number exists
    m_ui.groupCheck[n - 1] = box;
    grid->addWidget(box, (n - 1) % 5, (n - 1) / 5);
  }
  outer->addLayout(grid);
  outer->addStretch(1);

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

void AddressBookContactControllerObjC::initLocalizedString() {
  setWindowTitle(localized("IDS_AB_CONTACT"));
  m_ui.labelIndex->setText(QStringLiteral("Index"));
  m_ui.labelName->setText(localized("IDS_AB_NAME"));
  m_ui.labelEmail->setText(localized("IDS_AB_EMAIL"));
  m_ui.btnCreate->setText(localized("IDS_AB_CREATE"));
  m_ui.btnCancel->setText(localized("IDS_AB_CANCEL"));
  for (int n = 1; n <= addressbook::kGroupCount; ++n)
    m_ui.groupCheck[n - 1]->setText(platform::formatText(QStringLiteral("%@ %d"), {localized("IDS_AB_GROUP"), n}));
}

// ---- Mode ------------------------------------------------------------------------------------------------

void AddressBookContactControllerObjC::addContact(AddressBookDictionary* groups, AddressBookDictionary* contacts) {
  const QString name = op("addContact:contact:");
  funcEnter(name);
  groupDictionary = groups;
  contactDictionary = contacts;
  contactKey.reset();
  funcEnd(name);
}

void AddressBookContactControllerObjC::editContact(AddressBookDictionary* groups, AddressBookDictionary* contacts,
                                                   int32_t key) {
  const QString name = op("editContact:contact:key:");
  funcEnter(name);
  groupDictionary = groups;
  contactDictionary = contacts;
  contactKey = key;
  funcEnd(name);
}

void AddressBookContactControllerObjC::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_filled) {
    m_filled = true;
    updateUI();
  }
}

// ---- Filling the window --------------------------------------------------------------------------------

void AddressBookContactControllerObjC::updateUI() {
  const QString name = op("updateUI");
  funcEnter(name);
  m_filled = true;
  if (groupDictionary == nullptr || contactDictionary == nullptr) {
    funcErr(name, QStringLiteral("no dictionaries"));
    return;
  }
  for (const auto& [key, group] : *groupDictionary) {
    const auto n = static_cast<int32_t>(group.nodeType);
    if (n < 1 || n > addressbook::kGroupCount) continue;
    m_ui.groupCheck[n - 1]->setEnabled(true);
    m_ui.groupCheck[n - 1]->setText(group.name);
  }

  const auto it = contactKey ? contactDictionary->find(*contactKey) : contactDictionary->end();
  if (it != contactDictionary->end()) {
    const AddressBookEntry& e = it->second;
    m_ui.btnCreate->setText(localized("IDS_RS_OK"));
    m_ui.indexText->setText(QString::number(e.index));
    m_ui.indexText->setEnabled(false);
    m_ui.nameText->setText(e.name);
    m_ui.emailText->setText(e.email);
    nIsInShortcut = static_cast<int32_t>(e.shortcut);
    nGroupMask = e.groupMask;
    for (int n = 1; n <= addressbook::kGroupCount; ++n) {
      if ((static_cast<uint64_t>(nGroupMask) & addressbook::maskMap(n)) != 0) m_ui.groupCheck[n - 1]->setChecked(true);
    }
  } else {
    if (contactKey) funcErr(name, QStringLiteral("the contact to edit is gone; adding instead"));
    contactKey.reset();
    nGroupMask = 0;
    nIsInShortcut = 0;
    m_ui.indexText->setText(QString::number(firstEmptyIndex()));
    m_ui.indexText->setEnabled(true);
    m_ui.nameText->clear();
    m_ui.emailText->clear();
    for (QCheckBox* box : m_ui.groupCheck) box->setChecked(false);
  }
  detectCreateBtn();
  funcEnd(name);
}

// ---- Create button and typing --------------------------------------------------------------------------

bool AddressBookContactControllerObjC::isAnyTextFieldEmpty() const {
  const QString name = op("isAnyTextFieldEmpty");
  funcEnter(name);
  const bool empty =
      m_ui.nameText->text().isEmpty() || m_ui.indexText->text().isEmpty() || m_ui.emailText->text().isEmpty();
  funcEnd(name);
  return empty;
}

void AddressBookContactControllerObjC::detectCreateBtn() {
  const QString name = op("detectCreateBtn");
  funcEnter(name);
  m_ui.btnCreate->setEnabled(!isAnyTextFieldEmpty());
  funcEnd(name);
}

void AddressBookContactControllerObjC::controlTextDidChange(QLineEdit* field) {
  const QString name = op("controlTextDidChange:");
  funcEnter(name);
  if (field == m_ui.nameText) {
    const QString typed = field->text();
    const QString cleaned = Utilities::stripRemoveSpecialWordFrom(addressbook::cutToLimit(typed, addressbook::kNameLimit));
    if (cleaned != typed) {
      // The cursor stays after what the user typed, less what the filter took out before it.
      const int cursor = std::min<int>(
          cleaned.size(), Utilities::stripRemoveSpecialWordFrom(typed.left(field->cursorPosition())).size());
      field->setText(cleaned);
      field->setCursorPosition(cursor);
    }
  }
  // After the filter: a name that was only removed characters is empty, and Create says so.
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookContactControllerObjC::groupBtnChecked() {
  const QString name = op("groupBtnChecked:");
  funcEnter(name);
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookContactControllerObjC::indexTextTyping() {
  const QString name = op("indexTextTyping:");
  funcEnter(name);
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookContactControllerObjC::nameTextTyping() {
  const QString name = op("nameTextTyping:");
  funcEnter(name);
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookContactControllerObjC::emailTextTyping() {
  const QString name = op("emailTextTyping:");
  funcEnter(name);
  detectCreateBtn();
  funcEnd(name);
}

// ---- Free index ------------------------------------------------------------------------------------------

bool AddressBookContactControllerObjC::isIndexExist(int32_t index) const {
  const QString name = op("isIndexExist:");
  funcEnter(name);
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

int32_t AddressBookContactControllerObjC::firstEmptyIndex() const {
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

bool AddressBookContactControllerObjC::checkIndex() {
  const QString name = op("checkIndex");
  if (isEditMode()) return true;  // the edited contact's own index, not editable
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

void AddressBookContactControllerObjC::CreateBtnPushed() {
  const QString name = op("CreateBtnPushed:");
  funcEnter(name);
  if (!Utilities::validateEmail(m_ui.emailText->text())) {
    funcErr(name, QStringLiteral("the e-mail address is malformed"));
    ut.message(localized("IDS_MAIL_FORMAT_ERR_MSG"), localized("IDS_CHECK_AND_TRY_AGAIN"), false);
    return;
  }
  if (!checkIndex()) return;
  applyData();
  if (addressBookVC != nullptr) addressBookVC->updateUI();
  accept();
  funcEnd(name);
}

void AddressBookContactControllerObjC::CancelBtnPushed() {
  const QString name = op("CancelBtnPushed:");
  funcEnter(name);
  reject();
  funcEnd(name);
}

void AddressBookContactControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  if (contactDictionary == nullptr) return;
  AddressBookEntry e;
  e.index = platform::intValue(m_ui.indexText->text());
  e.nodeType = FCL_NODE_TYPE_CONTACT;
  for (int n = 1; n <= addressbook::kGroupCount; ++n)
    if (m_ui.groupCheck[n - 1]->isChecked()) e.groupMask |= addressbook::maskMap(n);
  e.name = m_ui.nameText->text();
  e.email = m_ui.emailText->text();
  e.shortcut = static_cast<uint32_t>(nIsInShortcut);
  (*contactDictionary)[e.index] = e;
  funcEnd(name);
}

// ---- Trace -----------------------------------------------------------------------------------------------------

void AddressBookContactControllerObjC::funcEnter(const QString& name) const {
  ut.debugMsg(kTraceLevel, QStringLiteral(">>>>>>>>> %@ ENTER"), name);
}

void AddressBookContactControllerObjC::funcEnd(const QString& name) const {
  ut.debugMsg(kTraceLevel, QStringLiteral("<<<<<<<<< %@ END \n  "), name);
}

void AddressBookContactControllerObjC::funcErr(const QString& name, const QString& message) const {
  ut.debugMsg(kErrorLevel, QStringLiteral("========= %@ ERROR: %@\n"), name, message);
}
