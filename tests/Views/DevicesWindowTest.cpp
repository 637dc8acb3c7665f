// The device selection window against scripted discovery, the simulated scanner on USB and on
// loopback TCP, and the driver's device list under a temporary home folder.

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>

#include "IO/FCLCodes.h"
#include "IO/FCLRecords.h"
#include "RemoteSetup/MainWindowFixture.h"
#include "Views/DevicesViewController.h"
#include "platform/Dialogs.h"
#include "platform/Localizer.h"
#include "platform/PropertyList.h"
#include "support/PlistFixtures.h"
#include "platform/dnssd/FakeDnssd.h"

using platform::Localizer;

namespace {

using Kind = sim::ScannerModel::Kind;
using platform::FakeDnssd;

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

platform::TxtRecord scannerTxt(const QString& sn, const QString& uuid = QStringLiteral("UUID-NET-1")) {
  return {{"ty", "Zerelta QMX-7315W"}, {"mfg", "Zerelta"}, {"mdl", "QMX-7315W"},
          {"sn", sn.toUtf8()},         {"ADP", "WIRED"},   {"uuid", uuid.toUtf8()}};
}

// Serves the event loop until `done` or `ms` passed.
template <typename F>
bool waitFor(F done, int ms = 2000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

class DevicesWindowTest : public ::testing::Test {
 public:
  DevicesWindowTest() : m_limits(std::chrono::seconds(2)) {
    m_previousDnssd = platform::setDnssd(&dns);
    // The driver keeps its list three folders above the home folder: give the home folder
    // three levels under the temporary folder, so the list lands inside it.
    QDir().mkpath(home.path() + "/a/b/c");
    m_previousHome = qgetenv("HOME");
    qputenv("HOME", (home.path() + "/a/b/c").toUtf8());
    m_previousPause = CFISHUSBControl::setPauseFunction([](std::chrono::milliseconds) {});
    m_previousHost = platform::setUsbHost(&usb);
  }
  ~DevicesWindowTest() override {
    window.reset();
    platform::setUsbHost(m_previousHost);
    CFISHUSBControl::setPauseFunction(m_previousPause);
    qputenv("HOME", m_previousHome);
    platform::setDnssd(m_previousDnssd);
    if (usbScanner) usbScanner->stop();
    DevicesViewController::setRemoteSetupPlistPath(QStringLiteral(":/RemoteSetup.plist"));
  }

  // A USB scanner of `kind` behind the fake host.
  void plugUsb(Kind kind) {
    usbModel = std::make_unique<sim::ScannerModel>(kind);
    usbScanner = sim::UsbScanner::create(*usbModel, &usbFaults, &usbLog);
    usb.addDevice(usbScanner->device(usbids::kScannerVendorId, kind == Kind::Qmx7305 ? usbids::kProductIdQMX7305
                                                                                      : usbids::kProductIdQMX7315W));
  }

  // The window of one build, loaded, with quick timers; the main window a connect opens has
  // stand-in pages and counts its quits.
  void open(bool networkBuild) {
    window = std::make_unique<DevicesViewController>(networkBuild);
    // The not-found alert only where a test waits for it (a slow search must not meet it).
    window->setTimings(std::chrono::milliseconds(1), std::chrono::seconds(30));
    window->setTerminateHandler([this] { ++terminations; });
    window->setMainWindowCreator([this] {
      auto vc = std::make_unique<ViewController>(noPages);
      vc->setTerminateHandler([this] { ++terminations; });
      return vc;
    });
    window->loadViewIfNeeded();
  }

  // One search, with every discovery callback served.
  void search() {
    window->findDevice();
    settleDiscovery();
  }
  // Serves the discovery callbacks and the status reads until none is left: the window queues
  // its resolve after a found service, so the fake is idle in between.
  void settleDiscovery() {
    for (int i = 0; i < 4; ++i) {
      dns.waitIdle();
      QCoreApplication::processEvents();
      if (window) EXPECT_TRUE(window->waitForStatusReads(std::chrono::seconds(20)));
    }
  }

  void writeDriverList(const QVariantList& devices) {
    const QString path = DevicesViewController::modeInfoPlistPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_EQ(platform::PropertyList::write(path, {{"DeviceInfo", devices}}), platform::PropertyList::Status::Ok);
  }
  void writeDriverFile(const QByteArray& bytes) {
    const QString path = DevicesViewController::modeInfoPlistPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  void setDiscoverAll(bool on) {
    const QString path = home.path() + "/RemoteSetup.plist";
    ASSERT_EQ(platform::PropertyList::write(path, {{"DiscoverAllDevices", on}}), platform::PropertyList::Status::Ok);
    DevicesViewController::setRemoteSetupPlistPath(path);
  }

  // The network build's window, shown, with `sim` found and connected; the main window it opened
  // has locked the scanner (nullptr when any of that did not happen).
  ViewController* connectTo(SimScanner& sim) {
    dns.addService(FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(sim.address())}));
    open(true);
    window->show();
    if (!waitFor([&] { return window->foundDevices().size() == 1; })) return nullptr;
    window->selectRow(0);
    window->ConnectBtnPushed();
    if (window->mainWindow() == nullptr || !waitFor([&] { return sim.model().isLocked(); })) return nullptr;
    return window->mainWindow();
  }

  int rowOf(const QString& name) const { return static_cast<int>(window->foundDevices().keys().indexOf(name)); }

  TempHome home;
  ScriptedDialogs dialogs;
  FakeDnssd dns;
  platform::FakeUsbHost usb;
  sim::FaultPlan usbFaults;
  sim::CommandLog usbLog;
  std::unique_ptr<sim::ScannerModel> usbModel;
  std::shared_ptr<sim::UsbScanner> usbScanner;
  PageFactory noPages;
  std::unique_ptr<DevicesViewController> window;
  int terminations = 0;

 private:
  ScopedSocketLimits m_limits;
  platform::Dnssd* m_previousDnssd = nullptr;
  QByteArray m_previousHome;
  CFISHUSBControl::PauseFunction m_previousPause;
  platform::UsbHost* m_previousHost = nullptr;
};

// The USB probe of each build: the entry's eight texts, and the control pipe locked and let go
// around the status read.
TEST_F(DevicesWindowTest, UsbProbeListsTheScannerWithItsStatus) {
  for (const bool networkBuild : {true, false}) {
    SCOPED_TRACE(networkBuild ? "network build" : "USB-only build");
    plugUsb(networkBuild ? Kind::Qmx7315w : Kind::Qmx7305);
    open(networkBuild);
    const auto browsesBefore = dns.browseRequests().size();
    search();
    const sim::Bytes raw = usbModel->nvram(FCL_NVRAM_VENDOR_STRING.wOffset, FCL_NVRAM_VENDOR_STRING.dwLength);
    const QString vendor = QString::fromLatin1(reinterpret_cast<const char*>(raw.data()),
                                               static_cast<int>(std::find(raw.begin(), raw.end(), 0) - raw.begin()));
    ASSERT_FALSE(vendor.isEmpty());
    const QString name = QString::fromLatin1(networkBuild ? "Zerelta QMX-7315W [%1] " : "Zerelta QMX-7305 [%1] ").arg(vendor);
    ASSERT_EQ(window->foundDevices().size(), 1);
    EXPECT_EQ(window->foundDevices().value(name),
              (DeviceEntry{"", name, "USB", text("IDS_DD_ONLINE"), text("IDS_DD_READY"), networkBuild ? "BNT" : "B",
                           "N/A", "N/A"}));
    // Lock and unlock on the control pipe, then the device closes.
    std::vector<std::string> control;
    for (const std::string& c : usb.calls())
      if (c.rfind("control", 0) == 0 || c.rfind("closeDevice", 0) == 0) control.push_back(c.substr(0, c.find(' ')));
    EXPECT_EQ(control, (std::vector<std::string>{"control", "control", "closeDevice"}));
    EXPECT_EQ(window->table()->model()->index(0, 3).data().toString(), text("IDS_DD_READY"));
    EXPECT_EQ(dns.browseRequests().size() - browsesBefore, networkBuild ? 1u : 0u);  // no browse in the USB-only build
    window.reset();
    usbScanner->stop();
    usb.clearCalls();
  }
}

TEST_F(DevicesWindowTest, StatusTexts) {
  open(true);
  struct Case {
    uint32_t lastErr;
    uint16_t fwInfo;
    const char* key;
  };
  const Case cases[] = {
      {0x2001, 0, "IDS_DD_MISFEED"},       {0x2002, 4, "IDS_DD_PAPER_JAM"},     {0x2003, 0, "IDS_DD_PAPER_JAM"},
      {0x2004, 0, "IDS_DD_MULTI_FEED"},    {0x2009, 0, "IDS_DD_HATCH_OPEN"},    {0x4001, 0, "IDS_DD_SCAN_CANCELLED"},
      {0x4002, 5, "IDS_DD_SCAN_CANCELLED"}, {0x2005, 0, "IDS_DD_READY"},        {0x7007, 0, "IDS_DD_READY"},
      {0, 1, "IDS_DD_INITIALIZE"},         {0, 2, "IDS_DD_PROCESSING"},         {0, 3, "IDS_DD_PROCESSING"},
      {0, 4, "IDS_DD_BUSY"},               {0, 5, "IDS_DD_SLEEP"},              {0, 6, "IDS_DD_UNKNOWN_ERROR"},
      {0, 7, "IDS_DD_UPDATE"},             {0, 8, "IDS_DD_UNKNOWN_ERROR"},      {0, 15, "IDS_DD_UNKNOWN_ERROR"},
      {0, 16, "IDS_DD_AUTO_START_SCAN"},   {0, 17, "IDS_DD_UNKNOWN_ERROR"},
  };
  for (const Case& c : cases) {
    FCL_DEVICE_STATUS s{};
    s.dwLastErr = c.lastErr;
    s.wFWInfo = c.fwInfo;
    EXPECT_EQ(window->getDeviceStatusString(s), text(c.key)) << std::hex << c.lastErr << " " << c.fwInfo;
  }
}

// Nothing found: one not-found alert per search, with each build's texts; a device found later
// is still listed. The window and the alert name the build's model; the alert says no sentence
// twice, ends its sentences with full stops, and points the network build at the network and the
// Avahi daemon and both builds at the cable, the power switch and the USB access rule.
TEST_F(DevicesWindowTest, NotFoundAlertPerBuild) {
  for (const bool networkBuild : {true, false}) {
    SCOPED_TRACE(networkBuild ? "network build" : "USB-only build");
    ASSERT_TRUE(platform::Localizer::useModelTexts(networkBuild ? "QMX-7315W" : "QMX-7305"));
    open(networkBuild);
    EXPECT_EQ(window->windowTitle(), networkBuild ? "Zerelta QMX-7315W Remote Setup" : "Zerelta QMX-7305 Remote Setup");
    QStringList labels;
    for (const QLabel* label : window->findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains(networkBuild ? "Scanners found on this computer's USB ports and on its network:"
                                             : "Scanners connected to this computer by USB:"))
        << labels.join(" | ").toStdString();
    window->setTimings(std::chrono::milliseconds(1), std::chrono::milliseconds(60));
    if (networkBuild) {
      dialogs.expectAlert(0, text("IDS_DV_NOT_FOUND_MSG"));
    } else {
      dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    }
    window->show();
    ASSERT_TRUE(waitFor([&] { return dialogs.alerts().size() == 1; }));
    const ScriptedDialogs::Alert& alert = dialogs.alerts()[0];
    EXPECT_EQ(alert.information,
              networkBuild ? text("IDS_DV_NOT_FOUND_INFO") + "\n- " + text("IDS_DD_NO_DEVICES") : text("IDS_DD_NO_DEVICES"));
    // What the user reads: the headline (the information in place of a generic word) and the lines
    // below it.
    const platform::AlertTexts shown = platform::alertTexts({alert.message, alert.information, alert.buttons});
    QStringList sentences;
    for (QString line : (shown.headline + "\n" + shown.detail).split("\n", Qt::SkipEmptyParts)) {
      if (line.startsWith("- ")) line = line.mid(2);
      EXPECT_TRUE(line.endsWith(u'.')) << line.toStdString();
      for (const QString& sentence : line.split(". ", Qt::SkipEmptyParts)) {
        EXPECT_FALSE(sentences.contains(sentence)) << "twice: " << sentence.toStdString();
        sentences << sentence;
      }
    }
    const QString all = sentences.join(' ');
    for (const char* word : {"cable", "power switch", "udev"}) EXPECT_TRUE(all.contains(word)) << word;
    EXPECT_EQ(all.contains("Avahi daemon"), networkBuild);
    EXPECT_EQ(all.contains("network"), networkBuild);
    EXPECT_FALSE(window->isNotFoundTimerRunning());
    if (networkBuild) {
      SimScanner sim;
      dns.addService(FakeDnssd::service("late", scannerTxt("SN1"), {FakeDnssd::ipv4(sim.address())}));
      settleDiscovery();
      EXPECT_EQ(window->foundDevices().size(), 1);
    }
    EXPECT_EQ(dialogs.alerts().size(), 1u);
    window.reset();
    dialogs.clear();
  }
  platform::Localizer::useModelTexts(QString());
}

// What a resolved service turns into: the model filter, the TXT rules, the addresses, the
// driver's list and "DiscoverAllDevices".
TEST_F(DevicesWindowTest, NetworkServicesAndTheirEntries) {
  SimScanner simA;
  SimScanner simB;
  const QString nameA = "Zerelta QMX-7315W [SN-A]";
  const QString wlan = text("IDS_N_WLAN");

  struct Case {
    const char* name;
    std::function<void(DevicesWindowTest&)> arrange;
    QList<FakeDnssd::Service> services;
    QMap<QString, DeviceEntry> expected;
  };
  const QString ready = text("IDS_DD_READY");
  const QString online = text("IDS_DD_ONLINE");
  const QString wired = text("IDS_N_WIRED_LAN");
  auto txtWithout = [](const char* key) {
    platform::TxtRecord t = scannerTxt("SN-A");
    t.remove(key);
    return t;
  };
  platform::TxtRecord other = scannerTxt("SN-A");
  other["ty"] = "Zerelta QMX-7305";
  platform::TxtRecord emptySn = scannerTxt("");

  const Case cases[] = {
      {"listed, not on the driver's list", [](DevicesWindowTest&) {},
       {FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address())})},
       {{nameA, {simA.address(), nameA, wired, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      {"the other model", [](DevicesWindowTest&) {},
       {FakeDnssd::service("a", other, {FakeDnssd::ipv4(simA.address())})}, {}},
      {"no sn", [](DevicesWindowTest&) {},
       {FakeDnssd::service("a", txtWithout("sn"), {FakeDnssd::ipv4(simA.address())})},
       {{"Zerelta QMX-7315W [sn is null]",
         {simA.address(), "Zerelta QMX-7315W [sn is null]", wired, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      {"empty sn", [](DevicesWindowTest&) {},
       {FakeDnssd::service("a", emptySn, {FakeDnssd::ipv4(simA.address())})},
       {{"Zerelta QMX-7315W []",
         {simA.address(), "Zerelta QMX-7315W []", wired, online, "General Error", "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      {"no ADP, no uuid", [](DevicesWindowTest&) {},
       {FakeDnssd::service("a", [&] { auto t = txtWithout("ADP"); t.remove("uuid"); return t; }(),
                           {FakeDnssd::ipv4(simA.address())})},
       {{nameA, {simA.address(), nameA, wlan, online, ready, "BNT", "uuid is null", "NOT ON LIST"}}}},
      {"IPv6 skipped, two IPv4 addresses: the later one wins", [](DevicesWindowTest&) {},
       {FakeDnssd::service("a", scannerTxt("SN-A"),
                           {FakeDnssd::ipv4(simA.address()), FakeDnssd::ipv6("fe80::1"), FakeDnssd::ipv4(simB.address())})},
       {{nameA, {simB.address(), nameA, wired, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      {"no answer at the address", [](DevicesWindowTest&) {},
       {FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4("127.0.3.1")})},
       {{nameA, {"127.0.3.1", nameA, wired, online, "General Error", "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      {"on the driver's list",
       [](DevicesWindowTest& t) {
         t.writeDriverList({QVariantMap{{"UUID", "other"}, {"TWAINName", "X"}},
                            QVariantMap{{"UUID", "UUID-NET-1"}, {"TWAINName", "QMX-7315W #2"}}});
         t.setDiscoverAll(false);
       },
       {FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address())})},
       {{nameA, {simA.address(), nameA, wired, online, ready, "BNT", "UUID-NET-1", "QMX-7315W #2"}}}},
      // libplist would abort on these; the list is unreadable instead, as if it were not there.
      {"driver's list with U+0000 in a text",
       [](DevicesWindowTest& t) { t.writeDriverFile(plistfixtures::nulInUtf16Value()); },
       {FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address())})},
       {{nameA, {simA.address(), nameA, wired, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      {"driver's list with U+0000 in a key",
       [](DevicesWindowTest& t) { t.writeDriverFile(plistfixtures::nulInUtf16Key()); },
       {FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address())})},
       {{nameA, {simA.address(), nameA, wired, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      {"not on the list, DiscoverAllDevices off", [](DevicesWindowTest& t) { t.setDiscoverAll(false); },
       {FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address())})}, {}},
      {"one scanner resolved twice (wired and wireless): one row, the last one",
       [](DevicesWindowTest&) {},
       {FakeDnssd::service("wired", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address())}),
        FakeDnssd::service("wireless", [] { auto t = scannerTxt("SN-A"); t["ADP"] = "WIRELESS"; return t; }(),
                           {FakeDnssd::ipv4(simB.address())})},
       {{nameA, {simB.address(), nameA, wlan, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      // A scanner seen at an address where nothing answers as well keeps, in its row, the
      // address that answered and its status, whichever came later.
      {"two addresses, the later one unanswered", [](DevicesWindowTest&) {},
       {FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address()), FakeDnssd::ipv4("127.0.3.1")})},
       {{nameA, {simA.address(), nameA, wired, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      {"one scanner announced twice, the later service where nothing answers", [](DevicesWindowTest&) {},
       {FakeDnssd::service("wired", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address())}),
        FakeDnssd::service("gone", [] { auto t = scannerTxt("SN-A"); t["ADP"] = "WIRELESS"; return t; }(),
                           {FakeDnssd::ipv4("127.0.3.2")})},
       {{nameA, {simA.address(), nameA, wired, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
      // Last: it leaves simB busy.
      {"ready at one address, busy at the later one: the ready one", [&](DevicesWindowTest&) { simB.model().setFWInfo(4); },
       {FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(simA.address()), FakeDnssd::ipv4(simB.address())})},
       {{nameA, {simA.address(), nameA, wired, online, ready, "BNT", "UUID-NET-1", "NOT ON LIST"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange(*this);
    for (const auto& s : c.services) dns.addService(s);
    open(true);
    search();
    EXPECT_EQ(window->foundDevices(), c.expected);
    window.reset();
    for (const auto& s : c.services) dns.removeService(s.service);
    dns.waitIdle();
    QFile::remove(DevicesViewController::modeInfoPlistPath());
    DevicesViewController::setRemoteSetupPlistPath(QStringLiteral(":/RemoteSetup.plist"));
  }
  EXPECT_TRUE(dialogs.alerts().empty());
}

// The status reads run apart from the window, each within its limit: a scanner that answers is
// listed while silent addresses are still being read, and a search whose only service is silent
// lists it once its read gave up, without the not-found alert in between. A Refresh drops the
// results of the reads it leaves behind; the window waits for its reads when it goes, and they
// leave nothing open.
TEST_F(DevicesWindowTest, StatusReadsRunApartAndEndWithTheirSearch) {
  std::unique_ptr<SimScanner> silent[] = {silentSimScanner(), silentSimScanner()};
  SimScanner ready;
  const QList<FakeDnssd::Service> services = {
      FakeDnssd::service("silent-0", scannerTxt("SN-S0"), {FakeDnssd::ipv4(silent[0]->address())}),
      FakeDnssd::service("silent-1", scannerTxt("SN-S1"), {FakeDnssd::ipv4(silent[1]->address())}),
      FakeDnssd::service("ready", scannerTxt("SN-R"), {FakeDnssd::ipv4(ready.address())}),
  };

  dns.addService(services[0]);
  open(true);
  window->setTimings(std::chrono::milliseconds(1), std::chrono::milliseconds(50));
  window->show();
  ASSERT_TRUE(waitFor([&] { return window->foundDevices().size() == 1; }, 20000));
  EXPECT_EQ(window->foundDevices().first().value(device_entry::kStatus), "General Error");
  EXPECT_TRUE(dialogs.alerts().empty());

  dns.addService(services[1]);
  dns.addService(services[2]);
  window->setTimings(std::chrono::milliseconds(1), std::chrono::seconds(30));
  window->RefreshBtnPushed();
  ASSERT_TRUE(waitFor([&] { return window->foundDevices().contains("Zerelta QMX-7315W [SN-R]"); }));
  EXPECT_EQ(window->foundDevices().value("Zerelta QMX-7315W [SN-R]").value(device_entry::kStatus), text("IDS_DD_READY"));
  EXPECT_EQ(window->statusReadsInFlight(), 2);  // the silent ones, side by side

  for (const FakeDnssd::Service& s : services) dns.removeService(s.service);
  dns.waitIdle();
  window->RefreshBtnPushed();
  EXPECT_EQ(window->statusReadsInFlight(), 0);
  ASSERT_TRUE(window->waitForStatusReads(std::chrono::seconds(20)));
  EXPECT_TRUE(window->foundDevices().isEmpty());  // what the left-behind reads found does not count

  const int descriptors = openDescriptorCount();
  const std::size_t accepted = silent[0]->scanner().connectionCount();
  dns.addService(services[0]);
  window->RefreshBtnPushed();
  ASSERT_TRUE(waitFor([&] { return silent[0]->scanner().connectionCount() > accepted; }));
  EXPECT_EQ(window->statusReadsInFlight(), 1);
  window.reset();
  EXPECT_TRUE(waitFor([&] { return openDescriptorCount() <= descriptors; }, 10000))
      << openDescriptorCount() << " descriptors open, " << descriptors << " before";
  EXPECT_TRUE(dialogs.alerts().empty());
}

// One scanner on USB and on the network is listed twice; selecting a busy one keeps Connect off,
// a double click still tries and is refused.
TEST_F(DevicesWindowTest, SelectionAndTheConnectButton) {
  plugUsb(Kind::Qmx7315w);
  SimScanner sim;
  sim.model().setFWInfo(4);
  dns.addService(FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(sim.address())}));
  open(true);
  search();
  ASSERT_EQ(window->foundDevices().size(), 2);
  QPushButton* connectButton = window->connectButtonWidget();
  EXPECT_FALSE(connectButton->isEnabled());

  const int busy = rowOf("Zerelta QMX-7315W [SN-A]");
  window->selectRow(busy);
  EXPECT_EQ(window->selected().value(device_entry::kStatus), text("IDS_DD_BUSY"));
  EXPECT_FALSE(connectButton->isEnabled());
  window->selectRow(1 - busy);
  EXPECT_TRUE(connectButton->isEnabled());
  window->selectRow(-1);
  EXPECT_FALSE(connectButton->isEnabled());
  EXPECT_EQ(window->selected().value(device_entry::kInterface), "USB");  // remembered

  window->selectRow(busy);
  dialogs.expectAlert(0, text("IDS_DV_NOT_READY_MSG"));
  window->doubleClickRow();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(window->mainWindow(), nullptr);
  EXPECT_TRUE(window->isNotFoundTimerRunning());  // a new search began
}

// Arranges one fault of the scanner for the command of `opcode`, `dtc` and `dtq`.
std::function<void(SimScanner&)> faulty(uint8_t opcode, uint8_t dtc, std::optional<uint16_t> dtq,
                                        std::function<void(sim::Fault&)> set) {
  return [=](SimScanner& s) {
    sim::Fault f;
    f.opcode = opcode;
    f.dtc = dtc;
    f.dtq = dtq;
    set(f);
    s.faults().add(f);
  };
}

// The connect checks that refuse a device, and what each leaves behind.
TEST_F(DevicesWindowTest, ConnectRefusals) {
  struct Case {
    const char* name;
    std::function<void(SimScanner&)> arrange;
    const char* message;
    const char* information;
    bool newSearch;
  };
  const Case cases[] = {
      {"not ready", [](SimScanner& s) { s.model().setFWInfo(2); }, "IDS_DV_NOT_READY_MSG", "IDS_DV_NOT_READY_INFO", true},
      {"auto-start scan, with an error", [](SimScanner& s) {
         s.model().setFWInfo(16);
         FCL_DEVICE_STATUS b = s.model().baseStatus();
         b.dwLastErr = 0x2001;
         s.model().setBaseStatus(b);
       }, "IDS_CM_WARNING", "IDS_DD_AUTO_START_SCAN_MSG", true},
      {"firmware refuses remote setup", [](SimScanner& s) {
         FCL_DEVICE_STATUS b = s.model().baseStatus();
         b.dwLastErr = 0x7007;
         s.model().setBaseStatus(b);
       }, "IDS_DV_FW_REJECT_MSG", "IDS_DV_FW_REJECT_INFO", true},
      // A scanner switched off, moved or unplugged since the search: it cannot be reached, which
      // is not the same as not ready.
      {"status gets no answer", faulty(FOP_INQUIRY, FCLC_DEVICE_STATUS, std::nullopt, [](sim::Fault& f) { f.closeAfterSent = 0; }),
       "IDS_DV_UNREACHABLE_MSG", "IDS_DV_UNREACHABLE_INFO", true},
      {"status cut short", faulty(FOP_INQUIRY, FCLC_DEVICE_STATUS, std::nullopt, [](sim::Fault& f) { f.closeAfterSent = 12; }),
       "IDS_DV_UNREACHABLE_MSG", "IDS_DV_UNREACHABLE_INFO", true},
      {"settings block unreadable", faulty(FOP_READ, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, [](sim::Fault& f) { f.closeAfterSent = 0; }),
       "IDS_DV_UNREACHABLE_MSG", "IDS_DV_UNREACHABLE_INFO", true},
      {"settings block refused", faulty(FOP_READ, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, [](sim::Fault& f) { f.lastErr = 0x2003; }),
       "IDS_DV_NOT_READY_MSG", "IDS_DV_NOT_READY_INFO", true},
      {"structure version 0.56", [](SimScanner& s) {
         FCL_RS_PARAM_ALL p = s.model().paramAll();
         p.dwStructVersion = 56;
         s.model().setParamAll(p);
       }, "IDS_CM_ERROR", "IDS_PV_ERROR_MSG", false},
      {"structure version 1.57", [](SimScanner& s) {
         FCL_RS_PARAM_ALL p = s.model().paramAll();
         p.dwStructVersion = 0x10039;
         s.model().setParamAll(p);
       }, "IDS_CM_ERROR", "IDS_PV_ERROR_MSG", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimScanner sim;
    dns.addService(FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(sim.address())}));
    open(true);
    search();
    ASSERT_EQ(window->foundDevices().size(), 1);
    window->selectRow(0);
    c.arrange(sim);
    const qsizetype resolvesBefore = dns.resolveRequests().size();
    dialogs.expectAlert(0, text(c.message));
    window->ConnectBtnPushed();
    settleDiscovery();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().back().information, text(c.information));
    EXPECT_EQ(window->mainWindow(), nullptr);
    EXPECT_EQ(window->isNotFoundTimerRunning(), c.newSearch);
    EXPECT_EQ(dns.resolveRequests().size() > resolvesBefore, c.newSearch);
    EXPECT_EQ(window->foundDevices().size(), 1);  // listed again, or left as it was
    EXPECT_FALSE(window->io().isOpen());
    window.reset();
    dns.removeService(FakeDnssd::service("a", {}, {}).service);
    dns.waitIdle();
    dialogs.clear();
  }
}

// A ready scanner: the checks pass, the main window gets the entry's six texts, this window
// closes; the main window's Devices button brings it back with a new search.
TEST_F(DevicesWindowTest, ConnectHandsTheDeviceToTheMainWindow) {
  SimScanner sim;
  dns.addService(FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(sim.address())}));
  open(true);
  window->show();
  ASSERT_TRUE(waitFor([&] { return window->foundDevices().size() == 1; }));
  window->selectRow(0);
  window->ConnectBtnPushed();
  ViewController* main = window->mainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window->foundDevices().isEmpty());  // the list goes with the window
  EXPECT_EQ(main->ipString(), sim.address());
  EXPECT_EQ(main->deviceName(), "Zerelta QMX-7315W [SN-A]");
  EXPECT_EQ(main->state().deviceInterface, text("IDS_N_WIRED_LAN"));
  EXPECT_EQ(main->state().deviceUUID, "UUID-NET-1");
  EXPECT_EQ(main->state().deviceTWAINName, "NOT ON LIST");
  EXPECT_FALSE(main->isB());
  ASSERT_TRUE(waitFor([&] { return sim.model().isLocked(); }));  // the main window's load ran

  main->DevicesBtnPressed();  // nothing changed: no alert
  ASSERT_TRUE(waitFor([&] { return window->isVisible() && window->foundDevices().size() == 1; }));
  EXPECT_TRUE(waitFor([&] { return window->mainWindow() == nullptr; }));
  EXPECT_TRUE(waitFor([&] { return !sim.model().isLocked(); }));
  EXPECT_EQ(terminations, 0);
  EXPECT_TRUE(dialogs.alerts().empty());
}

// A scanner restarted while the main window held it: Devices says so in one alert, its OK closes
// the main window (which lets the scanner go) and the device window is back, where a new search
// lists the scanner and Connect opens it again.
TEST_F(DevicesWindowTest, DevicesAfterTheScannerWasRestartedShowsTheDeviceWindow) {
  SimScanner sim;
  ViewController* main = connectTo(sim);
  ASSERT_NE(main, nullptr);

  sim.model().forceLock("");  // restarted: the reservation is gone
  dialogs.expectAlert(0, text("IDS_CHECK_DEVICE_ID_FAIL_MSG"));
  main->DevicesBtnPressed();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  ASSERT_EQ(dialogs.alerts().size(), 1u);
  ASSERT_TRUE(waitFor([&] { return window->isVisible() && window->foundDevices().size() == 1; }));
  EXPECT_TRUE(waitFor([&] { return window->mainWindow() == nullptr; }));
  EXPECT_EQ(terminations, 0);

  window->selectRow(0);
  window->ConnectBtnPushed();
  ASSERT_NE(window->mainWindow(), nullptr);
  EXPECT_TRUE(waitFor([&] { return sim.model().isLocked(); }));
  EXPECT_EQ(dialogs.alerts().size(), 1u);
}

// Connect with nothing ever selected does nothing; a USB entry checked at connect is closed
// again, so the next search probes USB.
TEST_F(DevicesWindowTest, ConnectWithoutSelectionAndUsbProbeAfterConnectChecks) {
  plugUsb(Kind::Qmx7315w);
  open(true);
  search();
  ASSERT_EQ(window->foundDevices().size(), 1);
  window->ConnectBtnPushed();
  EXPECT_EQ(window->mainWindow(), nullptr);
  EXPECT_TRUE(dialogs.alerts().empty());

  window->selectRow(0);
  FCL_RS_PARAM_ALL p = usbModel->paramAll();
  p.dwStructVersion = 56;
  usbModel->setParamAll(p);
  dialogs.expectAlert(0, text("IDS_CM_ERROR"));
  window->ConnectBtnPushed();
  EXPECT_FALSE(window->io().isOpen());
  window->RefreshBtnPushed();
  EXPECT_EQ(window->foundDevices().size(), 1);
}

}  // namespace

namespace {

// A scanner that another session holds is listed as busy, and the window says beside the list
// why Connect stays off for it (a picture of the window goes to the screenshot folder); once the
// scanner is free, the next search lists it ready and the hint goes.
TEST_F(DevicesWindowTest, BusyScannerIsExplainedBesideTheList) {
  plugUsb(Kind::Qmx7315w);
  SimScanner sim;
  sim.model().setFWInfo(4);
  dns.addService(FakeDnssd::service("a", scannerTxt("ZRQ7315W-A0012345"), {FakeDnssd::ipv4(sim.address())}));
  open(true);
  QLabel* hint = window->busyHint();
  EXPECT_FALSE(hint->isVisibleTo(window.get()));
  window->show();
  ASSERT_TRUE(waitFor([&] { return window->foundDevices().size() == 2; }));
  window->selectRow(rowOf("Zerelta QMX-7315W [ZRQ7315W-A0012345]"));
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->connectButtonWidget()->isEnabled());
  EXPECT_TRUE(hint->isVisible());
  EXPECT_EQ(hint->text(), text("IDS_DV_BUSY_HINT"));
  EXPECT_TRUE(window->rect().contains(QRect(hint->mapTo(window.get(), QPoint(0, 0)), hint->size())));
  EXPECT_GE(hint->height(), hint->heightForWidth(hint->width()));  // every line of it
  const QString dir = QStringLiteral(ZR_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  EXPECT_TRUE(window->grab().toImage().save(dir + "/devices-window.png"));

  sim.model().setFWInfo(0);
  search();
  ASSERT_EQ(window->foundDevices().size(), 2);
  EXPECT_FALSE(hint->isVisibleTo(window.get()));
}

}  // namespace

namespace {

// The main window opens centred over the device window; after Devices the device window comes
// back with the size and place it had.
TEST_F(DevicesWindowTest, MainWindowOpensOverTheDeviceWindowWhichComesBackAsItWas) {
  SimScanner sim;
  dns.addService(FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(sim.address())}));
  open(true);
  window->show();
  window->setGeometry(QRect(150, 120, 720, 430));
  QCoreApplication::processEvents();
  const QRect geometry = window->geometry();
  const QPoint centre = window->frameGeometry().center();
  ASSERT_TRUE(waitFor([&] { return window->foundDevices().size() == 1; }));
  window->selectRow(0);
  window->ConnectBtnPushed();
  ViewController* main = window->mainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(waitFor([&] { return main->isVisible() && sim.model().isLocked(); }));
  EXPECT_LE((main->frameGeometry().center() - centre).manhattanLength(), 2);
  EXPECT_TRUE(main->screen()->availableGeometry().contains(main->frameGeometry()));

  main->DevicesBtnPressed();
  ASSERT_TRUE(waitFor([&] { return window->isVisible(); }));
  EXPECT_EQ(window->geometry(), geometry);
  EXPECT_TRUE(dialogs.alerts().empty());
}

// Return acts as Connect, only while Connect is enabled; Escape leaves the window as it is. The
// three buttons answer Alt with letters of their own.
TEST_F(DevicesWindowTest, ReturnConnectsWhileConnectIsEnabledAndEscapeDoesNothing) {
  plugUsb(Kind::Qmx7315w);
  SimScanner sim;
  sim.model().setFWInfo(4);  // busy: Connect stays disabled on its row
  dns.addService(FakeDnssd::service("a", scannerTxt("SN-A"), {FakeDnssd::ipv4(sim.address())}));
  open(true);
  window->show();
  search();
  ASSERT_EQ(window->foundDevices().size(), 2);
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  window->table()->setFocus();

  window->selectRow(rowOf("Zerelta QMX-7315W [SN-A]"));
  ASSERT_FALSE(window->connectButtonWidget()->isEnabled());
  QTest::keyClick(window->table(), Qt::Key_Return);  // no connect, so no not-ready alert
  QTest::keyClick(window->table(), Qt::Key_Escape);
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_EQ(window->mainWindow(), nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(terminations, 0);
  EXPECT_TRUE(dialogs.alerts().empty());

  QSet<QChar> letters;
  for (const char* name : {"btnRefresh", "btnConnect", "btnCancel"}) {
    const QChar letter = mnemonic(window->findChild<QPushButton*>(name)->text());
    EXPECT_FALSE(letter.isNull()) << name;
    EXPECT_FALSE(letters.contains(letter)) << name;
    letters.insert(letter);
  }

  window->selectRow(1 - rowOf("Zerelta QMX-7315W [SN-A]"));  // the USB scanner, ready
  ASSERT_TRUE(window->connectButtonWidget()->isEnabled());
  QTest::keyClick(window->table(), Qt::Key_Return);
  ASSERT_NE(window->mainWindow(), nullptr);
  EXPECT_EQ(window->mainWindow()->state().deviceInterface, "USB");
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(dialogs.alerts().empty());
}

}  // namespace
