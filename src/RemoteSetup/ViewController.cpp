#include "RemoteSetup/ViewController.h"
#include "RemoteSetup/ViewControllerTrace.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStackedLayout>
#include <QTreeView>
#include <QVBoxLayout>
#include <functional>
#include <utility>

#include "IO/FCLCodes.h"
#include "Views/CommandFailure.h"
#include "Views/PageErrors.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "Views/ScanFileNameControllerObjC.h"
#include "Views/SourceListModel.h"
#include "platform/Localizer.h"
#include "platform/widgets/WindowPlacement.h"

using platform::Localizer;

namespace {

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

const char* const kTerminateOnConnection = "***** ViewController::checkConnection FAIL! TERMINATE REMOTE SETUP!!! *****";
const char* const kTerminateOnLock = "***** ViewController::lockScanner FAIL! TERMINATE REMOTE SETUP!!! *****";

// The least width of the source list.
constexpr int kSourceListWidth = 210;

// ---- The source list follows the page on show -----------------------------------------------

// The row of the page `view` shows (invalid when it has none in the tree).
QModelIndex rowOfPage(const SourceListModel& model, const QString& viewId) {
  const pages::PageInfo* info = pages::pageByViewId(viewId);
  if (info == nullptr || model.rowCount() == 0) return {};
  const QModelIndexList found = model.match(model.index(0, 0), Qt::DisplayRole, text(info->titleKey), 1,
                                            Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? QModelIndex() : found.front();
}

// The row an arrow key leads to from `from`: the next visible row in the key's direction that has
// a page (`hasPage`). A row without a page is passed over; going down, one with rows below it (the
// network row) is opened first, so the key lands on its first child.
QModelIndex nextPageRow(QTreeView& view, const SourceListModel& model, QModelIndex from, bool down,
                        const std::function<bool(const QModelIndex&)>& hasPage) {
  QModelIndex row = from;
  for (int guard = 0; guard < 64 && row.isValid(); ++guard) {
    if (down && row != from && model.hasChildren(row) && !view.isExpanded(row)) view.expand(row);
    row = down ? view.indexBelow(row) : view.indexAbove(row);
    if (row.isValid() && hasPage(row)) return row;
  }
  return {};
}

// Runs `onArrow(down)` for the Up and Down keys of the source list instead of the view's own
// cursor move, so the keyboard goes through the same switch cycle as a click.
class ArrowKeys : public QObject {
 public:
  ArrowKeys(QObject* parent, std::function<void(bool)> onArrow) : QObject(parent), m_onArrow(std::move(onArrow)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
          m_onArrow(key->key() == Qt::Key_Down);
          return true;
        }
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(bool)> m_onArrow;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and hand-over

ViewController::ViewController(QWidget* parent) : ViewController(PageFactory::standard(), parent) {}

ViewController::ViewController(const PageFactory& factory, QWidget* parent)
    : QWidget(parent),
      ut(Utilities::sharedInstance()),
      ioWrapper(std::make_unique<IOWrapper>()),
      oTree(QString::fromLatin1(pages::kNetworkModelName)),
      m_factory(factory),
      m_terminateHandler([] { QCoreApplication::quit(); }) {
  m_state.ioWrapper = ioWrapper.get();
}

ViewController::~ViewController() {
  // A window destroyed while it still holds the scanner lets it go first.
  viewDidDisappear();
  // The pages may keep the command layer: they go before it does.
  for (PageController** field : pageFields()) {
    delete *field;
    *field = nullptr;
  }
  // The tree view must stop asking the model before the nodes go.
  if (sourceView != nullptr) sourceView->setModel(nullptr);
}

void ViewController::setupInfo(const QString& ip, const QString& module, const QString& device,
                               const QString& interface, const QString& uuid, const QString& twainName) {
  ViewControllerTrace trace(ut, "setupInfo(ip:module:device:interface:uuid:twainName:)");
  m_ipString = ip;
  m_state.bIsB = module == QStringLiteral("B");
  m_deviceName = device;
  m_state.deviceInterface = interface;
  m_state.deviceUUID = uuid;
  m_state.deviceTWAINName = twainName;
}

std::array<PageController**, 11> ViewController::pageFields() {
  return {&generalVC,   &addressVC,  &filenameVC,    &scan2USBVC, &scan2EmailVC, &scan2PCVC,
          &profileVC,   &wiredLANVC, &wirelessLANVC, &emailVC,    &machineVC};
}

std::array<PageController* const*, 11> ViewController::pageFields() const {
  return {&generalVC,   &addressVC,  &filenameVC,    &scan2USBVC, &scan2EmailVC, &scan2PCVC,
          &profileVC,   &wiredLANVC, &wirelessLANVC, &emailVC,    &machineVC};
}

PageController* ViewController::page(const QString& storyboardId) const {
  const auto fields = pageFields();
  for (std::size_t i = 0; i < pages::kPages.size(); ++i) {
    if (storyboardId == QLatin1String(pages::kPages[i].storyboardId)) return *fields[i];
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// View set-up

void ViewController::loadViewIfNeeded() {
  if (m_viewLoaded) return;
  m_viewLoaded = true;
  viewDidLoad();
}

void ViewController::viewDidLoad() {
  ViewControllerTrace trace(ut, "viewDidLoad()");
  buildLayout();
  initUI();
  initLocalizedString();
  fitPages();
}

QSize ViewController::openingPageSize() const {
  QSize size = pagelayout::kPageSize;
  for (PageController* const* field : pageFields()) {
    if (*field != nullptr) size = size.expandedTo((*field)->neededSize());
  }
  return size;
}

void ViewController::fitPages() {
  // The source list is as wide as its rows need.
  sourceView->setFixedWidth(qMax(kSourceListWidth, static_cast<QAbstractItemView*>(sourceView)->sizeHintForColumn(0) +
                                                       2 * sourceView->frameWidth()));
  // The window opens at the size that gives every page the area it needs; it may be made smaller,
  // down to the least page area, and the pages scroll (they sit in scrolling areas), or larger,
  // and the page on show grows with it. A screen without the room for the opening size gets a
  // window that fits its free area, its buttons on show.
  platform::showNewChildren(*this);
  myContainer->setMinimumSize(openingPageSize());
  layout()->activate();
  m_openingSize = minimumSizeHint();
  myContainer->setMinimumSize(pagelayout::kLeastPageSize);
  layout()->activate();
  platform::fitToScreen(*this);
}

QSize ViewController::sizeHint() const { return m_openingSize.isValid() ? m_openingSize : QWidget::sizeHint(); }

void ViewController::buildLayout() {
  sourceView = new QTreeView(this);
  sourceView->setObjectName(QStringLiteral("sourceView"));
  sourceView->setHeaderHidden(true);
  sourceView->setRootIsDecorated(true);
  sourceView->setExpandsOnDoubleClick(false);
  sourceView->setEditTriggers(QAbstractItemView::NoEditTriggers);

  myContainer = new QWidget(this);
  myContainer->setObjectName(QStringLiteral("myContainer"));
  QSizePolicy containerPolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  containerPolicy.setRetainSizeWhenHidden(true);  // empty until the first load shows a page
  myContainer->setSizePolicy(containerPolicy);
  m_containerLayout = new QStackedLayout(myContainer);
  m_containerLayout->setStackingMode(QStackedLayout::StackAll);
  m_containerLayout->setContentsMargins(0, 0, 0, 0);

  m_shelf = new QWidget(this);
  m_shelf->hide();

  btnImport = new QPushButton(this);
  btnExport = new QPushButton(this);
  btnDevices = new QPushButton(this);
  btnOK = new QPushButton(this);
  btnCancel = new QPushButton(this);
  btnApply = new QPushButton(this);
  btnImport->setObjectName(QStringLiteral("btnImport"));
  btnExport->setObjectName(QStringLiteral("btnExport"));
  btnDevices->setObjectName(QStringLiteral("btnDevices"));
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnApply->setObjectName(QStringLiteral("btnApply"));

  auto* body = new QHBoxLayout;
  body->addWidget(sourceView);
  body->addWidget(myContainer);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnImport);
  buttons->addWidget(btnExport);
  buttons->addSpacing(12);
  buttons->addWidget(btnDevices);
  buttons->addStretch(1);
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnApply);

  auto* root = new QVBoxLayout(this);
  root->addLayout(body);
  root->addLayout(buttons);

  connect(btnOK, &QPushButton::clicked, this, &ViewController::OKBtnPressed);
  connect(btnApply, &QPushButton::clicked, this, &ViewController::ApplyBtnPressed);
  connect(btnCancel, &QPushButton::clicked, this, &ViewController::CancelBtnPressed);
  connect(btnDevices, &QPushButton::clicked, this, &ViewController::DevicesBtnPressed);
  connect(btnImport, &QPushButton::clicked, this, &ViewController::ImportBtnPressed);
  connect(btnExport, &QPushButton::clicked, this, &ViewController::ExportBtnPressed);
  connect(sourceView, &QTreeView::clicked, this, &ViewController::clickedItem);
  sourceView->installEventFilter(new ArrowKeys(sourceView, [this](bool down) {
    if (m_treeModel == nullptr) return;
    const QList<PageController*> views = containerViews();
    const QModelIndex from = views.size() == 1 ? rowOfPage(*m_treeModel, views.front()->objectName())
                                               : sourceView->currentIndex();
    const auto hasPage = [this](const QModelIndex& index) {
      const SourceListItemDisplayable* node = m_treeModel->node(index);
      const pages::PageInfo* info = node != nullptr ? pages::pageByTitle(node->name()) : nullptr;
      return info != nullptr && page(QString::fromLatin1(info->storyboardId)) != nullptr;
    };
    const QModelIndex to = nextPageRow(*sourceView, *m_treeModel, from, down, hasPage);
    if (to.isValid()) clickedItem(to);
  }));
}

void ViewController::initUI() {
  ViewControllerTrace trace(ut, "initUI()");
  // The pages, in the page table's order; every view goes into the container, the last on top.
  const auto fields = pageFields();
  for (std::size_t i = 0; i < pages::kPages.size(); ++i) {
    std::unique_ptr<PageController> created =
        m_factory.create(QString::fromLatin1(pages::kPages[i].storyboardId), myContainer);
    *fields[i] = created.release();  // the container (and later the shelf) owns it
    if (*fields[i] != nullptr) {
      m_containerLayout->addWidget(*fields[i]);
      m_containerLayout->setCurrentWidget(*fields[i]);
    }
  }

  // A counter reset the scanner accepted is in the scanner's record now: the window's copy
  // follows, or a later save of the file-name page would write the old count back.
  if (auto* fileNamePage = qobject_cast<ScanFileNameControllerObjC*>(filenameVC)) {
    connect(fileNamePage, &ScanFileNameControllerObjC::fileNameCounterReset, this,
            [this](uint32_t count) { m_state.sParamAll.sFilename.dwBALLScanCount = count; });
  }

  // The tree for the model, then the rows that open at start.
  sourcelist::buildTree(oTree, m_state.bIsB);
  m_treeModel = new SourceListModel(&oTree, this);
  sourceView->setModel(m_treeModel);
  sourcelist::expandInitialRows(*sourceView, m_state.bIsB);
}

void ViewController::initLocalizedString() {
  ViewControllerTrace trace(ut, "initLocalizedString()");
  btnImport->setText(text("IDS_RS_IMPORT"));
  btnExport->setText(text("IDS_RS_EXPORT"));
  btnOK->setText(text("IDS_RS_OK"));
  btnCancel->setText(text("IDS_RS_CANCEL"));
  btnApply->setText(text("IDS_RS_APPLY"));
  btnDevices->setText(text("IDS_RS_DEVICES"));
}

QList<PageController*> ViewController::containerViews() const {
  QList<PageController*> views;
  if (m_containerLayout == nullptr) return views;
  for (int i = 0; i < m_containerLayout->count(); ++i) {
    if (auto* page = qobject_cast<PageController*>(m_containerLayout->widget(i))) views << page;
  }
  return views;
}

void ViewController::displaySubview(QWidget* view) {
  ViewControllerTrace trace(ut, "displaySubview(_:)");
  while (m_containerLayout->count() > 0) {
    QWidget* old = m_containerLayout->widget(0);
    m_containerLayout->removeWidget(old);
    old->hide();
    old->setParent(m_shelf);
  }
  if (view == nullptr) return;
  view->setParent(myContainer);
  m_containerLayout->addWidget(view);
  m_containerLayout->setCurrentWidget(view);
  view->show();
  highlightShownPage(true);
}

void ViewController::highlightShownPage(bool reveal) {
  // The highlighted row is always the page on show (after a refused switch too, and after a
  // click on a row that has no page of its own).
  if (m_treeModel == nullptr || sourceView == nullptr || sourceView->selectionModel() == nullptr) return;
  const QList<PageController*> views = containerViews();
  if (views.size() != 1) return;
  const QModelIndex row = rowOfPage(*m_treeModel, views.front()->objectName());
  if (!row.isValid()) return;
  if (reveal)
    for (QModelIndex up = row.parent(); up.isValid(); up = up.parent()) sourceView->expand(up);
  sourceView->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
}

// ---------------------------------------------------------------------------------------------
// Appearance and release

void ViewController::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;  // the window manager restoring the window: not a new appearance
  loadViewIfNeeded();
  // Runs once the window is on screen, from the event loop, as the platform's "did appear".
  QMetaObject::invokeMethod(this, &ViewController::viewDidAppear, Qt::QueuedConnection);
}

void ViewController::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  if (enter && field != nullptr && myContainer->isAncestorOf(field)) {
    event->accept();
    ApplyBtnPressed();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ViewController::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;  // minimised: the window is still there
  viewDidDisappear();
}

void ViewController::viewDidAppear() {
  ViewControllerTrace trace(ut, "viewDidAppear()");
  // Hidden again before the event loop came round, or already appeared (shown, hidden and shown
  // again before the first queued call ran): nothing to do.
  if (!isVisible() || m_terminating || m_appeared) return;
  m_appeared = true;
  m_scannerLost = false;
  // The pages hold nothing the scanner gave until the first load has filled one: the page area
  // stays empty meanwhile, and for good when the load does not get that far.
  myContainer->hide();

  setWindowTitle(text("IDS_REMOTE_SETUP") + QStringLiteral(" - ") + m_deviceName + QStringLiteral(" (") +
                 m_state.deviceInterface + QStringLiteral(")"));

  bool opened = false;
  if (m_state.deviceInterface == QStringLiteral("USB")) {
    opened = m_state.bIsB ? ioWrapper->openUSBScannerB() : ioWrapper->openUSBScannerBNT();
  } else {
    opened = ioWrapper->openScanner(m_ipString);
  }
  if (opened) {
    m_fwRejectPending = false;
    loadData(true);
    if (m_fwRejectPending && !m_terminating) {
      QMetaObject::invokeMethod(this, &ViewController::procFWReject, Qt::QueuedConnection);
    }
    m_fwRejectPending = false;
    return;
  }

  ut.debugMsg2(2, QStringLiteral("ViewController::loadData openScanner FAIL!"));
  // Nothing can be loaded: as when the scanner stops answering during the load, OK leads back to
  // the device window and Cancel quits; the alert says the device could not be opened (no
  // exchange took place).
  endLoad(CommandOutcome::failed(), false);
}

void ViewController::viewDidDisappear() {
  if (!m_appeared) return;
  m_appeared = false;
  ViewControllerTrace trace(ut, "viewDidDisappear()");
  const auto unlock = [this] {
    ioWrapper->unlockScanner();
    ioWrapper->CtrlPipeUnlockScanner();
    return true;
  };
  // A scanner that stopped answering during the load gets one try within the follow-up limit.
  if (m_scannerLost) ioWrapper->judgeWithin(m_loadFollowUpLimit, unlock);
  else unlock();
  ioWrapper->closeScanner();
  ioWrapper->resetIP();
}

void ViewController::terminate() {
  if (m_terminating) return;
  m_terminating = true;
  close();             // hides the window: the scanner is released
  viewDidDisappear();  // (in case the window was never on screen)
  if (m_terminateHandler) m_terminateHandler();
}

// ---------------------------------------------------------------------------------------------
// The load

void ViewController::loadData(bool initial) {
  ViewControllerTrace trace(ut, "loadData(initial:)");
  m_firstLoad = initial;
  m_noAnswerRun = 0;
  m_unreadRecordPending = false;
  const auto done = qScopeGuard([this] { m_firstLoad = false; });

  // At start-up the scanner must be ready; on the reload after an import it is busy with this
  // computer's lock.
  if (!checkConnection(initial ? FCL_FWINFO_READY : FCL_FWINFO_LOCKED)) return;

  if (initial) {
    lockScanner();
    if (m_terminating || m_scannerLost) return;
  }

  // Each read fills its record only when it completed and the scanner accepted it; a failed read
  // leaves what the record held and marks it unread, so it is never written back. Without the
  // settings block there is nothing to show.
  if (!loadRecord(m_state.sParamAll, &m_state.bParamAllRead, LoadStep::Essential,
                  [this](FCL_RS_PARAM_ALL* r) { return ioWrapper->getParamAll(r); }))
    return;
  if (!loadRecord(m_state.sLampState, &m_state.bLampStateRead, LoadStep::Record,
                  [this](FCL_LAMP_STATE* r) { return ioWrapper->getLampState(r); }))
    return;
  if (!loadRecord(m_state.sCapabilities, nullptr, LoadStep::Record,
                  [this](FCL_CAP_HALVERN* r) { return ioWrapper->getCapabilities(r); }))
    return;
  if (!loadRecord(m_state.byLanguage, &m_state.bLanguageRead, LoadStep::Record,
                  [this](uint8_t* r) { return ioWrapper->getLanguage(r); }))
    return;
  if (!loadRecord(m_state.sMachineInfo, nullptr, LoadStep::Record,
                  [this](FCL_RS_MACHINE_INFO* r) { return ioWrapper->getMachineInfo(r); }))
    return;
  if (!loadRecord(m_state.sFactoryDef, nullptr, LoadStep::Record,
                  [this](FCL_RS_FACTORY_DEFSETTING* r) { return ioWrapper->getFactoryDefsetting(r); }))
    return;

  // No readable vendor string leaves the serial text empty rather than stale.
  std::optional<QString> vendor;
  if (!loadGoesOn(loadExchange([&] {
                    vendor = ioWrapper->getVendorString();
                    return vendor.has_value();
                  }),
                  LoadStep::Quiet))
    return;
  m_state.serialString = vendor.value_or(QString());

  // The lists are judged by their exchanges only: a key count no scanner holds is not a lost scanner.
  m_state.clientKeyList.clear();
  m_state.serverKeyList.clear();
  uint32_t clientCount = 0;
  uint32_t serverCount = 0;
  if (!loadGoesOn(loadExchange([&] {
                    clientCount = ioWrapper->getSFTPClientKeyPair(m_state.clientKeyList);
                    return true;
                  }),
                  LoadStep::Quiet))
    return;
  if (!loadGoesOn(loadExchange([&] {
                    serverCount = ioWrapper->getSFTPServerKeyPair(m_state.serverKeyList);
                    return true;
                  }),
                  LoadStep::Quiet))
    return;
  if (clientCount != static_cast<uint32_t>(m_state.clientKeyList.size())) {
    ut.debugMsg(2, QStringLiteral("ERROR: ClientKeyCnt %u doesn't match to clientKeyList.count %lu"), clientCount,
                static_cast<unsigned long>(m_state.clientKeyList.size()));
  }
  if (serverCount != static_cast<uint32_t>(m_state.serverKeyList.size())) {
    ut.debugMsg(2, QStringLiteral("ERROR: ServerKeyCnt %u doesn't match to serverKeyList.count %lu"), serverCount,
                static_cast<unsigned long>(m_state.serverKeyList.size()));
  }

  if (!checkStructureVersion()) {
    terminate();
    return;
  }

  if (initial) {
    if (generalVC != nullptr) {
      generalVC->setParam(m_state);
      displaySubview(generalVC);
    }
    myContainer->show();
  }
}

template <typename Record, typename Read>
bool ViewController::loadRecord(Record& record, bool* readFlag, LoadStep step, Read read) {
  Record fresh = record;
  const CommandOutcome outcome = loadExchange([&] { return read(&fresh); });
  if (outcome.ok()) record = fresh;
  if (readFlag != nullptr) *readFlag = outcome.ok();
  return loadGoesOn(outcome, step);
}

CommandOutcome ViewController::loadExchange(const std::function<bool()>& step) {
  if (!m_firstLoad) return ioWrapper->judge(step);
  // Whether a scanner that did not answer has gone shows within a moment; a wait per record
  // would keep the window from repainting for a minute.
  const CommandOutcome outcome =
      ioWrapper->judgeWithin(m_noAnswerRun > 0 ? m_loadFollowUpLimit : m_loadExchangeLimit, step);
  m_noAnswerRun = outcome.noAnswer() ? m_noAnswerRun + 1 : 0;
  return outcome;
}

bool ViewController::loadGoesOn(const CommandOutcome& outcome, LoadStep step) {
  if (m_terminating) return false;
  if (!m_firstLoad) return outcome.ok() || step == LoadStep::Quiet || procNoConnection();

  if (outcome.noAnswer()) {
    if (step == LoadStep::Essential || m_noAnswerRun > 1) {
      endLoad(outcome);
      return false;
    }
    // One exchange without an answer: the next one tells whether the scanner is still there.
    if (step == LoadStep::Record) m_unreadRecordPending = true;
    return true;
  }
  if (!outcome.ok() && step == LoadStep::Essential) {
    endLoad(outcome);
    return false;
  }
  // The scanner answers: a record it did not give (now, or before this exchange) is asked about.
  if (m_unreadRecordPending || (!outcome.ok() && step == LoadStep::Record)) {
    m_unreadRecordPending = false;
    return procNoConnection();
  }
  return true;
}

void ViewController::endLoad(const CommandOutcome& outcome, bool opened) {
  // Nothing was written and no page shows the scanner's settings: one alert says what the
  // scanner did, and the user goes back to the device window (to connect again) or quits. A
  // refusal of remote setup noticed by the lock is not told on top of it.
  m_fwRejectPending = false;
  QString message;
  QString info;
  if (!opened) {
    m_scannerLost = true;
    message = text("IDS_RS_OPEN_FAILED_MSG");
    info = text("IDS_RS_OPEN_FAILED_INFO");
  } else if (outcome.noAnswer()) {
    m_scannerLost = true;
    ut.debugMsg2(2, QStringLiteral("ERROR: ViewController::loadData the scanner stopped answering"));
    message = text("IDS_CM_NO_CONNECTION_MSG");
    info = withOutcome(text("IDS_RS_LOAD_NO_ANSWER_INFO"), outcome);
  } else {
    ut.debugMsg(2, QStringLiteral("ERROR: ViewController::loadData settings refused, dwLastErr 0x%x"),
                outcome.deviceError);
    message = text("IDS_RS_LOAD_REFUSED_MSG");
    info = withOutcome(text("IDS_RS_LOAD_REFUSED_INFO"), outcome);
  }
  info += QLatin1Char('\n') + text("IDS_RS_RETURN_TO_DEVICES_INFO");
  if (!ut.message(message, info, true)) {
    ut.debugMsg2(2, QString::fromLatin1(kTerminateOnConnection));
    terminate();
    return;
  }
  emit returnToDevices();
  close();
}

void ViewController::lockScanner() {
  ViewControllerTrace trace(ut, "lockScanner()");
  if (m_ipString.isEmpty() && !ioWrapper->CtrlPipeLockScanner()) {
    ut.debugMsg2(2, QStringLiteral("ERROR: ViewController::lockScanner ioWrapper.ctrlPipeLockScanner return FAIL!"));
    showFatalAlert(QStringLiteral("IDS_LOCK_SCANNER_FAIL_MSG"), QStringLiteral("IDS_LOCK_SCANNER_FAIL_INFO"),
                   QString::fromLatin1(kTerminateOnLock));
    return;
  }

  // A lock command without a whole answer is a scanner that stopped answering, not one that
  // another computer holds.
  const CommandOutcome locked = loadExchange([this] { return ioWrapper->lockScanner(); });
  if (locked.noAnswer()) {
    endLoad(locked);
    return;
  }
  // The refusal is shown once the whole load has run and control is back in the event loop
  // (viewDidAppear queues it then: an alert of the load itself runs a nested event loop, which
  // would deliver a call queued now in the middle of the load).
  if (locked.kind == CommandOutcome::Kind::Refused && locked.deviceError == FCLE_FW_REJECT_RS) {
    m_fwRejectPending = true;
    return;
  }
  if (locked.ok()) return;

  // Any other refusal: the scanner is not this computer's, so nothing may be written. Say why
  // and end the session.
  const std::optional<QString> holder = ioWrapper->readLockHolder();
  const bool heldByOther = holder.has_value() && !holder->isEmpty() && *holder != ioWrapper->uuid();
  ut.debugMsg(2, QStringLiteral("ERROR: ViewController::lockScanner refused, dwLastErr 0x%x"), locked.deviceError);
  const QString info = heldByOther ? text("IDS_LOCK_SCANNER_RESERVED_INFO")
                                   : withOutcome(text("IDS_LOCK_SCANNER_REFUSED_INFO"), locked);
  ut.message(text("IDS_LOCK_SCANNER_REFUSED_MSG"), info, false);
  ut.debugMsg2(2, QString::fromLatin1(kTerminateOnLock));
  terminate();
}

void ViewController::showFatalAlert(const QString& messageKey, const QString& infoKey, const QString& logLine) {
  ut.message(Localizer::text(messageKey), Localizer::text(infoKey), false);
  ut.debugMsg2(2, logLine);
  terminate();
}

bool ViewController::checkConnection(uint16_t status) {
  ViewControllerTrace trace(ut, "checkConnection(status:)");
  const CommandOutcome inquiry = loadExchange([this] { return ioWrapper->getDeviceStatus(&m_state.sDeviceStatus); });
  if (inquiry.noAnswer() && m_firstLoad) {
    endLoad(inquiry);
    return false;
  }
  if (inquiry.noAnswer()) return procNoConnection();
  // It answered: with the state expected the load goes on; otherwise the alert names what it
  // reported (a condition, another state, or ready where this computer's reservation was
  // expected), and OK reads all the same while Cancel quits.
  const HoldStatus hold = judgeHoldStatus(inquiry, m_state.sDeviceStatus, status);
  if (hold == HoldStatus::Held) return true;
  if (m_terminating) return false;
  const QString info = hold == HoldStatus::ReservationGone
                           ? text("IDS_CHECK_DEVICE_ID_FAIL_INFO")
                           : statusConditionText(m_state.sDeviceStatus) + QLatin1Char('\n') + text("IDS_RS_LOAD_NOT_READY_INFO");
  if (ut.message(lostHoldMessage(hold), info, true)) return true;
  ut.debugMsg2(2, QString::fromLatin1(kTerminateOnConnection));
  terminate();
  return false;
}

bool ViewController::procNoConnection() {
  if (m_terminating) return false;
  if (ut.message(text("IDS_CM_NO_CONNECTION_MSG"), text("IDS_CM_NO_CONNECTION_INFO"), true)) return true;
  ut.debugMsg2(2, QString::fromLatin1(kTerminateOnConnection));
  terminate();
  return false;
}

void ViewController::procFWReject() {
  if (m_terminating) return;
  showFatalAlert(QStringLiteral("IDS_DV_FW_REJECT_MSG"), QStringLiteral("IDS_DV_FW_REJECT_INFO"),
                 QStringLiteral("***** ViewController::lockScanner FW Reject! TERMINATE REMOTE SETUP!!! *****"));
}

bool ViewController::checkStructureVersion() {
  ViewControllerTrace trace(ut, "checkStructureVersion()");
  if (fclStructVersionSupported(m_state.sParamAll.dwStructVersion)) return true;
  ut.message(text("IDS_CM_ERROR"), text("IDS_PV_ERROR_MSG"), false);
  return false;
}

// ---------------------------------------------------------------------------------------------
// The page on show

PageController* ViewController::shownPage(const char* viewId) const {
  for (PageController* view : containerViews()) {
    if (view->objectName() == QLatin1String(viewId)) return view;
  }
  return nullptr;
}

int32_t ViewController::isDataError() {
  ViewControllerTrace trace(ut, "isDataError()");
  for (PageController* view : containerViews()) {
    ut.debugMsg2(1, QStringLiteral(" [isDataError] View Identifier ") + view->objectName());
    if (pages::pageByViewId(view->objectName()) == nullptr) continue;
    if (view->objectName() == QLatin1String(pages::kMachineInfoView)) continue;
    return view->isDataError();
  }
  return kPageErrorNone;
}

bool ViewController::isDataChanged() {
  ViewControllerTrace trace(ut, "isDataChanged()");
  for (PageController* view : containerViews()) {
    ut.debugMsg2(1, QStringLiteral(" [isDataChanged] View Identifier ") + view->objectName());
    if (pages::pageByViewId(view->objectName()) == nullptr) continue;
    return view->isDataChanged(m_state);
  }
  return false;
}

void ViewController::getParamFromVC() {
  ViewControllerTrace trace(ut, "getParamFromVC()");
  for (PageController* view : containerViews()) {
    ut.debugMsg2(1, QStringLiteral(" [getParamFromVC] View Identifier ") + view->objectName());
    const QString id = view->objectName();
    // The self-writing pages write the scanner themselves while saving.
    if (id == QLatin1String(pages::kAddressBookView) || id == QLatin1String(pages::kScanProfileView)) continue;
    if (pages::pageByViewId(id) == nullptr) continue;
    view->getParam(m_state);
  }
}

void ViewController::setParamToVC() {
  ViewControllerTrace trace(ut, "setParamToVC()");
  for (PageController* view : containerViews()) {
    ut.debugMsg2(1, QStringLiteral(" [setParamToVC] View Identifier ") + view->objectName());
    if (pages::pageByViewId(view->objectName()) == nullptr) continue;
    view->setParam(m_state);
    // The scan-profile page is refilled where it stands.
    if (view->objectName() != QLatin1String(pages::kScanProfileView)) displaySubview(view);
  }
}

bool ViewController::saveCurrentData() {
  // The writes of the page on show, in order. A record that was never read successfully is not
  // written (its page's other records are); the first failed write ends the save. Every record
  // that was not written successfully gets back what it held before the cycle copied the page's
  // edits into it (`m_beforeSave`), so no later save of another page sends an edit that failed.
  IOWrapper& io = *ioWrapper;
  FCL_RS_PARAM_ALL& all = m_state.sParamAll;
  const MainWindowState& before = m_beforeSave;
  m_saveOutcome = CommandOutcome::accepted();
  m_saveSkippedUnread = false;

  struct Write {
    bool read;                     // the record holds what the scanner sent
    std::function<bool()> send;    // the write (a device operation or a self-writing page)
    std::function<void()> undo;    // puts back the record as it was before the cycle
  };
  std::vector<Write> writes;
  const bool paramRead = m_state.bParamAllRead;
  const auto sub = [&](auto member) {
    return [this, member, &before] { m_state.sParamAll.*member = before.sParamAll.*member; };
  };

  for (PageController* view : containerViews()) {
    const QString id = view->objectName();
    ut.debugMsg2(1, QStringLiteral("saveCurrentData by View ") + id);
    if (pages::pageByViewId(id) == nullptr) continue;
    if (id == QLatin1String(pages::kGeneralSetupView)) {
      writes.push_back({paramRead, [&] { return io.setGeneral(&all.sGeneral); }, sub(&FCL_RS_PARAM_ALL::sGeneral)});
      writes.push_back({m_state.bLampStateRead, [&] { return io.setLampState(&m_state.sLampState); },
                        [&] { m_state.sLampState = before.sLampState; }});
      writes.push_back({m_state.bLanguageRead, [&] { return io.setLanguage(&m_state.byLanguage); },
                        [&] { m_state.byLanguage = before.byLanguage; }});
      if (view->isFromPCClockON()) writes.push_back({true, [&] { return io.setPCTime(); }, [] {}});
      if (!m_state.bIsB) {
        writes.push_back({paramRead, [&] { return io.setNetSetting(&all.sNetSetting); },
                          sub(&FCL_RS_PARAM_ALL::sNetSetting)});
      }
    } else if (id == QLatin1String(pages::kAddressBookView) || id == QLatin1String(pages::kScanProfileView)) {
      // These pages read and write their records themselves and refuse what they could not read.
      writes.push_back({true, [this, view] { return view->getParam(m_state); }, [] {}});
    } else if (id == QLatin1String(pages::kScanFileNameView)) {
      writes.push_back({paramRead, [&] { return io.setFilename(&all.sFilename); }, sub(&FCL_RS_PARAM_ALL::sFilename)});
    } else if (id == QLatin1String(pages::kScanToUSBView)) {
      // The general block holds the Secure-PDF password set on this page.
      writes.push_back({paramRead, [&] { return io.setScan2USB(&all.sScan2USB); }, sub(&FCL_RS_PARAM_ALL::sScan2USB)});
      writes.push_back({paramRead, [&] { return io.setGeneral(&all.sGeneral); }, sub(&FCL_RS_PARAM_ALL::sGeneral)});
    } else if (id == QLatin1String(pages::kScanToEmailView)) {
      writes.push_back(
          {paramRead, [&] { return io.setScan2Email(&all.sScan2Email); }, sub(&FCL_RS_PARAM_ALL::sScan2Email)});
    } else if (id == QLatin1String(pages::kScanToPCView)) {
      writes.push_back({paramRead, [&] { return io.setScan2PC(&all.sScan2PC); }, sub(&FCL_RS_PARAM_ALL::sScan2PC)});
    } else if (id == QLatin1String(pages::kWiredLANView)) {
      writes.push_back({paramRead, [&] { return io.setWiredLAN(&all.sWiredLAN); }, sub(&FCL_RS_PARAM_ALL::sWiredLAN)});
    } else if (id == QLatin1String(pages::kWLANView)) {
      writes.push_back(
          {paramRead, [&] { return io.setWirelessLAN(&all.sWirelessLAN); }, sub(&FCL_RS_PARAM_ALL::sWirelessLAN)});
    } else if (id == QLatin1String(pages::kEmailServerView)) {
      writes.push_back({paramRead, [&] { return io.setEmail(&all.sEmail); }, sub(&FCL_RS_PARAM_ALL::sEmail)});
    } else if (id == QLatin1String(pages::kMachineInfoView)) {
      writes.push_back({paramRead, [&] { return io.setGeneral(&all.sGeneral); }, sub(&FCL_RS_PARAM_ALL::sGeneral)});
    }
  }

  bool stopped = false;
  for (const Write& w : writes) {
    if (stopped) {
      w.undo();
      continue;
    }
    if (!w.read) {
      ut.debugMsg2(2, QStringLiteral("saveCurrentData: a record that was not read from the scanner is not written"));
      m_saveSkippedUnread = true;
      w.undo();
      continue;
    }
    const CommandOutcome outcome = io.judge(w.send);
    if (!outcome) {
      m_saveOutcome = outcome;
      stopped = true;
      w.undo();
    }
  }
  return m_saveOutcome.ok() && !m_saveSkippedUnread;
}

bool ViewController::checkDataError() {
  ViewControllerTrace trace(ut, "checkDataError()");
  const int32_t code = isDataError();
  // The alert names the field the page on show refused.
  FailedField field;
  for (PageController* view : containerViews()) {
    if (pages::pageByViewId(view->objectName()) == nullptr) continue;
    field = view->failedField();
    break;
  }
  return ::checkDataError(code, field);
}

bool ViewController::chkUUID() {
  ViewControllerTrace trace(ut, "chkUUID()");
  if (m_state.bIsB) return true;
  if (ioWrapper->readLockedUUID()) return true;
  ut.debugMsg2(2, QStringLiteral(" [chkUUID] bReadLockedUUID is FALSE"));
  return false;
}

// ---------------------------------------------------------------------------------------------
// The apply cycle

HoldStatus ViewController::checkHold() {
  ViewControllerTrace trace(ut, "checkConnection(status:)");
  // The scanner answers wFWInfo 0 after a job reservation it has finished (byReserveJobId 1),
  // and 4 while it is locked for this computer.
  const uint16_t expected = m_state.sDeviceStatus.byReserveJobId == 1 ? FCL_FWINFO_READY : FCL_FWINFO_LOCKED;
  FCL_DEVICE_STATUS status{};
  const CommandOutcome inquiry = ioWrapper->judge([&] { return ioWrapper->getDeviceStatus(&status); });
  const HoldStatus hold = judgeHoldStatus(inquiry, status, expected);
  m_lostStatus = status;
  // A whole answer is the status the next check goes by; a broken one is no status at all.
  if (hold == HoldStatus::NoAnswer) return hold;
  m_state.sDeviceStatus = status;
  if (hold != HoldStatus::Held) return hold;
  // The lock check, only of a scanner that answered as held. No answer to it is no answer; an
  // answer that is not this computer's lock text is a reservation that is gone.
  bool ours = false;
  const CommandOutcome lockRead = ioWrapper->judge([&] {
    ours = chkUUID();
    return true;
  });
  if (lockRead.noAnswer()) return HoldStatus::NoAnswer;
  return ours && lockRead.ok() ? HoldStatus::Held : HoldStatus::ReservationGone;
}

QString ViewController::lostHoldMessage(HoldStatus hold) {
  switch (hold) {
    case HoldStatus::NoAnswer: return text("IDS_CM_NO_CONNECTION_MSG");
    case HoldStatus::ReservationGone: return text("IDS_CHECK_DEVICE_ID_FAIL_MSG");
    case HoldStatus::NotReady:
    case HoldStatus::Held: break;
  }
  return text("IDS_DV_NOT_READY_MSG");
}

bool ViewController::checkStillHeld() {
  const HoldStatus hold = checkHold();
  if (hold == HoldStatus::Held) return true;
  procLostHold(hold);
  return false;
}

bool ViewController::procLostHold(HoldStatus hold) {
  QString info;
  switch (hold) {
    case HoldStatus::NoAnswer: info = text("IDS_CM_NO_CONNECTION_INFO"); break;
    case HoldStatus::ReservationGone: info = text("IDS_CHECK_DEVICE_ID_FAIL_INFO"); break;
    case HoldStatus::NotReady:
    case HoldStatus::Held: info = statusConditionText(m_lostStatus) + QLatin1Char('\n') + text("IDS_RS_NOT_READY_INFO");
  }
  if (ut.message(lostHoldMessage(hold), info, true)) return true;
  ut.debugMsg2(2, QString::fromLatin1(kTerminateOnConnection));
  terminate();
  return false;
}

bool ViewController::postSettingProc(bool showMsg, bool pcClockOn) { return applyCycle(showMsg, pcClockOn, nullptr); }

bool ViewController::applyCycle(bool showMsg, bool pcClockOn, HoldStatus* lost) {
  ViewControllerTrace trace(ut, "postSettingProc(showMsg:pcClockOn:)");
  if (m_terminating) return false;

  // A scanner that does not answer, or no longer holds this computer's reservation, is written
  // nothing: the cycle answers NO and the page keeps its edits (OK), or the program quits.
  const HoldStatus hold = checkHold();
  if (hold != HoldStatus::Held) {
    if (lost != nullptr) *lost = hold;
    else procLostHold(hold);
    return false;
  }
  if (checkDataError()) return false;
  if (!isDataChanged() && !pcClockOn) return true;

  if (showMsg && !ut.message(text("IDS_DATA_CHANGE_MSG"), text("IDS_DATA_CHANGE_INFO"), true)) return true;

  m_beforeSave = m_state;
  getParamFromVC();
  if (saveCurrentData()) {
    ut.message(text("IDS_CM_INFORMATION"), text("IDS_APPLY_SUCCESS_MSG"), false);
    // What the page keeps on this computer follows the scanner's verdict and does not change it.
    for (PageController* view : containerViews()) view->saveAccepted();
    return true;
  }
  if (m_saveOutcome.ok()) {
    // Everything that could be written was; the rest was never read from the scanner and cannot
    // be saved in this session, so it does not hold the user on the page either.
    ut.message(text("IDS_RS_NOT_READ_MSG"), text("IDS_RS_NOT_READ_INFO"), false);
    return true;
  }
  ut.message(text("IDS_CM_INFORMATION"), withOutcome(text("IDS_APPLY_FAIL_ERROR_MSG"), m_saveOutcome), false);
  return false;
}

bool ViewController::shownPageDiffersFromAccepted() {
  for (PageController* view : containerViews()) {
    if (pages::pageByViewId(view->objectName()) == nullptr) continue;
    return view->differsFromAccepted(m_state);
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Buttons and the source list

void ViewController::ApplyBtnPressed() {
  ViewControllerTrace trace(ut, "ApplyBtnPressed(_:)");
  PageController* general = shownPage(pages::kGeneralSetupView);
  postSettingProc(false, general != nullptr && general->isFromPCClockON());
}

void ViewController::OKBtnPressed() {
  ViewControllerTrace trace(ut, "OKBtnPressed(_:)");
  PageController* general = shownPage(pages::kGeneralSetupView);
  // The window closes only once the page was saved or had nothing to save: after a page error or
  // a failed save it stays, with the page and its edits.
  if (postSettingProc(false, general != nullptr && general->isFromPCClockON())) terminate();
}

void ViewController::CancelBtnPressed() {
  ViewControllerTrace trace(ut, "CancelBtnPressed(_:)");
  terminate();
}

void ViewController::DevicesBtnPressed() { prepareForDevices(); }

void ViewController::prepareForDevices() {
  ViewControllerTrace trace(ut, "prepare(for:sender:)");
  HoldStatus hold = HoldStatus::Held;
  if (!applyCycle(true, false, &hold)) {
    // As with OK: the window stays after a page error or a failed save.
    if (hold == HoldStatus::Held || m_terminating) return;
    // Nothing can be saved to this scanner any more: one alert says why and whether the page's
    // edits are lost; OK leads back to the device window, where the user can connect again.
    QStringList info;
    if (hold == HoldStatus::NotReady) info << statusConditionText(m_lostStatus);
    if (shownPageDiffersFromAccepted()) info << text("IDS_RS_UNSAVED_CHANGES_INFO");
    info << text("IDS_RS_RETURN_TO_DEVICES_INFO");
    if (!ut.message(lostHoldMessage(hold), info.join(QLatin1Char('\n')), true)) {
      ut.debugMsg2(2, QString::fromLatin1(kTerminateOnConnection));
      terminate();
      return;
    }
  } else if (m_terminating) {
    return;
  }
  emit returnToDevices();
  close();
}

void ViewController::fillPage(PageController* page) {
  if (page == nullptr) return;  // a page this build does not have yet
  page->setParam(m_state);
  displaySubview(page);
}

void ViewController::clickedItem(const QModelIndex& index) {
  ViewControllerTrace trace(ut, "clickedItem(_:)");
  const SourceListItemDisplayable* node = m_treeModel != nullptr ? m_treeModel->node(index) : nullptr;
  if (node == nullptr) return;

  if (!postSettingProc(true, false)) {
    highlightShownPage(false);
    return;
  }

  if (const pages::PageInfo* info = pages::pageByTitle(node->name())) {
    PageController* target = page(QString::fromLatin1(info->storyboardId));
    if (QLatin1String(info->viewId) == QLatin1String(pages::kMachineInfoView)) {
      // The page shows the status and counters as they are now; failures leave the last good ones.
      ioWrapper->getDeviceStatus(&m_state.sDeviceStatus);
      FCL_RS_MACHINE_INFO info{};
      if (ioWrapper->judge([&] { return ioWrapper->getMachineInfo(&info); })) m_state.sMachineInfo = info;
    }
    fillPage(target);
  }

  if (SourceListModel::isGroupItem(node)) {
    if (sourceView->isExpanded(index)) sourceView->collapse(index);
    else sourceView->expand(index);
  }
  highlightShownPage(false);
}
