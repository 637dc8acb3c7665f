#include "Views/ScanToPCControllerObjC.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantMap>
#include <cstring>

#include "IO/FCLFileData.h"
#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "platform/Dialogs.h"
#include "platform/Localizer.h"
#include "platform/PropertyList.h"

using platform::PropertyList;

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;
constexpr const char* kClassName = "ScanToPCControllerObjC";
const QString kLocationKey = QStringLiteral("Location");
const QString kIsOpenKey = QStringLiteral("IsOpen");

QString op(const char* selector) {
  return PageTrace::operationName(kClassName, selector);
}

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

ScanOptionPolicy pcPolicy() {
  ScanOptionPolicy policy;
  // Secure PDF, signed PDF and PDF/A are not made for scans sent to this computer.
  for (int item = 3; item <= 8; ++item) policy.fileTypesNeverOffered.set(std::size_t(item));
  policy.fileSizeAlwaysDisabled = true;
  policy.fileTypeAction = "popupFileType:";
  policy.fileSizeAction = "popupFileSize:";
  return policy;
}

// "~" and "~/..." with the home folder put in; any other text as it is.
QString expandTilde(const QString& path) {
  if (path == u'~') return QDir::homePath();
  if (path.startsWith(QStringLiteral("~/"))) return QDir::homePath() + path.mid(1);
  return path;
}

// Whether scans can be saved in `path`: an existing folder the user may write to.
bool isUsableFolder(const QString& path) {
  const QFileInfo info(expandTilde(path));
  return info.isDir() && info.isWritable();
}

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------

ScanToPCControllerObjC::ScanToPCControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kScanToPCView), parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  QVBoxLayout* page = pagelayout::scrollingContent(this, 10);
  QWidget* content = page->parentWidget();

  m_title = pagelayout::titleLabel(content);
  page->addWidget(m_title);

  // The save folder and the box, above the scan options.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  page->addLayout(grid);
  m_labelSavePath = pagelayout::plainLabel(content);
  m_labelSavePath->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_textFilePath = new QLineEdit(content);
  m_textFilePath->setMinimumWidth(300);
  m_btnFilePath = new QPushButton(content);
  m_chkFilePath = new QCheckBox(content);
  m_labelNoPreferences = pagelayout::plainLabel(content);
  m_labelNoPreferences->setWordWrap(true);
  m_labelNoPreferences->hide();
  grid->addWidget(m_labelSavePath, 0, 0);
  grid->addWidget(m_textFilePath, 0, 1);
  grid->addWidget(m_btnFilePath, 0, 2);
  grid->addWidget(m_chkFilePath, 1, 1, 1, 2);
  grid->addWidget(m_labelNoPreferences, 2, 1, 1, 2);
  grid->setColumnStretch(1, 1);

  m_editor = new ScanOptionEditor(QString::fromLatin1(kClassName), content, pcPolicy());
  page->addWidget(m_editor);
  page->addStretch(1);

  // initLocalizedString (the editor sets its own texts as it is built).
  m_title->setText(localized("IDS_P_SCAN_TO_PC"));
  m_labelSavePath->setText(pagelayout::labelText("IDS_P_SAVE_PATH"));
  m_chkFilePath->setText(localized("IDS_P_OPEN_AFTER_SCANNING"));
  m_btnFilePath->setText(localized("IDS_P_CHOOSE_FOLDER"));

  connect(m_btnFilePath, &QPushButton::clicked, this, &ScanToPCControllerObjC::filePathOpenPanelPushed);
  connect(m_chkFilePath, &QCheckBox::clicked, this, &ScanToPCControllerObjC::chkFilePathPushed);
  m_chkFilePath->setChecked(false);
  funcEnd(name);
}

ScanToPCControllerObjC::~ScanToPCControllerObjC() = default;

// ---- Contract ---------------------------------------------------------------------------------------

QSize ScanToPCControllerObjC::neededSize() {
  const QString note = m_labelNoPreferences->text();
  QSize size;
  for (const char* key : {"IDS_P_SAVE_PATH_NOT_ON_THIS_COMPUTER", "IDS_P_SAVE_PATH_UNREADABLE"}) {
    m_labelNoPreferences->setText(localized(key));
    size = size.expandedTo(pagelayout::neededSize(this, {m_labelNoPreferences}));
  }
  m_labelNoPreferences->setText(note);
  return size;
}

void ScanToPCControllerObjC::setParam(const MainWindowState& state) {
  setParam(state.sParamAll.sScan2PC, state.bIsB, state.deviceUUID, state.deviceTWAINName, state.deviceInterface);
}

bool ScanToPCControllerObjC::getParam(MainWindowState& state) {
  getParam(state.sParamAll.sScan2PC);
  return true;
}

bool ScanToPCControllerObjC::isDataChanged(const MainWindowState& state) {
  return isDataChanged(state.sParamAll.sScan2PC);
}

int32_t ScanToPCControllerObjC::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  funcEnd(name);
  return kPageErrorNone;
}

void ScanToPCControllerObjC::setParam(const FCL_RS_PARAM_SCANPROFILE& scan2PC, bool isB, const QString& uuid,
                                      const QString& twainName, const QString& interfaceText) {
  const QString name = op("setParam:module:deviceUUID:deviceTWAINName:deviceInterface:");
  funcEnter(name);
  m_isB = isB;
  m_uuidString = uuid;
  m_twainString = twainName;
  m_interfaceString = interfaceText;
  m_localPending = false;
  readFromPList();
  m_editor->load(scan2PC, isB);
  funcEnd(name);
}

void ScanToPCControllerObjC::getParam(FCL_RS_PARAM_SCANPROFILE& scan2PC) {
  const QString name = op("getParam:");
  funcEnter(name);
  m_editor->applyData();
  std::memcpy(&scan2PC, &m_editor->record(), sizeof scan2PC);
  // The folder and the box wait for the scanner's verdict on the record.
  m_localPending = folderChanged();
  funcEnd(name);
}

void ScanToPCControllerObjC::saveAccepted() {
  const QString name = op("saveAccepted");
  funcEnter(name);
  m_editor->acceptStored();
  if (!m_localPending) {
    funcEnd(name);
    return;
  }
  m_localPending = false;
  if (!writeToPList()) {
    // The folder and the box show what the file still holds, so nothing is left pending.
    m_textFilePath->setText(m_defaultPathString);
    m_chkFilePath->setChecked(m_bOpenAfterScan);
    ut.message(localized("IDS_P_FOLDER_NOT_STORED_MSG"),
               platform::formatText(localized("IDS_P_FOLDER_NOT_STORED_INFO"), {preferencePath()}), false);
  }
  funcEnd(name);
}

bool ScanToPCControllerObjC::folderChanged() const {
  // Without a preference file the folder and the box are not the page's to change.
  return m_hasPreferenceFile &&
         (m_textFilePath->text() != m_defaultPathString || m_chkFilePath->isChecked() != m_bOpenAfterScan);
}

bool ScanToPCControllerObjC::isDataChanged(const FCL_RS_PARAM_SCANPROFILE& scan2PC) {
  const QString name = op("isDataChanged:");
  funcEnter(name);
  m_editor->applyData();
  if (m_editor->differsFrom(scan2PC)) return true;
  if (folderChanged()) return true;
  ut.debugMsg(kTraceLevel, QStringLiteral("No data is changed!"));
  funcEnd(name);
  return false;
}

// ---- The preference file ------------------------------------------------------------------------------

QString ScanToPCControllerObjC::preferencePath() const {
  return preferenceFilePath(m_twainString, !m_isB, m_interfaceString == QStringLiteral("USB"));
}

void ScanToPCControllerObjC::readFromPList() {
  const QString name = op("readFromPList");
  funcEnter(name);
  const QString path = preferencePath();
  QVariantMap dict;
  const PropertyList::Status status = path.isEmpty() ? PropertyList::Status::Missing : PropertyList::read(path, dict);
  if (status != PropertyList::Status::Ok) {
    m_hasPreferenceFile = false;
    m_defaultPathString.clear();
    m_bOpenAfterScan = false;
    m_textFilePath->clear();
    m_chkFilePath->setChecked(false);
    showPreferenceFile(false, localized(status == PropertyList::Status::Missing ? "IDS_P_SAVE_PATH_NOT_ON_THIS_COMPUTER"
                                                                                : "IDS_P_SAVE_PATH_UNREADABLE"));
    funcEnd(name);
    return;
  }
  m_hasPreferenceFile = true;
  showPreferenceFile(true, QString());

  m_defaultPathString = dict.value(kLocationKey).toString();
  QString shown = m_defaultPathString;
  if (shown.isEmpty()) {
    shown = QString::fromLatin1(kDefaultLocation);
    // The default is the page's, not the user's: shown and compared with even when the file
    // could not take it.
    if (PropertyList::update(path, {{kLocationKey, shown}}) != PropertyList::Status::Ok)
      funcErr(name, QStringLiteral("Dictionary writeToFile return False!"));
    m_defaultPathString = shown;
  }
  m_textFilePath->setText(shown);
  m_bOpenAfterScan = dict.value(kIsOpenKey).toString() == QStringLiteral("1");
  m_chkFilePath->setChecked(m_bOpenAfterScan);
  funcEnd(name);
}

bool ScanToPCControllerObjC::writeToPList() {
  const QString name = op("writeToPList");
  funcEnter(name);
  // No file when the page was filled: the folder and the box were not shown, and nothing is
  // created.
  if (!m_hasPreferenceFile) {
    funcEnd(name);
    return false;
  }
  const QString path = preferencePath();
  const QString typed = m_textFilePath->text();
  const QString location = isUsableFolder(typed) ? typed : QString::fromLatin1(kDefaultLocation);
  const bool open = m_chkFilePath->isChecked();
  // Only the two keys change, in the file's own tree and format.
  const PropertyList::Status status = PropertyList::update(
      path, {{kLocationKey, location}, {kIsOpenKey, open ? QStringLiteral("1") : QStringLiteral("0")}});
  if (status != PropertyList::Status::Ok) {
    // The file shown when the page was filled is gone, unreadable, or cannot be rewritten with
    // what the user chose.
    funcErr(name, status == PropertyList::Status::WriteFailed ? QStringLiteral("Dictionary writeToFile return False!")
                                                              : QStringLiteral("Dictionary read return False!"));
    funcEnd(name);
    return false;
  }
  if (location != typed) m_textFilePath->setText(location);
  m_defaultPathString = location;
  m_bOpenAfterScan = open;
  funcEnd(name);
  return true;
}

void ScanToPCControllerObjC::showPreferenceFile(bool present, const QString& note) {
  m_textFilePath->setEnabled(present);
  m_btnFilePath->setEnabled(present);
  m_chkFilePath->setEnabled(present);
  m_labelNoPreferences->setText(note);
  m_labelNoPreferences->setVisible(!present);
}

// ---- Actions -------------------------------------------------------------------------------------------------

void ScanToPCControllerObjC::filePathOpenPanelPushed() {
  const QString name = op("filePathOpenPanelPushed:");
  funcEnter(name);
  QString start = expandTilde(m_textFilePath->text());
  if (!QFileInfo(start).isDir()) start = QDir::homePath();
  if (const std::optional<QString> chosen = platform::dialogs().chooseFolder(start)) m_textFilePath->setText(*chosen);
  funcEnd(name);
}

void ScanToPCControllerObjC::chkFilePathPushed() {
  const QString name = op("chkFilePathPushed:");
  funcEnter(name);
  funcEnd(name);
}

// ---- Trace ---------------------------------------------------------------------------------------------------

void ScanToPCControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void ScanToPCControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }

void ScanToPCControllerObjC::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
