#pragma once
// The main window against the simulated scanner, over TCP or USB, with stand-in pages, scripted
// dialogs and a temporary HOME. Shared by the main window's tests.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "IO/FCLCodes.h"
#include "IO/FCLCommand.h"
#include "RemoteSetup/ViewController.h"
#include "USB/USBControl.h"
#include "USB/UsbIds.h"
#include "UsbScanner.h"
#include "Views/PageFactory.h"
#include "Views/PageTable.h"
#include "platform/Localizer.h"
#include "platform/usb/FakeUsbHost.h"
#include "support/ScriptedDialogs.h"
#include "support/SimScanner.h"
#include "support/TempHome.h"

// A page that does what the test tells it and notes every contract call as "<view id>.<call>".
class StubPage : public PageController {
 public:
  struct Script {
    int32_t error = 0;
    FailedField field;  // what the page reports of the field it refused
    bool changed = false;
    bool writeOk = true;  // self-writing pages: the answer of getParam
    bool pcClock = false;
    // Called by getParam of the copy-back pages, to put an edit into the records.
    std::function<void(MainWindowState&)> edit;
  };

  StubPage(const QString& id, std::vector<std::string>* calls, std::map<std::string, Script>* scripts,
           QWidget* parent)
      : PageController(id, parent), m_calls(calls), m_scripts(scripts) {}

  void setParam(const MainWindowState& state) override {
    note("setParam");
    lastSerial = state.serialString;
  }
  bool getParam(MainWindowState& state) override {
    note("getParam");
    const Script& s = script();
    if (s.edit) s.edit(state);
    return s.writeOk;
  }
  bool isDataChanged(const MainWindowState&) override {
    note("isDataChanged");
    return script().changed;
  }
  int32_t isDataError() override {
    note("isDataError");
    setFailedField(script().field.label, script().field.range);
    return script().error;
  }
  bool isFromPCClockON() const override { return script().pcClock; }

  QString lastSerial;

 private:
  const Script& script() const { return (*m_scripts)[objectName().toStdString()]; }
  void note(const char* call) { m_calls->push_back(objectName().toStdString() + "." + call); }
  std::vector<std::string>* m_calls;
  std::map<std::string, Script>* m_scripts;
};

// The scanner's end of one link.
class SimLink {
 public:
  virtual ~SimLink() = default;
  virtual sim::ScannerModel& model() = 0;
  virtual sim::FaultPlan& faults() = 0;
  virtual sim::CommandLog& log() = 0;
  virtual QString ip() const = 0;         // empty on USB
  virtual QString interface() const = 0;  // "USB" or a network interface text
  // Control-pipe requests ("lock"/"unlock"), each with whether the scanner was locked then.
  virtual std::vector<std::pair<std::string, bool>> controlRequests() const { return {}; }
  // The fake host's calls (USB only).
  virtual std::vector<std::string> hostCalls() const { return {}; }
  // The scanner is gone: nothing answers on this link any more.
  virtual void vanish() { ADD_FAILURE() << "this link cannot lose its scanner"; }
};

class TcpLink : public SimLink {
 public:
  explicit TcpLink(sim::ScannerModel::Kind kind) : m_limits(std::chrono::seconds(3)), m_sim(kind) {}
  sim::ScannerModel& model() override { return m_sim.model(); }
  sim::FaultPlan& faults() override { return m_sim.faults(); }
  sim::CommandLog& log() override { return m_sim.log(); }
  QString ip() const override { return m_sim.address(); }
  QString interface() const override { return QStringLiteral("Wired LAN"); }
  void vanish() override { m_sim.scanner().setRefuseConnections(true); }

 private:
  ScopedSocketLimits m_limits;
  SimScanner m_sim;
};

class UsbLink : public SimLink {
 public:
  explicit UsbLink(sim::ScannerModel::Kind kind)
      : m_model(kind), m_host(m_model), m_scanner(sim::UsbScanner::create(m_model, &m_faults, &m_log)) {
    const uint16_t pid =
        kind == sim::ScannerModel::Kind::Qmx7305 ? usbids::kProductIdQMX7305 : usbids::kProductIdQMX7315W;
    m_host.addDevice(m_scanner->device(usbids::kScannerVendorId, pid));
    m_previous = platform::setUsbHost(&m_host);
    m_previousPause = CFISHUSBControl::setPauseFunction([](std::chrono::milliseconds) {});
  }
  ~UsbLink() override {
    CFISHUSBControl::setPauseFunction(m_previousPause);
    platform::setUsbHost(m_previous);
    m_scanner->stop();
  }
  sim::ScannerModel& model() override { return m_model; }
  sim::FaultPlan& faults() override { return m_faults; }
  sim::CommandLog& log() override { return m_log; }
  QString ip() const override { return QString(); }
  QString interface() const override { return QStringLiteral("USB"); }
  std::vector<std::pair<std::string, bool>> controlRequests() const override { return m_host.requests(); }
  std::vector<std::string> hostCalls() const override { return m_host.calls(); }
  void vanish() override { m_scanner->stop(); }
  platform::FakeUsbHost& host() { return m_host; }

 private:
  // Notes each control-pipe request with the scanner's lock state at that moment: the bulk
  // exchanges are synchronous, so a command the host finished before the request has already
  // changed the lock.
  class RecordingHost : public platform::FakeUsbHost {
   public:
    explicit RecordingHost(sim::ScannerModel& model) : m_model(model) {}
    platform::UsbResult controlRequest(platform::InterfaceHandle iface, const platform::UsbControlSetup& setup, void* data,
                                       uint16_t* transferred) override {
      {
        std::lock_guard lock(m_mutex);
        m_requests.emplace_back(setup.bRequest == 0x01 ? "lock" : setup.bRequest == 0x02 ? "unlock" : "other",
                                m_model.isLocked());
      }
      return FakeUsbHost::controlRequest(iface, setup, data, transferred);
    }
    std::vector<std::pair<std::string, bool>> requests() const {
      std::lock_guard lock(m_mutex);
      return m_requests;
    }

   private:
    sim::ScannerModel& m_model;
    mutable std::mutex m_mutex;
    std::vector<std::pair<std::string, bool>> m_requests;
  };

  sim::ScannerModel m_model;
  sim::FaultPlan m_faults;
  sim::CommandLog m_log;
  RecordingHost m_host;
  std::shared_ptr<sim::UsbScanner> m_scanner;
  platform::UsbHost* m_previous = nullptr;
  CFISHUSBControl::PauseFunction m_previousPause;
};

// A short name for each command the scanner received.
inline std::string commandLabel(const sim::LoggedCommand& c) {
  switch (c.cmd.byDTC) {
    case FCLC_DEVICE_STATUS: return "status";
    case FCLC_RS_SCANNER_LOCK:
      return c.cmd.wDTQ == FCLD_RS_SCANNER_LOCK ? "lock" : c.cmd.wDTQ == FCLD_RS_SCANNER_UNLOCK ? "unlock" : "lockUUID";
    case FCLC_RS_PARAM: return "param" + std::to_string(c.cmd.wDTQ);
    case FCLC_LAMP: return "lamp";
    case FCLC_CAPABILITY: return "capability";
    case FCLC_LANGUAGE: return "language";
    case FCLC_NVRAM: return "nvram";
    case FCLC_SYSTEM_TIME: return "pctime";
    case FCLC_RS_FACTORY_DEFSETTING: return "factory";
    case FCLC_RS_SFTP_KEY: return "sftp";
    case FCLC_RS_NETWORK: return "network" + std::to_string(c.cmd.wDTQ);
    default: return "dtc" + std::to_string(c.cmd.byDTC);
  }
}

// The labels of `entries` from `from` on, runs of one label written once.
inline std::vector<std::string> commandRuns(const std::vector<sim::LoggedCommand>& entries, std::size_t from = 0) {
  std::vector<std::string> runs;
  for (std::size_t i = from; i < entries.size(); ++i) {
    std::string l = commandLabel(entries[i]);
    if (runs.empty() || runs.back() != l) runs.push_back(std::move(l));
  }
  return runs;
}

// The letter Alt presses for a button titled `title` ('&' before it), or none.
inline QChar mnemonic(const QString& title) {
  for (int i = 0; i + 1 < title.size(); ++i) {
    if (title[i] == u'&') {
      if (title[i + 1] != u'&') return title[i + 1].toUpper();
      ++i;
    }
  }
  return {};
}

// The commands of one first load, in order.
inline const std::vector<std::string> kFirstLoad = {"status", "lock",    "param1", "lamp", "capability",
                                                    "language", "nvram", "factory", "nvram", "sftp"};

class MainWindowTest : public ::testing::Test {
 public:
  enum class Transport { Tcp, Usb };

  // The scanner of `kind` on `transport`, and a main window for it (not yet shown).
  void start(Transport transport, sim::ScannerModel::Kind kind) {
    // The window and the old link go first: a USB link restores the host it replaced.
    vc.reset();
    link.reset();
    if (transport == Transport::Tcp) link = std::make_unique<TcpLink>(kind);
    else link = std::make_unique<UsbLink>(kind);
    for (const pages::PageInfo& p : pages::kPages) {
      factory.registerPage(QString::fromLatin1(p.storyboardId), [this, id = QString::fromLatin1(p.viewId)](QWidget* parent) {
        return std::make_unique<StubPage>(id, &calls, &scripts, parent);
      });
    }
    // A test may put real pages in place of the stand-ins.
    if (realPages) realPages(factory);
    vc = std::make_unique<ViewController>(factory);
    vc->setTerminateHandler([this] { ++terminations; });
    const bool b = kind == sim::ScannerModel::Kind::Qmx7305;
    vc->setupInfo(link->ip(), b ? QStringLiteral("B") : QStringLiteral("BNT"),
                  b ? QStringLiteral("Zerelta QMX-7305") : QStringLiteral("Zerelta QMX-7315W"), link->interface(),
                  QStringLiteral("UUID-1"), QStringLiteral("TWAIN-1"));
  }

  // A fresh window after its first load (checked), with the general setup page on show and no
  // pause between import steps; sent() counts from here.
  void loaded(Transport transport = Transport::Tcp, sim::ScannerModel::Kind kind = sim::ScannerModel::Kind::Qmx7315w) {
    dialogs.clear();
    calls.clear();
    scripts.clear();
    start(transport, kind);
    vc->setImportStepPause(std::chrono::microseconds(0));
    appear();
    ASSERT_EQ(commandRuns(settledCommands()), kFirstLoad);
    calls.clear();
    mark = link->log().size();
  }

  // The commands the scanner received since the load (or the last call of this).
  std::vector<std::string> sent() {
    const auto entries = settledCommands();
    std::vector<std::string> runs = commandRuns(entries, mark);
    mark = entries.size();
    return runs;
  }

  // Shows the window and runs the event loop until the load (and anything it queued) is done.
  void appear() {
    vc->show();
    settle();
  }
  static void settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  // Waits until the scanner has logged `n` commands, then returns all of them.
  std::vector<sim::LoggedCommand> commands(std::size_t n) {
    EXPECT_TRUE(link->log().waitForCount(n, std::chrono::seconds(5)));
    return link->log().entries();
  }
  // Every command logged once the scanner is idle (the host's exchanges are synchronous, so
  // after a call of the window returns only the last entry can still be on its way).
  std::vector<sim::LoggedCommand> settledCommands() {
    QElapsedTimer t;
    t.start();
    std::size_t n = link->log().size();
    while (t.elapsed() < 200) {
      link->log().waitForCount(n + 1, std::chrono::milliseconds(20));
      if (link->log().size() == n) break;
      n = link->log().size();
    }
    return link->log().entries();
  }

  // Clicks the source-list node titled with the text of `key` (or the root for nullptr).
  void click(const char* key) {
    QAbstractItemModel* model = vc->sourceListView()->model();
    const QModelIndex root = model->index(0, 0);
    if (key == nullptr) return vc->clickedItem(root);
    const QModelIndexList found =
        model->match(root, Qt::DisplayRole, platform::Localizer::text(QString::fromLatin1(key)), 1,
                     Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1) << key;
    vc->clickedItem(found.front());
  }

  // The view identifier of the page on show.
  QString shown() const {
    const auto views = vc->containerViews();
    return views.size() == 1 ? views.front()->objectName() : QStringLiteral("(%1 views)").arg(views.size());
  }

  std::vector<std::string> callsOf(const std::string& viewId) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.rfind(viewId + ".", 0) == 0) out.push_back(c.substr(viewId.size() + 1));
    return out;
  }

  TempHome home;
  ScriptedDialogs dialogs;
  std::unique_ptr<SimLink> link;
  PageFactory factory;
  // Registers real pages over the stand-ins before each window is made.
  std::function<void(PageFactory&)> realPages;
  std::vector<std::string> calls;
  std::map<std::string, StubPage::Script> scripts;
  std::unique_ptr<ViewController> vc;
  int terminations = 0;
  std::size_t mark = 0;  // the scanner's log entries sent() has reported
};
