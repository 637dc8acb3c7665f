#include "Views/ScanProfileControllerObjC.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/CommandFailure.h"
#include "Views/PageErrors.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "Views/ScanProfileSettingControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;

QString op(const char* selector) {
  return PageTrace::operationName("ScanProfileControllerObjC", selector);
}

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

// The title of button `row` (1..25): the profile word, a blank and the row number.
QString buttonTitle(int row) { return platform::formatText(QStringLiteral("%@ %d"), {localized("IDS_SP_PROFILE"), row}); }

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

ScanProfileControllerObjC::ScanProfileControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kScanProfileView), parent),
      ut(Utilities::sharedInstance()),
      m_profileAll(std::make_unique<FCL_RS_PROFILE_ALL>()),
      m_lastAccepted(std::make_unique<FCL_RS_PROFILE_ALL>()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  m_presenter = [](QDialog& editor) { editor.exec(); };
  buildLayout();
  initLocalizedString();
  m_lastModifyID = 0;
  for (int row = 1; row <= kRows; ++row)
    connect(m_ui.btnProfile[row - 1], &QPushButton::clicked, this, [this, row] { openEditor(row); });
  initUI();
  funcEnd(name);
}

ScanProfileControllerObjC::~ScanProfileControllerObjC() {
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

void ScanProfileControllerObjC::buildLayout() {
  QVBoxLayout* page = pagelayout::scrollingContent(this, 6);
  QWidget* content = page->parentWidget();
  m_ui.labelScanProfile = pagelayout::titleLabel(content);
  page->addWidget(m_ui.labelScanProfile);

  // Two columns of rows (1..13 and 14..25), each row: button, name, type.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(3);
  constexpr int kFirstColumnRows = (kRows + 1) / 2;
  for (int i = 0; i < kRows; ++i) {
    const int gridRow = i % kFirstColumnRows;
    const int col = i < kFirstColumnRows ? 0 : 4;
    auto* button = new QPushButton(content);
    button->setObjectName(QStringLiteral("btnProfile%1").arg(i + 1));
    button->setAutoDefault(false);
    m_ui.btnProfile[i] = button;
    m_ui.labelName[i] = pagelayout::plainLabel(content);
    m_ui.labelName[i]->setObjectName(QStringLiteral("labelName%1").arg(i + 1));
    m_ui.labelName[i]->setMinimumWidth(130);
    m_ui.labelType[i] = pagelayout::plainLabel(content);
    m_ui.labelType[i]->setObjectName(QStringLiteral("labelType%1").arg(i + 1));
    m_ui.labelType[i]->setMinimumWidth(90);
    grid->addWidget(button, gridRow, col);
    grid->addWidget(m_ui.labelName[i], gridRow, col + 1);
    grid->addWidget(m_ui.labelType[i], gridRow, col + 2);
  }
  grid->setColumnMinimumWidth(3, 16);
  grid->setColumnStretch(7, 1);
  page->addLayout(grid);
  page->addStretch(1);
}

void ScanProfileControllerObjC::initLocalizedString() {
  const QString name = op("initLocalizedString");
  funcEnter(name);
  m_ui.labelScanProfile->setText(localized("IDS_SP_SCAN_PROFILE"));
  for (int row = 1; row <= kRows; ++row) m_ui.btnProfile[row - 1]->setText(buttonTitle(row));
  funcEnd(name);
}

// ---- Contract ------------------------------------------------------------------------------------------

void ScanProfileControllerObjC::setParam(const MainWindowState& state) {
  setParam(state.ioWrapper, state.clientKeyList, state.serverKeyList);
}
bool ScanProfileControllerObjC::getParam(MainWindowState& state) { return getParam(state.ioWrapper); }
bool ScanProfileControllerObjC::isDataChanged(const MainWindowState& state) { return isDataChanged(state.ioWrapper); }

bool ScanProfileControllerObjC::differsFromAccepted(const MainWindowState& state) {
  (void)state;
  const QString name = op("differsFromAccepted:");
  funcEnter(name);
  // Without a read: the shown profiles against the last accepted ones (unread: nothing to lose).
  const bool differs = m_read && std::memcmp(m_profileAll.get(), m_lastAccepted.get(), sizeof *m_profileAll) != 0;
  funcEnd(name);
  return differs;
}

int32_t ScanProfileControllerObjC::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  funcEnd(name);
  return kPageErrorNone;
}

void ScanProfileControllerObjC::setParam(IOWrapper* io, const QStringList& clientList, const QStringList& serverList) {
  const QString name = op("setParam:clientList:serverList:");
  funcEnter(name);
  // The copy takes the reply only when the whole read was accepted.
  auto fresh = std::make_unique<FCL_RS_PROFILE_ALL>();
  CommandOutcome outcome = CommandOutcome::failed();
  if (io != nullptr) outcome = io->judge([&] { return io->getProfileAll(fresh.get()); });
  if (outcome.ok()) {
    std::memcpy(m_lastAccepted.get(), fresh.get(), sizeof *m_lastAccepted);
    m_read = true;
  } else {
    funcErr(name, withOutcome(QStringLiteral("the profiles could not be read; the last accepted profiles stay"),
                              outcome));
  }
  // The page shows the scanner's profiles as last accepted; edits not saved are dropped.
  std::memcpy(m_profileAll.get(), m_lastAccepted.get(), sizeof *m_profileAll);
  m_edited.reset();
  m_clientKeyList = clientList;
  m_serverKeyList = serverList;
  initUI();
  if (!outcome.ok()) showReadFailAlert(outcomeText(outcome));
  funcEnd(name);
}

bool ScanProfileControllerObjC::getParam(IOWrapper* io) {
  const QString name = op("getParam:");
  funcEnter(name);
  if (!m_read) {
    funcErr(name, QStringLiteral("the profiles were not read; nothing is written"));
    showNotReadAlert();
    return false;
  }
  if (io == nullptr) {
    funcErr(name, QStringLiteral("no connection to write to"));
    return false;
  }
  const CommandOutcome outcome = io->judge([&] { return io->setProfileAll(m_profileAll.get()); });
  if (!outcome.ok()) {
    funcErr(name, withOutcome(QStringLiteral("setProfileAll failed"), outcome));
    return false;
  }
  std::memcpy(m_lastAccepted.get(), m_profileAll.get(), sizeof *m_lastAccepted);
  m_edited.reset();
  funcEnd(name);
  return true;
}

bool ScanProfileControllerObjC::isDataChanged(IOWrapper* io) {
  const QString name = op("isDataChanged:");
  funcEnter(name);
  if (!m_read) {
    // Unread profiles hold nothing of the user's: leaving the page or saving is never blocked.
    ut.debugMsg(kTraceLevel, QStringLiteral("The profiles were not read; nothing to save."));
    funcEnd(name);
    return false;
  }
  auto scanner = std::make_unique<FCL_RS_PROFILE_ALL>();
  CommandOutcome outcome = CommandOutcome::failed();
  if (io != nullptr) outcome = io->judge([&] { return io->getProfileAll(scanner.get()); });
  if (outcome.ok()) {
    std::memcpy(m_lastAccepted.get(), scanner.get(), sizeof *m_lastAccepted);
    bool refreshed = false;
    for (int i = 0; i < kRows; ++i) {
      if (m_edited.test(std::size_t(i))) continue;
      refreshed = refreshed || std::memcmp(&m_profileAll->sProfile[i], &scanner->sProfile[i], sizeof(FCL_RS_PROFILE)) != 0;
      std::memcpy(&m_profileAll->sProfile[i], &scanner->sProfile[i], sizeof(FCL_RS_PROFILE));
    }
    if (refreshed) initUI();
  } else {
    // Without a fresh copy, the last accepted profiles are what the scanner holds as far as we know.
    funcErr(name, QStringLiteral("the profiles could not be read again; comparing with the last accepted"));
    std::memcpy(scanner.get(), m_lastAccepted.get(), sizeof *scanner);
  }
  const int nCmp = std::memcmp(scanner.get(), m_profileAll.get(), sizeof *scanner);
  if (nCmp != 0) {
    ut.debugMsg(kTraceLevel, QStringLiteral("Data is changed! nCmp:%d"), nCmp);
    return true;
  }
  ut.debugMsg(kTraceLevel, QStringLiteral("No data change!"));
  funcEnd(name);
  return false;
}

void ScanProfileControllerObjC::importedProfiles(const FCL_RS_PROFILE_ALL* written) {
  const QString name = op("importedProfiles:");
  funcEnter(name);
  m_read = written != nullptr;
  if (written != nullptr) std::memcpy(m_lastAccepted.get(), written, sizeof *m_lastAccepted);
  std::memcpy(m_profileAll.get(), m_lastAccepted.get(), sizeof *m_profileAll);
  m_edited.reset();
  initUI();
  funcEnd(name);
}

void ScanProfileControllerObjC::showNotReadAlert() {
  ut.message(localized("IDS_RS_NOT_READ_MSG"), localized("IDS_RS_NOT_READ_INFO"), false);
}

void ScanProfileControllerObjC::showReadFailAlert(const QString& details) {
  QString information = localized("IDS_SP_READ_FAIL_INFO");
  if (!details.isEmpty()) information += QLatin1Char('\n') + details;
  ut.message(localized("IDS_SP_READ_FAIL_MSG"), information, false);
}

// ---- Rows -----------------------------------------------------------------------------------------------

void ScanProfileControllerObjC::initUI() {
  const QString name = op("initUI");
  funcEnter(name);
  for (int i = 0; i < kRows; ++i) {
    m_ui.btnProfile[i]->setEnabled(m_read);
    if (!m_read) {
      m_ui.labelName[i]->setText(localized("IDS_SP_PROFILE_NOT_READ"));
      m_ui.labelType[i]->clear();
      continue;
    }
    m_ui.labelName[i]->setText(platform::textFromField(m_profileAll->sProfile[i].szProfileName));
  }
  if (m_read) {
    for (int i = 0; i < kRows; ++i) {
      if (m_ui.labelName[i]->text().isEmpty()) m_ui.labelType[i]->clear();
      else m_ui.labelType[i]->setText(getProfileTypeStr(static_cast<int32_t>(m_profileAll->sProfile[i].dwProfileType)));
    }
  }
  funcEnd(name);
}

QString ScanProfileControllerObjC::getProfileTypeStr(int32_t type) const {
  const QString name = op("getProfileTypeStr:");
  funcEnter(name);
  QString text;
  switch (type) {
    case 0: text = localized("IDS_PN_PROFILE_TO_NETWORK_FOLDER"); break;
    case 1: text = localized("IDS_PF_PROFILE_TO_FTP"); break;
    case 2: text = localized("IDS_PS_PROFILE_TO_SFTP"); break;
    case 3: text = QStringLiteral("E-mail"); break;
    case 4: text = QStringLiteral("PC"); break;
    case 5: text = QStringLiteral("UDisk"); break;
    default:
      text = QStringLiteral("Undefined!");
      funcErr(name, platform::formatText(QStringLiteral("ERROR: ScanProfileType No define %d"), {type}));
      break;
  }
  funcEnd(name);
  return text;
}

// ---- The editor -------------------------------------------------------------------------------------------

void ScanProfileControllerObjC::setBackParam(const FCL_RS_PROFILE* profile) {
  const QString name = op("setBackParam:");
  funcEnter(name);
  if (profile != nullptr && m_lastModifyID >= 0 && m_lastModifyID < kRows) {
    std::memcpy(&m_profileAll->sProfile[m_lastModifyID], profile, sizeof(FCL_RS_PROFILE));
    m_edited.set(std::size_t(m_lastModifyID));
  }
  initUI();
  funcEnd(name);
}

void ScanProfileControllerObjC::openEditor(int row) {
  const QString name = op("openEditor:");
  funcEnter(name);
  // Only profiles that were read can be edited (the buttons are disabled otherwise).
  if (m_read) {
    std::unique_ptr<QDialog> dialog =
        PageFactory::standard().createEditor(QString::fromLatin1(kScanProfileEditorId), window());
    auto* editor = qobject_cast<ScanProfileSettingControllerObjC*>(dialog.get());
    if (editor != nullptr && prepareForSegue(row, editor)) m_presenter(*editor);
  }
  funcEnd(name);
}

bool ScanProfileControllerObjC::prepareForSegue(int row, ScanProfileSettingControllerObjC* editor) {
  const QString name = op("prepareForSegue:sender:");
  funcEnter(name);
  if (editor == nullptr || row < 1 || row > kRows) {
    funcErr(name, QStringLiteral("no editor, or a row outside 1..25"));
    return false;
  }
  // Each button opens its own slot, whatever its title says.
  m_lastModifyID = row - 1;
  editor->setPreviousVC(this);
  editor->setParam(&m_profileAll->sProfile[m_lastModifyID], m_clientKeyList, m_serverKeyList);
  funcEnd(name);
  return true;
}

// ---- Trace -----------------------------------------------------------------------------------------------------

void ScanProfileControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void ScanProfileControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }

void ScanProfileControllerObjC::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
