#include "Views/ScanFileNameControllerObjC.h"

#include "Views/CommandFailure.h"
#include "Views/PageLayout.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <limits>

#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "Views/PageTable.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;

QString op(const char* selector) { return PageTrace::operationName("ScanFileNameControllerObjC", selector); }

// ---- Pop-up items, by the index stored in the record ---------------------------------------------
const char* const kFileNameStyleKeys[ScanFileNameControllerObjC::kFileNameStyleItems] = {
    "IDS_SFN_NAME_DATE_COUNTER", "IDS_SFN_NAME_DATE", "IDS_SFN_NAME_COUNTER",
    "IDS_SFN_DATE_NAME_COUNTER", "IDS_SFN_DATE_NAME", "IDS_SFN_DATE_COUNTER",
};
const char* const kDateKeys[ScanFileNameControllerObjC::kDateItems] = {
    "IDS_SFN_YYYYMMDDHHMMSS", "IDS_SFN_MMDDYYYYHHMMSS", "IDS_SFN_DDMMYYYYHHMMSS",
    "IDS_SFN_YYYYMMDD",       "IDS_SFN_MMDDYYYY",       "IDS_SFN_DDMMYYYY",
};
const char* const kCounterKeys[ScanFileNameControllerObjC::kCounterItems] = {"IDS_SFN_CONTINUOUS",
                                                                            "IDS_SFN_RESET_AFTER_EACH_JOB"};
constexpr int kCounterContinuous = 0;

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

QLabel* makeLabel(QWidget* parent) { return pagelayout::plainLabel(parent); }

QLineEdit* makeNumberField(QWidget* parent, int width) {
  auto* field = new QLineEdit(parent);
  field->setAlignment(Qt::AlignRight);
  field->setFixedWidth(width);
  return field;
}

QFormLayout* makeForm(QGroupBox* group) {
  auto* form = new QFormLayout(group);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  return form;
}

QWidget* makeRow(QWidget* parent, std::initializer_list<QWidget*> widgets) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  for (QWidget* w : widgets) {
    w->setParent(row);
    layout->addWidget(w);
  }
  layout->addStretch(1);
  return row;
}

// The whole number a field reads as: the leading integer (blanks skipped, optional sign, digits,
// the rest ignored; no digits: 0), held wide enough that every stored 32-bit value survives
// showing and reading back.
int64_t wholeNumber(const QString& text) {
  int i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  constexpr int64_t kLimit = int64_t(std::numeric_limits<uint32_t>::max());
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
    value = std::min<int64_t>(value * 10 + (text[i].unicode() - u'0'), kLimit);
  return negative ? -value : value;
}

QString wholeNumberText(const QString& text) { return QString::number(wholeNumber(text)); }

}  // namespace

// ---- Construction ("viewDidLoad") ------------------------------------------------------------------

ScanFileNameControllerObjC::ScanFileNameControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kScanFileNameView), parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  buildLayout();
  initLocalizedString();
  m_texts.add(m_ui.textFileName, sizeof fileName.szName, "IDS_SFN_FILE_NAME");
  // The typing filters listen to textEdited, the user's typing alone.
  for (QLineEdit* field : {m_ui.textFileName, m_ui.textInitialValue, m_ui.textMinimumNumberDigits})
    connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
  connect(m_ui.btnSetAsSerialNo, &QPushButton::clicked, this, &ScanFileNameControllerObjC::btnSetAsSNPressed);
  connect(m_ui.btnReset, &QPushButton::clicked, this, &ScanFileNameControllerObjC::btnResetPressed);
  connect(m_ui.popupCounter, &platform::PopUpButton::activated, this, &ScanFileNameControllerObjC::popupCounterChanged);
  connect(m_ui.stepMinimumNumberDigits, &platform::Stepper::activated, this,
          &ScanFileNameControllerObjC::digitsStepperClicked);
  funcEnd(name);
}

ScanFileNameControllerObjC::~ScanFileNameControllerObjC() = default;

void ScanFileNameControllerObjC::buildLayout() {
  QVBoxLayout* page = pagelayout::scrollingContent(this, 10);
  QWidget* content = page->parentWidget();

  m_ui.labelScanFileName = pagelayout::titleLabel(content);
  page->addWidget(m_ui.labelScanFileName);

  // The name: its parts and their order, the fixed text, the date format, the overwrite switch.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupName"));
    QFormLayout* form = makeForm(group);
    m_ui.labelFileNameStyle = makeLabel(group);
    m_ui.popupFileNameStyle = new platform::PopUpButton(group);
    for (int i = 0; i < kFileNameStyleItems; ++i) m_ui.popupFileNameStyle->addItem(QString());
    form->addRow(m_ui.labelFileNameStyle, m_ui.popupFileNameStyle);

    m_ui.labelFileName = makeLabel(group);
    m_ui.textFileName = new QLineEdit;
    m_ui.textFileName->setMinimumWidth(240);
    m_ui.btnSetAsSerialNo = new QPushButton;
    form->addRow(m_ui.labelFileName, makeRow(group, {m_ui.textFileName, m_ui.btnSetAsSerialNo}));

    m_ui.labelDate = makeLabel(group);
    m_ui.popupDate = new platform::PopUpButton(group);
    for (int i = 0; i < kDateItems; ++i) m_ui.popupDate->addItem(QString());
    form->addRow(m_ui.labelDate, m_ui.popupDate);

    m_ui.chkOverwrite = new QCheckBox(group);
    form->addRow(QString(), m_ui.chkOverwrite);
    page->addWidget(group);
  }

  // The counter: its behaviour with the reset button, the initial value and the minimum digits.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupCounter"));
    QFormLayout* form = makeForm(group);
    m_ui.labelCounter = makeLabel(group);
    m_ui.popupCounter = new platform::PopUpButton;
    for (int i = 0; i < kCounterItems; ++i) m_ui.popupCounter->addItem(QString());
    m_ui.btnReset = new QPushButton;
    form->addRow(m_ui.labelCounter, makeRow(group, {m_ui.popupCounter, m_ui.btnReset}));

    m_ui.labelInitialValue = makeLabel(group);
    m_ui.textInitialValue = makeNumberField(nullptr, 80);
    m_ui.labelInitialValueRange = makeLabel(nullptr);
    m_ui.labelInitialValueRange->setText(u'(' + rangeText(0, 999999) + u')');
    form->addRow(m_ui.labelInitialValue, makeRow(group, {m_ui.textInitialValue, m_ui.labelInitialValueRange}));

    m_ui.labelMinimumNumberDigits = makeLabel(group);
    m_ui.textMinimumNumberDigits = makeNumberField(nullptr, 40);
    m_ui.stepMinimumNumberDigits = new platform::Stepper;
    m_ui.stepMinimumNumberDigits->setRange(kDigitsMin, kDigitsMax);
    m_ui.stepMinimumNumberDigits->setIncrement(1);
    m_ui.stepMinimumNumberDigits->setFixedHeight(m_ui.textMinimumNumberDigits->sizeHint().height());
    m_ui.labelMinimumNumberDigitsRange = makeLabel(nullptr);
    m_ui.labelMinimumNumberDigitsRange->setText(u'(' + rangeText(kDigitsMin, kDigitsMax) + u')');
    QWidget* digitsRow = makeRow(group, {m_ui.textMinimumNumberDigits, m_ui.stepMinimumNumberDigits,
                                         m_ui.labelMinimumNumberDigitsRange});
    static_cast<QHBoxLayout*>(digitsRow->layout())->setSpacing(2);
    form->addRow(m_ui.labelMinimumNumberDigits, digitsRow);
    page->addWidget(group);
  }
  page->addStretch(1);
}

void ScanFileNameControllerObjC::initLocalizedString() {
  const QString name = op("initLocalizedString");
  funcEnter(name);
  m_ui.labelScanFileName->setText(localized("IDS_SFN_SCAN_FILE_NAME"));
  m_ui.labelFileNameStyle->setText(pagelayout::labelText("IDS_SFN_FILE_NAME_STYLE"));
  m_ui.labelDate->setText(pagelayout::labelText("IDS_SFN_DATE"));
  m_ui.labelFileName->setText(pagelayout::labelText("IDS_SFN_FILE_NAME"));
  m_ui.labelCounter->setText(pagelayout::labelText("IDS_SFN_COUNTER"));
  m_ui.labelInitialValue->setText(pagelayout::labelText("IDS_SFN_INITIAL_VALUE"));
  m_ui.labelMinimumNumberDigits->setText(pagelayout::labelText("IDS_SFN_MINIMUM_NUMBER_OF_DIGITS"));
  m_ui.btnSetAsSerialNo->setText(localized("IDS_SFN_SET_AS_SERIAL_NO"));
  m_ui.btnReset->setText(localized("IDS_SFN_RESET"));
  m_ui.chkOverwrite->setText(localized("IDS_SFN_OVER_WRITE"));
  for (int i = 0; i < kFileNameStyleItems; ++i) m_ui.popupFileNameStyle->setItemTitle(i, localized(kFileNameStyleKeys[i]));
  for (int i = 0; i < kDateItems; ++i) m_ui.popupDate->setItemTitle(i, localized(kDateKeys[i]));
  for (int i = 0; i < kCounterItems; ++i) m_ui.popupCounter->setItemTitle(i, localized(kCounterKeys[i]));
  funcEnd(name);
}

// ---- Contract ----------------------------------------------------------------------------------------

void ScanFileNameControllerObjC::setParam(const MainWindowState& state) {
  setParam(state.sParamAll.sFilename, state.serialString, state.ioWrapper);
}

bool ScanFileNameControllerObjC::getParam(MainWindowState& state) {
  getParam(state.sParamAll.sFilename);
  return true;
}

bool ScanFileNameControllerObjC::isDataChanged(const MainWindowState& state) {
  return isDataChanged(state.sParamAll.sFilename);
}

void ScanFileNameControllerObjC::setParam(const FCL_RS_PARAM_FILENAME& filename, const QString& serialNumber,
                                          IOWrapper* io) {
  const QString name = op("setParam:serialNumber:io:");
  funcEnter(name);
  std::memcpy(&fileName, &filename, sizeof fileName);
  strSN = serialNumber;
  pIOWrapper = io;
  initUI();
  bindFields();
  funcEnd(name);
}

void ScanFileNameControllerObjC::saveAccepted() {
  m_texts.show(m_ui.textFileName, fileName.szName);
  bindFields();
}

void ScanFileNameControllerObjC::bindFields() {
  // Which field each control edits: a control the user leaves alone puts its field back as read
  // (the name keeps its bytes through m_texts).
  m_filled.clear();
  m_filled.bind(fileName.byFormat, {m_ui.popupFileNameStyle});
  m_filled.bind(fileName.byExceptionHandling, {m_ui.chkOverwrite});
  m_filled.bind(fileName.byDateTime, {m_ui.popupDate});
  m_filled.bind(fileName.byCountType, {m_ui.popupCounter});
  m_filled.bind(fileName.dwCountInitValue, {m_ui.textInitialValue});
  m_filled.bind(fileName.byCountDigit, {m_ui.textMinimumNumberDigits});
}

void ScanFileNameControllerObjC::getParam(FCL_RS_PARAM_FILENAME& filename) {
  const QString name = op("getParam:");
  funcEnter(name);
  applyData();
  std::memcpy(&filename, &fileName, sizeof fileName);
  funcEnd(name);
}

bool ScanFileNameControllerObjC::isDataChanged(const FCL_RS_PARAM_FILENAME& filename) {
  const QString name = op("isDataChanged:");
  funcEnter(name);
  applyData();
  // The names as texts up to their NUL, never beyond the field (a record from the scanner may
  // fill all 32 bytes).
  const int nameDiff = std::strncmp(filename.szName, fileName.szName, sizeof fileName.szName);
  if (nameDiff != 0) {
    ut.debugMsg(kTraceLevel, QStringLiteral("Data is changed! %d"), nameDiff);
    return true;
  }
  if (filename.byFormat != fileName.byFormat || filename.byDateTime != fileName.byDateTime ||
      filename.byCountType != fileName.byCountType || filename.byCountDigit != fileName.byCountDigit ||
      filename.dwCountInitValue != fileName.dwCountInitValue ||
      filename.byExceptionHandling != fileName.byExceptionHandling)
    return true;
  ut.debugMsg(kTraceLevel, QStringLiteral("No data change!"));
  funcEnd(name);
  return false;
}

int32_t ScanFileNameControllerObjC::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  if (m_texts.refuseTooLong()) {
    funcErr(name, QStringLiteral("the file name is longer than the record holds"));
    return kPageErrorShown;
  }
  // Checked only while the field is open to the user (counter reset after each job: a disabled
  // field is one the user cannot correct) and only when the digits changed since setParam:
  // stored digits outside 1 to 6 go back to the scanner as stored.
  const int64_t digits = wholeNumber(m_ui.textMinimumNumberDigits->text());
  if (m_ui.textMinimumNumberDigits->isEnabled() && m_filled.changed(m_ui.textMinimumNumberDigits) &&
      (digits < kDigitsMin || digits > kDigitsMax)) {
    m_ui.textMinimumNumberDigits->setFocus();
    setFailedField(localized("IDS_SFN_MINIMUM_NUMBER_OF_DIGITS"), rangeText(kDigitsMin, kDigitsMax));
    return kPageErrorOutOfRange;
  }
  funcEnd(name);
  return kPageErrorNone;
}

// ---- Filling and reading the controls ----------------------------------------------------------------

void ScanFileNameControllerObjC::initUI() {
  const QString name = op("initUI");
  funcEnter(name);
  m_texts.show(m_ui.textFileName, fileName.szName);
  lastFileName = m_ui.textFileName->text();

  m_ui.popupFileNameStyle->selectItem(fileName.byFormat);
  m_ui.chkOverwrite->setChecked(fileName.byExceptionHandling == 1);
  m_ui.popupDate->selectItem(fileName.byDateTime);
  m_ui.popupCounter->selectItem(fileName.byCountType);

  m_ui.textInitialValue->setText(QString::number(fileName.dwCountInitValue));
  lastInitNum = m_ui.textInitialValue->text();

  m_ui.textMinimumNumberDigits->setText(QString::number(fileName.byCountDigit));
  lastDigitNum = m_ui.textMinimumNumberDigits->text();
  m_ui.stepMinimumNumberDigits->setValue(fileName.byCountDigit);

  updateCounterUI();
  funcEnd(name);
}

void ScanFileNameControllerObjC::updateCounterUI() {
  const QString name = op("updateCounterUI");
  funcEnter(name);
  // Only "reset after each job" uses the initial value and the digits; a stored behaviour that
  // has no item counts as that too.
  const bool continuous = m_ui.popupCounter->indexOfSelectedItem() == kCounterContinuous;
  m_ui.btnReset->setEnabled(continuous);
  for (QWidget* w : std::initializer_list<QWidget*>{m_ui.textInitialValue, m_ui.textMinimumNumberDigits,
                                                    m_ui.stepMinimumNumberDigits, m_ui.labelInitialValue,
                                                    m_ui.labelMinimumNumberDigits, m_ui.labelInitialValueRange,
                                                    m_ui.labelMinimumNumberDigitsRange})
    w->setEnabled(!continuous);  // a disabled label is drawn grey
  funcEnd(name);
}

void ScanFileNameControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  m_texts.store(m_ui.textFileName, fileName.szName);
  // A pop-up without a selection keeps its stored index.
  if (const int i = m_ui.popupFileNameStyle->indexOfSelectedItem(); i >= 0) fileName.byFormat = uint8_t(i);
  fileName.byExceptionHandling = m_ui.chkOverwrite->isChecked() ? 1 : 0;
  if (const int i = m_ui.popupDate->indexOfSelectedItem(); i >= 0) fileName.byDateTime = uint8_t(i);
  if (const int i = m_ui.popupCounter->indexOfSelectedItem(); i >= 0) fileName.byCountType = uint8_t(i);
  // Read also while disabled: they then hold what was loaded or last typed.
  fileName.dwCountInitValue = static_cast<uint32_t>(wholeNumber(m_ui.textInitialValue->text()));
  fileName.byCountDigit = static_cast<uint8_t>(wholeNumber(m_ui.textMinimumNumberDigits->text()) & 0xFF);
  // What the user did not change goes back as read (an overwrite byte other than 0 and 1, ...).
  m_filled.keepUntouched();
  funcEnd(name);
}

// ---- Typing filters --------------------------------------------------------------------------------------

void ScanFileNameControllerObjC::controlTextDidChange(QLineEdit* field) {
  if (field == m_ui.textFileName) {
    // Only what the user added is judged, wherever the cursor was: the text between the part
    // the new text shares with the last accepted one at its start and at its end. So a stored
    // name with a character the rules refuse ("SN 42") stays editable, and a refused character
    // typed into the middle of a full name goes.
    const QString text = field->text();
    const QString& last = lastFileName;
    const qsizetype common = std::min(text.size(), last.size());
    qsizetype head = 0;
    while (head < common && text[head] == last[head]) ++head;
    qsizetype tail = 0;
    while (tail < common - head && text[text.size() - 1 - tail] == last[last.size() - 1 - tail]) ++tail;
    const QString added = text.mid(head, text.size() - head - tail);
    const int cursor = field->cursorPosition();
    if (text.isEmpty() || (!added.isEmpty() && !Utilities::validateFileName(added))) {
      // Refused (also an emptied name): back to the last accepted text, the cursor where it was.
      field->setText(last);
      field->setCursorPosition(std::clamp(cursor - int(added.size()), 0, int(last.size())));
    } else {
      // Longer than the record holds (a paste, or a key typed into a full name): refused whole,
      // with the alert that names the limit; nothing typed is cut.
      m_texts.acceptTyping(field);
    }
    lastFileName = field->text();
  } else if (field == m_ui.textMinimumNumberDigits) {
    if (Utilities::validateDigitNum(field->text())) lastDigitNum = field->text();
    else field->setText(wholeNumberText(lastDigitNum));
    m_ui.stepMinimumNumberDigits->setValue(static_cast<double>(wholeNumber(field->text())));
  } else if (field == m_ui.textInitialValue) {
    if (Utilities::validateInitNum(field->text())) lastInitNum = field->text();
    else field->setText(wholeNumberText(lastInitNum));
  }
}

void ScanFileNameControllerObjC::digitsStepperClicked(double value) {
  m_ui.textMinimumNumberDigits->setText(QString::number(static_cast<int>(value)));
  lastDigitNum = m_ui.textMinimumNumberDigits->text();
}

// ---- Buttons and the counter pop-up -------------------------------------------------------------------------

void ScanFileNameControllerObjC::btnSetAsSNPressed() {
  const QString name = op("btnSetAsSNPressed:");
  funcEnter(name);
  // Taken as it is, without the typing rules; the error check refuses it when it does not fit.
  m_texts.setText(m_ui.textFileName, strSN);
  lastFileName = m_ui.textFileName->text();
  funcEnd(name);
}

void ScanFileNameControllerObjC::btnResetPressed() {
  const QString name = op("btnResetPressed:");
  funcEnter(name);
  const QString title = localized("IDS_CM_MESSAGE");
  if (ut.message(title, localized("IDS_SFN_RESET_MSG"), true)) {
    // Sent at once, and judged: the counter is reset only when the scanner accepted the command.
    const CommandOutcome done = pIOWrapper != nullptr
                                    ? pIOWrapper->judge([this] { return pIOWrapper->resetFileNameCounter(); })
                                    : CommandOutcome::failed();
    if (done) {
      ut.debugMsg(kTraceLevel, QStringLiteral("resetFileNameCounter is reseted."));
      ut.message(title, localized("IDS_SFN_RESET_SUCCESSFULLY"), false);
      fileName.dwBALLScanCount = 0;
      // The main window's copy too, or a later save of this page would put the old count back.
      emit fileNameCounterReset(fileName.dwBALLScanCount);
    } else {
      funcErr(name, QStringLiteral("ERROR: resetFileNameCounter return Fail!"));
      ut.message(title, withOutcome(localized("IDS_SFN_RESET_FAILED"), done), false);
    }
  }
  funcEnd(name);
}

void ScanFileNameControllerObjC::popupCounterChanged() {
  const QString name = op("popupCounterChanged:");
  funcEnter(name);
  updateCounterUI();
  funcEnd(name);
}

// ---- Trace -----------------------------------------------------------------------------------------------------

void ScanFileNameControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void ScanFileNameControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }

void ScanFileNameControllerObjC::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
