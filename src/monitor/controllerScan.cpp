#include "monitor/controllerScan.h"

#include <QDebug>
#include <QUuid>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "monitor/ScannerUtility/MonitorDebugLog.h"
#include "monitor/ScannerUtility/MonitorRunLoop.h"
#include "monitor/ScannerUtility/MonitorTimings.h"
#include "platform/FixedText.h"
#include "platform/PropertyList.h"

using namespace monitor;

namespace {

void debugLine(const QString& text) { MonitorDebugLog::line(text); }
void debugLine(const char* text) { MonitorDebugLog::line(QString::fromUtf8(text)); }

void logRefusal(const char* failLine, uint32_t lastErr) {
  debugLine(failLine);
  debugLine(QStringLiteral("dwLastErr = 0x%1").arg(lastErr, 0, 16));
}

QString systemHostName() {
  char name[256 + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return QString();
  return QString::fromUtf8(name);
}

// An unsigned number in base 16 from the leading hexadecimal digits (as strtoul reads it).
uint64_t hexValue(const QString& text) {
  const std::string s = text.toStdString();
  return std::strtoull(s.c_str(), nullptr, 16);
}

QString describe(const QList<QVariantMap>& devices) {
  QString text;
  QDebug(&text).noquote() << devices;
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The operation guard

controllerScan::Operation::Operation(controllerScan& scan) : m_scan(scan), m_owner(!scan.m_busy) {
  if (m_owner) m_scan.m_busy = true;
}

controllerScan::Operation::~Operation() {
  if (!m_owner) return;
  m_scan.m_busy = false;
  m_scan.m_aborted = false;
  m_scan.runPendingRemovals();
}

void controllerScan::runPendingRemovals() {
  while (!m_busy && !m_pendingRemovals.empty()) {
    m_busy = true;
    std::vector<std::function<void(bool)>> waiting;
    waiting.swap(m_pendingRemovals);
    const Removal how = std::move(m_pendingHow);
    m_pendingHow = {};
    bool cleared = false;
    const bool ok = removeNow(how, &cleared);
    const bool brokenOff = m_aborted;
    m_aborted = false;
    // Requests that came while this removal ran are answered by it too, unless it was broken
    // off or they ask for a clear it did not make: those run next.
    std::function<void(bool)> clearedToo;
    if (!brokenOff && (how.clearEventFirst || !m_pendingHow.clearEventFirst)) {
      for (auto& f : m_pendingRemovals) waiting.push_back(std::move(f));
      m_pendingRemovals.clear();
      clearedToo = std::move(m_pendingHow.cleared);
      m_pendingHow = {};
    }
    m_busy = false;
    if (clearedToo && how.clearEventFirst) clearedToo(cleared);
    for (auto& f : waiting) {
      if (f) f(ok);
    }
  }
}

bool controllerScan::shouldStop() const {
  if (m_aborted) return true;
  if (!m_deadline || std::chrono::steady_clock::now() < *m_deadline) return false;
  debugLine("the stop's time limit has passed: nothing more is sent to the scanner");
  return true;
}

void controllerScan::abortOperation() {
  if (!m_busy) return;
  debugLine(QStringLiteral("the running operation is broken off"));
  m_aborted = true;
  m_usbWraper.abort();
}

// ---------------------------------------------------------------------------------------------
// Start-up

controllerScan::controllerScan() : controllerScan(Environment{}) {}

controllerScan::controllerScan(Environment environment)
    : m_env(std::move(environment)),
      m_netWorkSearch(m_env.search ? m_env.search : &NetworkSearch::shareInstance()) {
  m_isGetDevice = false;
  m_usbWraper.scannerVendorID = kDefaultVendorID;
  m_usbWraper.scannerProductID = kDefaultProductID;
  m_IPAddressStr = QString::fromLatin1(kDefaultConnection);

  const QString path = deviceFile();
  QVariantMap file;
  const bool readable = !path.isEmpty() && platform::PropertyList::read(path, file) == platform::PropertyList::Status::Ok;
  if (!readable) debugLine(QStringLiteral("DeviceSetting.plist cannot be read: %1; using the built-in values").arg(path));
  auto text = [&](const char* key, const QString& fallback) {
    const QString k = QString::fromLatin1(key);
    if (!file.contains(k)) {
      if (readable) debugLine(QStringLiteral("DeviceSetting.plist has no %1; using \"%2\"").arg(k, fallback));
      return fallback;
    }
    return file.value(k).toString();
  };
  m_usbWraper.scannerVendorID = hexValue(text("VID", QString::number(kDefaultVendorID, 16)));
  m_usbWraper.scannerProductID = hexValue(text("PID", QString::number(kDefaultProductID, 16)));
  m_IPAddressStr = text("IPAddress", m_IPAddressStr);
  m_myUUID = text("UUID", QString());
  m_PCUUID = text("PCUUID", QString());

  if (m_PCUUID.isEmpty()) {
    m_PCUUID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    // Written back only into a file that was read: a file that could not be read is not
    // replaced by one holding this key alone.
    if (readable) {
      if (platform::PropertyList::update(path, {{QStringLiteral("PCUUID"), m_PCUUID}}) !=
          platform::PropertyList::Status::Ok)
        debugLine(QStringLiteral("DeviceSetting.plist: the new PCUUID could not be written"));
    }
  }

  std::memset(&m_pPCList, 0, sizeof m_pPCList);
  if (isUSB()) {
    platform::textToField(m_pPCList.szPCName, QStringLiteral("USB"));
    platform::textToField(m_pPCList.szPCUUID, QString::fromLatin1(kNilPCUUID));
    m_pPCList.dwConnectType = kConnectTypeUSB;
  } else {
    platform::textToField(m_pPCList.szPCName, m_env.hostName ? m_env.hostName() : systemHostName());
    platform::textToField(m_pPCList.szPCUUID, m_PCUUID);
    m_pPCList.dwConnectType = kConnectTypeNetwork;
  }
}

controllerScan::~controllerScan() {
  if (m_netWorkSearch->delegate() == this) {
    m_netWorkSearch->setDelegate(nullptr);
    m_netWorkSearch->cancel();
  }
}

bool controllerScan::isUSB() const { return m_IPAddressStr == QLatin1String(USBWraper::kUSBConnection); }

QString controllerScan::deviceFile() const { return m_env.deviceFilePath ? m_env.deviceFilePath() : QString(); }

bool controllerScan::isOwnEntry(const FCL_RS_PCLIST& entry) const {
  return std::memcmp(entry.szPCUUID, m_pPCList.szPCUUID, sizeof entry.szPCUUID) == 0;
}

// ---------------------------------------------------------------------------------------------
// Opening an operation, re-discovery

bool controllerScan::confirmOpenConnect(const QString&) {
  if (shouldStop()) return false;
  if (!m_usbWraper.OpenScanner(m_IPAddressStr)) {
    m_usbWraper.CloseScanner();
    return false;
  }
  if (m_usbWraper.OpenConnect(m_IPAddressStr)) return true;

  m_usbWraper.CloseConnect();
  m_usbWraper.CloseScanner();
  if (shouldStop()) return false;
  startSearch();
  if (!isScannerConnect()) return false;

  if (!m_usbWraper.OpenScanner(m_IPAddressStr)) {
    m_usbWraper.CloseScanner();
    return false;
  }
  if (shouldStop() || !m_usbWraper.OpenConnect(m_IPAddressStr)) return false;
  saveNewIPAddress();
  return true;
}

void controllerScan::startSearch() {
  m_isGetDevice = false;
  m_netWorkSearch->setDelegate(this);
  m_searchNumber = m_netWorkSearch->search();
}

bool controllerScan::modifyNetIPConnect() {
  startSearch();
  const bool found = isScannerConnect();
  if (found) saveNewIPAddress();
  return found;
}

bool controllerScan::isScannerConnect() {
  const MonitorTimings t = MonitorTimings::current();
  auto deadline = std::chrono::steady_clock::now() + t.discoveryWait;
  if (m_deadline) deadline = std::min(deadline, *m_deadline);
  while (!m_isGetDevice) {
    if (m_aborted) return false;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      debugLine(QStringLiteral("no discovery report"));
      return false;
    }
    MonitorRunLoop::runFor(std::min(t.slice, left));
  }
  if (m_deviceArray.isEmpty() || isUSB()) return false;
  for (const QVariantMap& entry : m_deviceArray) {
    QVariant uuid;
    if (entry.contains(QStringLiteral("uuid")))
      uuid = entry.value(QStringLiteral("uuid"));
    else if (entry.contains(QStringLiteral("UUID")))
      uuid = entry.value(QStringLiteral("UUID"));
    if (!uuid.isValid() || uuid.toString() != m_myUUID) continue;
    // Only an address the transport can connect to replaces the one in use.
    const QString address = entry.value(QStringLiteral("IPAddress")).toString();
    if (!NetworkSearch::isDottedIPv4(address)) continue;
    m_IPAddressStr = address;
    return true;
  }
  return false;
}

void controllerScan::searchDevicesDidFinish(const QList<QVariantMap>* devices, quint64 search) {
  // A report of an earlier search says nothing about the one waited for.
  if (search != m_searchNumber) return;
  m_deviceArray.clear();
  if (devices) m_deviceArray = *devices;
  if (!m_deviceArray.isEmpty()) debugLine(QStringLiteral("deviceArray=%1").arg(describe(m_deviceArray)));
  m_isGetDevice = true;
}

void controllerScan::saveNewIPAddress() {
  const QString path = deviceFile();
  // Only the address changes, and only to an address found by a search; a file that cannot be
  // read is left alone.
  if (path.isEmpty() || !NetworkSearch::isDottedIPv4(m_IPAddressStr)) return;
  const platform::PropertyList::Status status =
      platform::PropertyList::update(path, {{QStringLiteral("IPAddress"), m_IPAddressStr}});
  if (status != platform::PropertyList::Status::Ok)
    debugLine(QStringLiteral("DeviceSetting.plist: the new address could not be written"));
}

// ---------------------------------------------------------------------------------------------
// PC list

bool controllerScan::readCount(uint16_t qualifier, int32_t* value, const char* startLine, const char* successLine,
                               const char* failLine, const char* valueLine) {
  *value = 0;
  if (!confirmOpenConnect(m_IPAddressStr)) {
    m_usbWraper.CloseConnect();
    return false;
  }
  FCL_CMD cmd;
  FCL_DEVICE_STATUS status{};
  USBWraper::CreateCommand(&cmd, FOP_READ, FCLC_RS_PCLIST, qualifier, sizeof(int32_t));
  debugLine(startLine);
  if (!m_usbWraper.SendCommand(&cmd, &status)) {
    debugLine(failLine);
    m_usbWraper.CloseConnect();
    return false;
  }
  debugLine(successLine);
  int32_t read = 0;
  const bool ok = m_usbWraper.GetData(&read, sizeof read);
  m_usbWraper.CloseConnect();
  if (!ok) return false;
  *value = read;
  debugLine(QString::asprintf(valueLine, static_cast<int>(read)));
  return true;
}

bool controllerScan::comparePCListMaxCountAndCurrentCount() {
  Operation op(*this);
  if (!op) return false;
  int32_t capacity = 0;
  if (!readCount(FCLD_RS_PCLIST_MAX_COUNT, &capacity,
                 "====Send Command FCLC_RS_PCLIST to FCLD_RS_PCLIST_MAX_COUNT and compare count and current count start====",
                 "====Send Command FCLC_RS_PCLIST to FCLD_RS_PCLIST_MAX_COUNT and compare count and current count success====",
                 "====Send Command FCLC_RS_PCLIST to FCLD_RS_PCLIST_MAX_COUNT and compare count and current count faild and return====",
                 "MAXConut:%d"))
    return false;
  int32_t count = 0;
  if (!readCount(FCLD_RS_PCLIST_CUR_COUNT, &count,
                 "====Send Command FCLC_RS_PCLIST to get FCLD_RS_PCLIST_CUR_COUNT and compare count and max count start====",
                 "====Send Command FCLC_RS_PCLIST to get FCLD_RS_PCLIST_CUR_COUNT and compare count and max count success====",
                 "====Send Command FCLC_RS_PCLIST to get FCLD_RS_PCLIST_CUR_COUNT and compare count and max count faild and return====",
                 "CURRENTConut:%d"))
    return false;
  return count < capacity;
}

bool controllerScan::addPlistToDevice() {
  Operation op(*this);
  if (!op) return false;
  if (!confirmOpenConnect(m_IPAddressStr)) {
    m_usbWraper.CloseConnect();
    return false;
  }
  const char* failLine = "====Send Command FCLC_RS_PCLIST to FCLD_RS_PCLIST_ADD faild and return====";
  FCL_CMD cmd;
  FCL_DEVICE_STATUS status{};
  USBWraper::CreateCommand(&cmd, FOP_WRITE, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ADD, sizeof(FCL_RS_PCLIST));
  debugLine("====Send Command FCLC_RS_PCLIST to FCLD_RS_PCLIST_ADD start====");
  if (!m_usbWraper.SendCommand(&cmd, &status)) {
    debugLine(failLine);
    m_usbWraper.CloseConnect();
    return false;
  }
  debugLine("====Send Command FCLC_RS_PCLIST to FCLD_RS_PCLIST_ADD success====");
  if (!m_usbWraper.SendData(&m_pPCList, sizeof m_pPCList)) {
    debugLine("====Send Data FCLC_RS_PCLIST to FCLD_RS_PCLIST_ADD faild and return====");
    m_usbWraper.CloseConnect();
    return false;
  }
  m_usbWraper.CloseConnect();
  if (status.dwLastErr != 0) {
    logRefusal(failLine, status.dwLastErr);
    return false;
  }
  clockNow();
  return true;
}

bool controllerScan::removePCList(std::function<void(bool)> done, Removal how) {
  if (m_busy) {
    // Called from a handler inside the wait of another operation: run it once that has ended.
    debugLine(QStringLiteral("remove pclist deferred until the running operation has ended"));
    m_pendingRemovals.push_back(std::move(done));
    m_pendingHow.clearEventFirst |= how.clearEventFirst;
    if (how.cleared) {
      if (m_pendingHow.cleared)
        m_pendingHow.cleared = [first = std::move(m_pendingHow.cleared), next = std::move(how.cleared)](bool made) {
          first(made);
          next(made);
        };
      else
        m_pendingHow.cleared = std::move(how.cleared);
    }
    if (how.deadline && (!m_pendingHow.deadline || *how.deadline < *m_pendingHow.deadline))
      m_pendingHow.deadline = how.deadline;
    return false;
  }
  bool ok;
  {
    Operation op(*this);
    ok = removeNow(how, nullptr);
  }
  if (done) done(ok);
  return ok;
}

bool controllerScan::removeNow(const Removal& how, bool* cleared) {
  m_deadline = how.deadline;
  m_usbWraper.limitTo(how.deadline);
  if (how.clearEventFirst) {
    debugLine("clearing the scan-button event taken up before removing this computer");
    const bool made = clearNow();
    if (cleared) *cleared = made;
    if (how.cleared) how.cleared(made);
  }
  const bool ok = removeEntryNow();
  m_deadline.reset();
  m_usbWraper.limitTo(std::nullopt);
  return ok;
}

bool controllerScan::removeEntryNow() {
  const char* failLine = "====Send Command FCLD_RS_PCLIST_REMOVE faild and return====";
  bool ok = false;
  if (!confirmOpenConnect(m_IPAddressStr)) {
    m_usbWraper.CloseConnect();
  } else {
    FCL_CMD cmd;
    FCL_DEVICE_STATUS status{};
    USBWraper::CreateCommand(&cmd, FOP_WRITE, FCLC_RS_PCLIST, FCLD_RS_PCLIST_REMOVE, sizeof(FCL_RS_PCLIST));
    debugLine("====Send Command FCLD_RS_PCLIST_REMOVE start====");
    if (!m_usbWraper.SendCommand(&cmd, &status)) {
      debugLine(failLine);
    } else {
      debugLine("====Send Command FCLD_RS_PCLIST_REMOVE success====");
      if (!m_usbWraper.SendData(&m_pPCList, sizeof m_pPCList)) {
        debugLine(failLine);
      } else if (status.dwLastErr != 0) {
        logRefusal(failLine, status.dwLastErr);
      } else {
        ok = true;
      }
    }
    m_usbWraper.CloseConnect();
  }
  debugLine("remove pclist end");
  return ok;
}

bool controllerScan::readPCList(int32_t count, std::vector<FCL_RS_PCLIST>* entries) {
  entries->clear();
  Operation op(*this);
  if (!op) return false;
  if (count <= 0) return true;
  // A count from the scanner is never trusted: at most kMaxPCListEntries are asked for, so the
  // length below stays small (1024 x 316 bytes at most).
  const uint32_t n = std::min(static_cast<uint32_t>(count), kMaxPCListEntries);
  if (n == 0) return true;

  if (!confirmOpenConnect(m_IPAddressStr)) {
    m_usbWraper.CloseConnect();
    return false;
  }
  FCL_CMD cmd;
  FCL_DEVICE_STATUS status{};
  USBWraper::CreateCommand(&cmd, FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ALL,
                           n * static_cast<uint32_t>(sizeof(FCL_RS_PCLIST)));
  debugLine("====Send Command FCLC_RS_PCLIST to get all PCLIST start====");
  if (!m_usbWraper.SendCommand(&cmd, &status)) {
    debugLine("====Send Command FCLC_RS_PCLIST to get all PCLIST faild and return====");
    m_usbWraper.CloseConnect();
    return false;
  }
  debugLine("====Send Command FCLC_RS_PCLIST to get all PCLIST success====");
  std::vector<FCL_RS_PCLIST> list(n);
  const bool ok = m_usbWraper.GetData(list.data(), cmd.dwDataLength);
  m_usbWraper.CloseConnect();
  if (!ok) return false;
  *entries = std::move(list);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Scan-button event

int controllerScan::getNetWorkInterrupt() {
  Operation op(*this);
  if (!op) return 0;
  if (!confirmOpenConnect(m_IPAddressStr)) {
    m_usbWraper.CloseConnect();
    return 0;
  }
  const bool usb = isUSB();
  FCL_CMD cmd;
  FCL_DEVICE_STATUS status{};
  USBWraper::CreateCommand(&cmd, FOP_READ, FCLC_RS_EVENT_CHECKING, usb ? kEventQualifierUSB : kEventQualifierNetwork,
                           sizeof(FCL_RS_EVENT_INFO));
  debugLine("====Send Command FCLC_RS_EVENT_CHECKING start====");
  if (!m_usbWraper.SendCommand(&cmd, &status)) {
    debugLine("====Send Command FCLC_RS_EVENT_CHECKING faild====");
    m_usbWraper.CloseConnect();
    return 0;
  }
  debugLine("====Send Command FCLC_RS_EVENT_CHECKING success====");
  FCL_RS_EVENT_INFO event{};
  const bool ok = m_usbWraper.GetEventData(&event, sizeof event);
  // The shortcut text is 9 bytes at most, with or without its terminator.
  const QByteArray shortcut(event.szShortCutString,
                            static_cast<qsizetype>(strnlen(event.szShortCutString, sizeof event.szShortCutString)));
  debugLine(QStringLiteral("ShortCutString=====%1").arg(QString::fromUtf8(shortcut)));
  m_usbWraper.CloseConnect();
  if (!ok) return 0;

  // The pause serves the event loop: a stop breaks it off (and its removal follows at once), as
  // does a removal asked for meanwhile.
  const auto idlePause = [this] {
    MonitorTimings::pause(MonitorTimings::current().idleEventPause,
                          [this] { return m_aborted || !m_pendingRemovals.empty(); });
  };
  if (event.dwEventType == kEventTypeScanToPC) {
    const QByteArray target(event.szPCUUID, static_cast<qsizetype>(strnlen(event.szPCUUID, sizeof event.szPCUUID)));
    const QByteArray own(m_pPCList.szPCUUID,
                         static_cast<qsizetype>(strnlen(m_pPCList.szPCUUID, sizeof m_pPCList.szPCUUID)));
    if (target == own) return 2;
    idlePause();
    return 1;
  }
  if (event.dwEventType == 0 || m_pPCList.dwConnectType != kConnectTypeNetwork) idlePause();
  return 1;
}

bool controllerScan::clearEventChecking() {
  Operation op(*this);
  if (!op) return false;
  return clearNow();
}

bool controllerScan::clearNow() {
  if (!confirmOpenConnect(m_IPAddressStr)) {
    m_usbWraper.CloseConnect();
    return false;
  }
  FCL_CMD cmd;
  FCL_DEVICE_STATUS status{};
  USBWraper::CreateCommand(&cmd, FOP_COMMAND, FCLC_RS_EVENT_CHECKING, 0, kEventClearLength);
  debugLine("====Send Command FCLC_RS_EVENT_CHECKING to clear FCLC_RS_EVENT_CHECKING start====");
  const bool sent = m_usbWraper.SendCommand(&cmd, &status);
  m_usbWraper.CloseConnect();
  const bool ok = sent && status.dwLastErr == 0;
  debugLine(QStringLiteral("====Send Command FCLC_RS_EVENT_CHECKING to clear FCLC_RS_EVENT_CHECKING end and %1====")
                .arg(ok ? 1 : 0));
  if (sent && !ok) debugLine(QStringLiteral("dwLastErr = 0x%1").arg(status.dwLastErr, 0, 16));
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Clock

bool controllerScan::setSystemUTCTimeToScanner() {
  Operation op(*this);
  if (!op) return false;
  return clockNow();
}

bool controllerScan::clockNow() {
  if (!confirmOpenConnect(m_IPAddressStr)) {
    m_usbWraper.CloseConnect();
    return false;
  }
  const std::time_t now = m_env.clock ? m_env.clock() : std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  FCL_SYSTEM_TIME_UTC_DATA data{};
  if (local.tm_year < 100 || local.tm_year > 137) {
    // Outside what the scanner keeps: 2018-01-01 00:00:00, a Monday.
    data = {0, 0, 0, 1, 0, 118, 1, 0, local.tm_isdst};
  } else {
    data = {local.tm_sec,  local.tm_min,  local.tm_hour, local.tm_mday,  local.tm_mon,
            local.tm_year, local.tm_wday, local.tm_yday, local.tm_isdst};
  }
  FCL_CMD cmd;
  FCL_DEVICE_STATUS status{};
  USBWraper::CreateCommand(&cmd, FOP_WRITE, FCLC_SYSTEM_TIME, FCLD_SYSTEM_TIME_UTC, sizeof data);
  debugLine("====Send Command FCLC_SYSTEM_TIME start====");
  if (!m_usbWraper.SendCommand(&cmd, &status)) {
    debugLine("====Send Command FCLC_SYSTEM_TIME faild====");
    m_usbWraper.CloseConnect();
    return false;
  }
  debugLine("====Send Command FCLC_SYSTEM_TIME success====");
  const bool sent = m_usbWraper.SendData(&data, sizeof data);
  m_usbWraper.CloseConnect();
  const bool ok = sent && status.dwLastErr == 0;
  debugLine(ok ? "UTC set data Successful!" : "UTC set data failed!");
  if (sent && !ok) debugLine(QStringLiteral("dwLastErr = 0x%1").arg(status.dwLastErr, 0, 16));
  return ok;
}
