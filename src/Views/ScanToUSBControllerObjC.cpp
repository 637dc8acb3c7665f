#include "Views/ScanToUSBControllerObjC.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/NumberText.h"
#include "platform/widgets/Widgets.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;
constexpr const char* kClassName = "ScanToUSBControllerObjC";
constexpr int kSecurePdfSingle = 3, kSecurePdfMulti = 4;

QString op(const char* selector) {
  return PageTrace::operationName(kClassName, selector);
}

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

ScanOptionPolicy usbPolicy() {
  ScanOptionPolicy policy;
  policy.changeSlot = ScanOptionPolicy::ChangeSlot::ShownScanType;
  policy.scanTypeHandlerStoresScanType = false;
  return policy;
}

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------

ScanToUSBControllerObjC::ScanToUSBControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kScanToUSBView), parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  QVBoxLayout* page = pagelayout::scrollingContent(this, 10);
  QWidget* content = page->parentWidget();

  m_title = pagelayout::titleLabel(content);
  page->addWidget(m_title);
  m_editor = new ScanOptionEditor(QString::fromLatin1(kClassName), content, usbPolicy());
  page->addWidget(m_editor);

  // The password rows, below the options.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  page->addLayout(grid);
  auto addRow = [&](int row, QLabel*& label, QLineEdit*& field) {
    label = pagelayout::plainLabel(content);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field = new QLineEdit(content);
    field->setEchoMode(QLineEdit::Password);
    field->setFixedWidth(120);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1, Qt::AlignLeft);
  };
  addRow(0, m_pw.textPassword, m_pw.securePassword);
  addRow(1, m_pw.textRetypePassword, m_pw.secureRetypePassword);
  m_pw.label00009999 = pagelayout::plainLabel(content);
  m_pw.label00009999->setText(u'(' + rangeText(QStringLiteral("0000"), QStringLiteral("9999")) + u')');
  grid->addWidget(m_pw.label00009999, 0, 2);
  grid->setColumnStretch(3, 1);
  // The password fields in line with the option pop-ups above.
  pagelayout::lineUpFields(grid, m_editor->controls().popupDocumentSize);
  page->addStretch(1);

  // initLocalizedString (the editor sets its own texts as it is built).
  m_title->setText(localized("IDS_P_SCAN_TO_USB"));
  m_pw.textPassword->setText(pagelayout::labelText("IDS_PF_PASSWORD"));
  m_pw.textRetypePassword->setText(pagelayout::labelText("IDS_PF_RETYPE_PASSWORD"));

  for (QLineEdit* field : {m_pw.securePassword, m_pw.secureRetypePassword})
    connect(field, &QLineEdit::textEdited, this, [this, field] { passwordEdited(field); });
  connect(m_editor, &ScanOptionEditor::optionsUpdated, this, &ScanToUSBControllerObjC::chkDisplayPassword);
  connect(m_editor, &ScanOptionEditor::fileTypeChosen, this, &ScanToUSBControllerObjC::chkDisplayPassword);
  chkDisplayPassword();
  funcEnd(name);
}

ScanToUSBControllerObjC::~ScanToUSBControllerObjC() = default;

QSize ScanToUSBControllerObjC::neededSize() {
  return pagelayout::neededSize(this, {m_pw.textPassword, m_pw.textRetypePassword, m_pw.label00009999,
                                       m_pw.securePassword, m_pw.secureRetypePassword});
}

// ---- Contract ---------------------------------------------------------------------------------------

void ScanToUSBControllerObjC::setParam(const MainWindowState& state) {
  setParam(state.sParamAll.sScan2USB, state.sParamAll.sGeneral, state.bIsB);
}

bool ScanToUSBControllerObjC::getParam(MainWindowState& state) {
  getParam(state.sParamAll.sScan2USB, state.sParamAll.sGeneral);
  return true;
}

bool ScanToUSBControllerObjC::isDataChanged(const MainWindowState& state) {
  return isDataChanged(state.sParamAll.sScan2USB, state.sParamAll.sGeneral);
}

void ScanToUSBControllerObjC::setParam(const FCL_RS_PARAM_SCANPROFILE& scan2USB, const FCL_RS_PARAM_GENERAL& general,
                                       bool isB) {
  const QString name = op("setParam:general:module:");
  funcEnter(name);
  std::memcpy(&m_general, &general, sizeof m_general);
  m_isB = isB;
  // A new visit: the fields show the stored password, nothing typed yet.
  fillPassword();
  m_passwordShown = false;
  m_editor->load(scan2USB, isB);  // ends with the option update, and so with the password display
  funcEnd(name);
}

void ScanToUSBControllerObjC::getParam(FCL_RS_PARAM_SCANPROFILE& scan2USB, FCL_RS_PARAM_GENERAL& general) {
  const QString name = op("getParam:general:");
  funcEnter(name);
  applyData();
  std::memcpy(&scan2USB, &m_editor->record(), sizeof scan2USB);
  std::memcpy(&general, &m_general, sizeof general);
  funcEnd(name);
}

bool ScanToUSBControllerObjC::isDataChanged(const FCL_RS_PARAM_SCANPROFILE& scan2USB,
                                            const FCL_RS_PARAM_GENERAL& general) {
  const QString name = op("isDataChanged:general:");
  funcEnter(name);
  applyData();
  if (m_editor->differsFrom(scan2USB)) return true;
  const int compared = std::strncmp(general.szSecurePDFPassword, m_general.szSecurePDFPassword,
                                    sizeof m_general.szSecurePDFPassword);
  if (compared != 0) {
    ut.debugMsg(kTraceLevel, QStringLiteral("Data is changed! %d"), compared);
    return true;
  }
  ut.debugMsg(kTraceLevel, QStringLiteral("The data has not changed!"));
  funcEnd(name);
  return false;
}

void ScanToUSBControllerObjC::saveAccepted() { m_editor->acceptStored(); }

int32_t ScanToUSBControllerObjC::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  // Only a password the user typed is checked.
  if (m_isB && m_passwordShown && m_passwordTyped && !checkPassword()) return kPageErrorShown;
  funcEnd(name);
  return kPageErrorNone;
}

// ---- The password -------------------------------------------------------------------------------------

void ScanToUSBControllerObjC::chkDisplayPassword() {
  const int fileType = m_editor->controls().popupFileType->indexOfSelectedItem();
  const bool show = m_isB && (fileType == kSecurePdfSingle || fileType == kSecurePdfMulti);
  // Appearing: the fields show the stored password again.
  if (show && !m_passwordShown) fillPassword();
  m_passwordShown = show;
  for (QWidget* w : std::initializer_list<QWidget*>{m_pw.textPassword, m_pw.textRetypePassword, m_pw.label00009999,
                                                    m_pw.securePassword, m_pw.secureRetypePassword})
    w->setVisible(show);
  funcEnd(op("chkDisplayPassword"));
}

bool ScanToUSBControllerObjC::checkPassword() {
  const QString name = op("checkPassword");
  funcEnter(name);
  if (!m_passwordShown) {
    funcEnd(name);
    return true;
  }
  const QString password = m_pw.securePassword->text();
  const QString retype = m_pw.secureRetypePassword->text();
  if (ut.checkPassword(password, retype, kPasswordLength)) {
    funcEnd(name);
    return true;
  }
  // The field at fault, in the order the check examines them.
  QLineEdit* fault = password.isEmpty()                 ? m_pw.securePassword
                     : retype.isEmpty()                 ? m_pw.secureRetypePassword
                     : password.size() < kPasswordLength ? m_pw.securePassword
                                                        : m_pw.secureRetypePassword;
  fault->setFocus();
  funcEnd(name);
  return false;
}

void ScanToUSBControllerObjC::fillPassword() {
  m_filledPassword = platform::textFromField(m_general.szSecurePDFPassword);
  m_passwordText = m_retypeText = m_filledPassword;
  m_pw.securePassword->setText(m_filledPassword);
  m_pw.secureRetypePassword->setText(m_filledPassword);
  m_passwordTyped = false;
}

QString ScanToUSBControllerObjC::passwordFilter(const QString& previous, const QString& edited) {
  if (edited.size() > kPasswordLength && edited.size() >= previous.size()) return previous;
  return platform::digitsOnly(edited);
}

void ScanToUSBControllerObjC::passwordEdited(QLineEdit* field) {
  QString& previous = field == m_pw.securePassword ? m_passwordText : m_retypeText;
  const QString typed = field->text();
  const QString filtered = passwordFilter(previous, typed);
  if (filtered != typed) {
    // A refused edit puts the cursor back where it was; removed characters leave it after the
    // digits that were before it.
    const int cursor = filtered == previous && typed.size() > kPasswordLength
                           ? int(std::max<qsizetype>(0, field->cursorPosition() - (typed.size() - previous.size())))
                           : int(platform::digitsOnly(typed.left(field->cursorPosition())).size());
    field->setText(filtered);
    field->setCursorPosition(std::min(cursor, int(filtered.size())));
  }
  if (filtered != previous) m_passwordTyped = true;
  previous = filtered;
}

// ---- Reading back ---------------------------------------------------------------------------------------

void ScanToUSBControllerObjC::applyData() {
  // The password goes into the general copy only when the user typed another one; otherwise the
  // stored bytes stay exactly as they came (a stored text that is not UTF-8 included).
  if (m_isB && m_passwordShown && m_passwordTyped && m_pw.securePassword->text() != m_filledPassword)
    platform::textToField(m_general.szSecurePDFPassword, m_pw.securePassword->text());
  m_editor->applyData();
}

// ---- Trace ---------------------------------------------------------------------------------------------------

void ScanToUSBControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void ScanToUSBControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }
