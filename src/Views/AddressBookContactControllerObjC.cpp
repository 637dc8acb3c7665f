#include "Views/AddressBookContactControllerObjC.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Model/Utilities.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/PageLayout.h"
#include "platform/Localizer.h"
#include "platform/NumberText.h"

const AddressBookEditorBase::Variant AddressBookContactControllerObjC::kVariant{
    "AddressBookContactControllerObjC",
    false,  // isIndexExist only looks at the entries
};

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

AddressBookContactControllerObjC::AddressBookContactControllerObjC(QWidget* parent)
    : AddressBookEditorBase(kVariant, parent) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  setObjectName(QStringLiteral("VID_ADDRESS_CONTACT"));
  setModal(true);
  buildLayout();
  initLocalizedString();
  m_ui.btnCreate->setEnabled(false);

  for (QLineEdit* field : {m_ui.nameText, m_ui.emailText})
    connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
  connectCommon();
  connect(m_ui.emailText, &QLineEdit::editingFinished, this, &AddressBookContactControllerObjC::emailTextTyping);
  for (QCheckBox* box : m_ui.groupCheck)
    connect(box, &QCheckBox::clicked, this, &AddressBookContactControllerObjC::groupBtnChecked);
  funcEnd(name);
}

void AddressBookContactControllerObjC::buildLayout() {
  QVBoxLayout* outer = newOuterLayout();
  QFormLayout* form = newFormLayout();
  addIndexRow(form, m_ui);
  addNameRow(form, m_ui, 260);
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
  addButtonRow(outer, m_ui);
}

void AddressBookContactControllerObjC::initLocalizedString() {
  initCommonTexts("IDS_AB_CONTACT_TITLE");
  m_ui.labelEmail->setText(pagelayout::labelText("IDS_AB_EMAIL"));
  for (int n = 1; n <= addressbook::kGroupCount; ++n) m_ui.groupCheck[n - 1]->setText(genericGroupTitle(n));
}

// ---- Mode ------------------------------------------------------------------------------------------------

void AddressBookContactControllerObjC::addContact(AddressBookDictionary* groups, AddressBookDictionary* contacts) {
  takeDictionaries("addContact:contact:", groups, contacts, std::nullopt);
}

void AddressBookContactControllerObjC::editContact(AddressBookDictionary* groups, AddressBookDictionary* contacts,
                                                   int32_t key) {
  takeDictionaries("editContact:contact:key:", groups, contacts, key);
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

  const auto it = editedKey ? contactDictionary->find(*editedKey) : contactDictionary->end();
  if (it != contactDictionary->end()) {
    const AddressBookEntry& e = it->second;
    m_ui.btnCreate->setText(localized("IDS_RS_OK"));
    m_ui.indexText->setText(QString::number(e.index));
    m_ui.indexText->setEnabled(false);
    m_ui.nameText->setText(e.name);
    m_ui.emailText->setText(e.email);
    m_emailAsShown = e.email;
    nIsInShortcut = static_cast<int32_t>(e.shortcut);
    nGroupMask = e.groupMask;
    for (int n = 1; n <= addressbook::kGroupCount; ++n) {
      if ((static_cast<uint64_t>(nGroupMask) & addressbook::maskMap(n)) != 0) m_ui.groupCheck[n - 1]->setChecked(true);
    }
  } else {
    if (editedKey) funcErr(name, QStringLiteral("the contact to edit is gone; adding instead"));
    editedKey.reset();
    nGroupMask = 0;
    nIsInShortcut = 0;
    m_ui.indexText->setText(QString::number(firstEmptyIndex()));
    m_ui.indexText->setEnabled(true);
    m_ui.nameText->clear();
    m_ui.emailText->clear();
    m_emailAsShown.clear();
    for (QCheckBox* box : m_ui.groupCheck) box->setChecked(false);
  }
  m_asOpened.clear();
  m_asOpened.remember({m_ui.indexText, m_ui.nameText, m_ui.emailText});
  detectCreateBtn();
  funcEnd(name);
}

// ---- Create button and typing --------------------------------------------------------------------------

bool AddressBookContactControllerObjC::isAnyTextFieldEmpty() const {
  const QString name = op("isAnyTextFieldEmpty");
  funcEnter(name);
  // An edited contact's name or address as read counts as filled in, also when it is empty.
  const auto emptied = [this](const QLineEdit* field) { return mustCheck(field) && field->text().isEmpty(); };
  const bool empty = emptied(m_ui.nameText) || emptied(m_ui.indexText) || emptied(m_ui.emailText);
  funcEnd(name);
  return empty;
}

void AddressBookContactControllerObjC::controlTextDidChange(QLineEdit* field) {
  const QString name = op("controlTextDidChange:");
  funcEnter(name);
  if (field == m_ui.nameText) filterNameField();
  // After the filter: a name that was only removed characters is empty, and Create says so.
  detectCreateBtn();
  funcEnd(name);
}

void AddressBookContactControllerObjC::groupBtnChecked() {
  traced("groupBtnChecked:", [this] { detectCreateBtn(); });
}

void AddressBookContactControllerObjC::emailTextTyping() {
  traced("emailTextTyping:", [this] { detectCreateBtn(); });
}

// ---- Create / OK and Cancel --------------------------------------------------------------------------------

bool AddressBookContactControllerObjC::acceptsInput() {
  const QString email = m_ui.emailText->text();
  // An address as read is not judged: a contact the user did not change is stored as it came.
  if (mustCheck(m_ui.emailText) && !Utilities::validateEmail(email)) {
    funcErr(op("CreateBtnPushed:"), QStringLiteral("the e-mail address is malformed"));
    ut.message(localized("IDS_MAIL_FORMAT_ERR_MSG"), localized("IDS_CHECK_AND_TRY_AGAIN"), false);
    return false;
  }
  // The record holds 255 bytes of address; a longer one cut would be another address. An address
  // the user did not change goes back as it was read.
  if (email != m_emailAsShown && email.toUtf8().size() > addressbook::kEmailByteLimit) {
    funcErr(op("CreateBtnPushed:"), QStringLiteral("the e-mail address is longer than the record holds"));
    ut.message(platform::formatText(localized("IDS_AB_EMAIL_TOO_LONG_MSG"), {addressbook::kEmailByteLimit}),
               localized("IDS_AB_EMAIL_TOO_LONG_INFO"), false);
    m_ui.emailText->setFocus();
    return false;
  }
  return checkIndex();
}

void AddressBookContactControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  if (contactDictionary == nullptr) return;
  // An edited contact keeps what the editor does not show: the slot it was read from, its bytes
  // as read, the mask bits of no group number.
  AddressBookEntry e;
  if (const auto it = editedKey ? contactDictionary->find(*editedKey) : contactDictionary->end();
      it != contactDictionary->end())
    e = it->second;
  e.index = platform::intValue(m_ui.indexText->text());
  e.nodeType = FCL_NODE_TYPE_CONTACT;
  e.groupMask = static_cast<uint32_t>(nGroupMask) & ~addressbook::kShownMaskBits;
  for (int n = 1; n <= addressbook::kGroupCount; ++n)
    if (m_ui.groupCheck[n - 1]->isChecked()) e.groupMask |= addressbook::maskMap(n);
  e.name = m_ui.nameText->text();
  e.email = m_ui.emailText->text();
  e.shortcut = static_cast<uint32_t>(nIsInShortcut);
  (*contactDictionary)[e.index] = e;
  funcEnd(name);
}
