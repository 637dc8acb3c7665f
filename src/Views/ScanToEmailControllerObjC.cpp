#include "Views/ScanToEmailControllerObjC.h"
#include "Views/PageLayout.h"

#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "Views/PageTable.h"
#include "platform/Localizer.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;
constexpr const char* kClassName = "ScanToEmailControllerObjC";

QString op(const char* selector) {
  return PageTrace::operationName(kClassName, selector);
}

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

ScanToEmailControllerObjC::ScanToEmailControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kScanToEmailView), parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  QVBoxLayout* page = pagelayout::scrollingContent(this, 10);
  QWidget* content = page->parentWidget();

  m_title = pagelayout::titleLabel(content);
  page->addWidget(m_title);
  // The editor's own texts are set as it is built (initLocalizedString).
  m_editor = new ScanOptionEditor(QString::fromLatin1(kClassName), content);
  page->addWidget(m_editor);
  page->addStretch(1);
  m_title->setText(platform::tr_(QStringLiteral("IDS_P_SCAN_TO_EMAIL")));
  funcEnd(name);
}

ScanToEmailControllerObjC::~ScanToEmailControllerObjC() = default;

// ---- Contract ------------------------------------------------------------------------------------------

void ScanToEmailControllerObjC::setParam(const MainWindowState& state) {
  setParam(state.sParamAll.sScan2Email, state.bIsB);
}

bool ScanToEmailControllerObjC::getParam(MainWindowState& state) {
  getParam(state.sParamAll.sScan2Email);
  return true;
}

bool ScanToEmailControllerObjC::isDataChanged(const MainWindowState& state) {
  return isDataChanged(state.sParamAll.sScan2Email);
}

void ScanToEmailControllerObjC::setParam(const FCL_RS_PARAM_SCANPROFILE& scan2Email, bool isB) {
  const QString name = op("setParam:module:");
  funcEnter(name);
  m_editor->load(scan2Email, isB);
  funcEnd(name);
}

void ScanToEmailControllerObjC::getParam(FCL_RS_PARAM_SCANPROFILE& scan2Email) {
  const QString name = op("getParam:");
  funcEnter(name);
  m_editor->applyData();
  scan2Email = m_editor->record();
  funcEnd(name);
}

bool ScanToEmailControllerObjC::isDataChanged(const FCL_RS_PARAM_SCANPROFILE& scan2Email) {
  const QString name = op("isDataChanged:");
  funcEnter(name);
  m_editor->applyData();
  if (m_editor->differsFrom(scan2Email)) return true;
  ut.debugMsg(kTraceLevel, QStringLiteral("No data change!"));
  funcEnd(name);
  return false;
}

void ScanToEmailControllerObjC::saveAccepted() { m_editor->acceptStored(); }

int32_t ScanToEmailControllerObjC::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  funcEnd(name);
  return kPageErrorNone;
}

// ---- Trace ------------------------------------------------------------------------------------------------

void ScanToEmailControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void ScanToEmailControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }
