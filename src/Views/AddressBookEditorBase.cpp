#include "Views/AddressBookEditorBase.h"

#include <QFormLayout>
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

AddressBookEditorBase::AddressBookEditorBase(const Variant& variant, QWidget* parent)
    : QDialog(parent), ut(Utilities::sharedInstance()), m_variant(variant) {}

AddressBookEditorBase::~AddressBookEditorBase() {
  // QDialog deletes the controls after the editor's own parts are gone; until then they must not
  // call back into it (a table counting its rows, a field losing the focus).
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

// ---- Mode ------------------------------------------------------------------------------------------------

void AddressBookEditorBase::takeDictionaries(const char* selector, AddressBookDictionary* groups, AddressBookDictionary* contacts,
                                 std::optional<int32_t> key) {
  const QString name = op(selector);
  funcEnter(name);
  groupDictionary = groups;
  contactDictionary = contacts;
  editedKey = key;
  funcEnd(name);
}

// ---- Layout ----------------------------------------------------------------------------------------------

QVBoxLayout* AddressBookEditorBase::newOuterLayout() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(16, 14, 16, 12);
  outer->setSpacing(10);
  return outer;
}

QFormLayout* AddressBookEditorBase::newFormLayout() {
  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  return form;
}

void AddressBookEditorBase::addIndexRow(QFormLayout* form, Fields& ui) {
  ui.labelIndex = pagelayout::plainLabel(this);
  ui.indexText = new QLineEdit(this);
  ui.indexText->setFixedWidth(64);
  form->addRow(ui.labelIndex, ui.indexText);
}

void AddressBookEditorBase::addNameRow(QFormLayout* form, Fields& ui, int width) {
  ui.labelName = pagelayout::plainLabel(this);
  ui.nameText = new QLineEdit(this);
  ui.nameText->setFixedWidth(width);
  form->addRow(ui.labelName, ui.nameText);
}

void AddressBookEditorBase::addButtonRow(QVBoxLayout* outer, Fields& ui) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ui.btnCancel = new QPushButton(this);
  ui.btnCancel->setAutoDefault(false);
  ui.btnCreate = new QPushButton(this);
  ui.btnCreate->setDefault(true);
  buttons->addWidget(ui.btnCancel);
  buttons->addWidget(ui.btnCreate);
  outer->addLayout(buttons);
}

void AddressBookEditorBase::initCommonTexts(const char* titleKey) {
  const Fields& ui = fields();
  setWindowTitle(localized(titleKey));
  ui.labelIndex->setText(pagelayout::labelText(indexLabel()));
  ui.labelName->setText(pagelayout::labelText("IDS_AB_NAME"));
  ui.btnCreate->setText(localized("IDS_AB_CREATE"));
  ui.btnCancel->setText(localized("IDS_AB_CANCEL"));
}

void AddressBookEditorBase::connectCommon() {
  const Fields& ui = fields();
  // The fields' actions (Return, or leaving the field); the index field has no typing delegate,
  // so its edits are also evaluated as they happen, to keep Create in step with an emptied index.
  connect(ui.indexText, &QLineEdit::editingFinished, this, &AddressBookEditorBase::indexTextTyping);
  connect(ui.indexText, &QLineEdit::textEdited, this, &AddressBookEditorBase::indexTextTyping);
  connect(ui.nameText, &QLineEdit::editingFinished, this, &AddressBookEditorBase::nameTextTyping);
  connect(ui.btnCreate, &QPushButton::clicked, this, &AddressBookEditorBase::CreateBtnPushed);
  connect(ui.btnCancel, &QPushButton::clicked, this, &AddressBookEditorBase::CancelBtnPushed);
}

QString AddressBookEditorBase::genericGroupTitle(int n) {
  return platform::formatText(QStringLiteral("%@ %d"), {localized("IDS_AB_GROUP"), n});
}

QString AddressBookEditorBase::indexLabel() { return QStringLiteral("Index"); }

QString AddressBookEditorBase::localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

// ---- Create button and typing --------------------------------------------------------------------------

void AddressBookEditorBase::detectCreateBtn() {
  traced("detectCreateBtn", [this] { fields().btnCreate->setEnabled(!isAnyTextFieldEmpty()); });
}

void AddressBookEditorBase::filterNameField() {
  QLineEdit* field = fields().nameText;
  const QString typed = field->text();
  const QString cleaned = Utilities::stripRemoveSpecialWordFrom(addressbook::cutToLimit(typed, addressbook::kNameLimit));
  if (cleaned == typed) return;
  // The cursor stays after what the user typed, less what the filter took out before it.
  const int cursor = std::min<int>(cleaned.size(),
                                   Utilities::stripRemoveSpecialWordFrom(typed.left(field->cursorPosition())).size());
  field->setText(cleaned);
  field->setCursorPosition(cursor);
}

void AddressBookEditorBase::indexTextTyping() {
  traced("indexTextTyping:", [this] { detectCreateBtn(); });
}

void AddressBookEditorBase::nameTextTyping() {
  traced("nameTextTyping:", [this] { detectCreateBtn(); });
}

// ---- Free index ------------------------------------------------------------------------------------------

bool AddressBookEditorBase::isIndexExist(int32_t index) const {
  const QString name = op("isIndexExist:");
  funcEnter(name);
  if (m_variant.outOfRangeIndexIsUsed && (index < addressbook::kFirstIndex || index > addressbook::kLastIndex)) {
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
  // What the page keeps without showing, and slots held by entries written back elsewhere.
  const bool taken = addressBookVC != nullptr && addressBookVC->isIndexTaken(index);
  funcEnd(name);
  return taken;
}

int32_t AddressBookEditorBase::firstEmptyIndex() const {
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

bool AddressBookEditorBase::checkIndex() {
  const QString name = op("checkIndex");
  if (isEditMode()) return true;  // the edited entry's own index, not editable
  QLineEdit* indexText = fields().indexText;
  const int32_t index = platform::intValue(indexText->text());
  if (index < addressbook::kFirstIndex || index > addressbook::kLastIndex) {
    funcErr(name, QStringLiteral("index %1 outside 1..300").arg(index));
    ut.message(localized("IDS_CM_ERROR"),
               outOfRangeText({indexLabel(), rangeText(addressbook::kFirstIndex, addressbook::kLastIndex)}), false);
    indexText->setFocus();
    return false;
  }
  if (isIndexExist(index)) {
    funcErr(name, QStringLiteral("index %1 is used").arg(index));
    ut.message(platform::formatText(localized("IDS_AB_INDEX_USED_MSG"), {index}), localized("IDS_AB_INDEX_USED_INFO"),
               false);
    indexText->setFocus();
    return false;
  }
  return true;
}

void AddressBookEditorBase::CreateBtnPushed() {
  const QString name = op("CreateBtnPushed:");
  funcEnter(name);
  if (!acceptsInput()) return;
  applyData();
  if (addressBookVC != nullptr) addressBookVC->updateUI();
  accept();
  funcEnd(name);
}

void AddressBookEditorBase::CancelBtnPushed() {
  traced("CancelBtnPushed:", [this] { reject(); });
}

// ---- Trace -----------------------------------------------------------------------------------------------------

QString AddressBookEditorBase::op(const char* selector) const {
  return PageTrace::operationName(m_variant.className, selector);
}

void AddressBookEditorBase::funcEnter(const QString& name) const { m_trace.enter(name); }

void AddressBookEditorBase::funcEnd(const QString& name) const { m_trace.end(name); }

void AddressBookEditorBase::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
