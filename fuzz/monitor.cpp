// The push-scan monitor's readers: its device file (DeviceSetting.plist) read at start-up and
// rewritten with a new PC identifier, the scanner's replies to its PC-list, count, event, clear
// and clock commands over USB (through the scripted scanner of FuzzSupport.h: no sockets), and
// the desktop entry of a scan application it would start.
//
// Input: one byte that picks what is read, then
//   0      the device file's bytes
//   1..7   the scanner's replies (FuzzSupport.h) to: 1 capacity and count, 2 the PC list (a
//          32-bit count first), 3 the event read, 4 the event clear, 5 the add, 6 the remove,
//          7 the clock
//   8      the desktop entry's bytes
//
// Checks: the device file's values are taken as written, a missing PCUUID is made and written
// back into a file that was read, and the rewritten file keeps every other key; an operation's
// answer is one it can give and never more PC-list entries than asked for; every operation
// releases the USB device it opened; a desktop entry is valid only when it names an existing
// executable file, which is never started here.
#include <QFileInfo>
#include <QVariantMap>
#include <cstring>
#include <vector>

#include "monitor/DesktopApplication.h"
#include "monitor/ScannerUtility/MonitorTimings.h"
#include "monitor/controllerScan.h"
#include "platform/FixedText.h"
#include "platform/PropertyList.h"
#include "support/FuzzSupport.h"

using platform::PropertyList;

namespace {

controllerScan::Environment environment(const QString& deviceFile) {
  controllerScan::Environment env;
  if (!deviceFile.isEmpty()) env.deviceFilePath = [deviceFile] { return deviceFile; };
  env.hostName = [] { return QStringLiteral("fuzz-host"); };
  env.clock = [] { return std::time_t(1767225600); };  // 2026-01-01
  return env;
}

void deviceFile(const QByteArray& bytes) {
  const QString path = fuzz::home() + QStringLiteral("/Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W/DeviceSetting.plist");
  fuzz::writeFile(path, bytes);
  QVariantMap before;
  const bool readable = PropertyList::fromBytes(bytes, before) == PropertyList::Status::Ok;

  const controllerScan scan(environment(path));
  auto text = [&](const char* key, const QString& fallback) {
    const QString k = QString::fromLatin1(key);
    return readable && before.contains(k) ? before.value(k).toString() : fallback;
  };
  FUZZ_CHECK(scan.IPAddressStr() == text("IPAddress", QStringLiteral("USB")));
  FUZZ_CHECK(scan.myUUID() == text("UUID", QString()));
  const QString pcuuid = text("PCUUID", QString());
  if (!pcuuid.isEmpty()) {
    FUZZ_CHECK(scan.PCUUID() == pcuuid);
  } else {
    FUZZ_CHECK(scan.PCUUID().size() == 36);
  }
  const bool usb = scan.IPAddressStr() == QStringLiteral("USB");
  FUZZ_CHECK(scan.pPCList().dwConnectType == (usb ? 0u : 1u));
  FUZZ_CHECK(scan.pPCList().szPCName[sizeof scan.pPCList().szPCName - 1] == 0);
  FUZZ_CHECK(scan.pPCList().szPCUUID[sizeof scan.pPCList().szPCUUID - 1] == 0);

  const QByteArray after = fuzz::readFile(path);
  if (!readable) {
    // Nothing unread is ever written back.
    FUZZ_CHECK(after == bytes);
    return;
  }
  if (after == bytes) return;  // kept as it was (nothing to add, or the rewrite was refused)
  FUZZ_CHECK(pcuuid.isEmpty());
  QVariantMap now;
  FUZZ_CHECK(PropertyList::fromBytes(after, now) == PropertyList::Status::Ok);
  QVariantMap expected = before;
  expected.insert(QStringLiteral("PCUUID"), scan.PCUUID());
  FUZZ_CHECK(now == expected);
}

void operation(int which, fuzz::Bytes& input) {
  fuzz::ScriptedScanner& scanner = fuzz::scanner();
  int32_t count = 0;
  if (which == 2) count = static_cast<int32_t>(input.u32());
  scanner.begin(&input);
  {
    controllerScan scan(environment(QString()));
    switch (which) {
      case 1: scan.comparePCListMaxCountAndCurrentCount(); break;
      case 2: {
        std::vector<monitor::FCL_RS_PCLIST> entries(3);
        const bool ok = scan.readPCList(count, &entries);
        if (!ok) FUZZ_CHECK(entries.empty());
        FUZZ_CHECK(entries.size() <= monitor::kMaxPCListEntries);
        FUZZ_CHECK(count > 0 || entries.empty());
        if (count > 0) FUZZ_CHECK(entries.size() <= static_cast<std::size_t>(count));
        for (const monitor::FCL_RS_PCLIST& e : entries) {
          scan.isOwnEntry(e);
          platform::textFromField(e.szPCName);
        }
        break;
      }
      case 3: {
        const int r = scan.getNetWorkInterrupt();
        FUZZ_CHECK(r == 0 || r == 1 || r == 2);
        break;
      }
      case 4: scan.clearEventChecking(); break;
      case 5: scan.addPlistToDevice(); break;
      case 6: scan.removePCList(); break;
      case 7: scan.setSystemUTCTimeToScanner(); break;
    }
    FUZZ_CHECK(!scan.busy());
  }
  FUZZ_CHECK(scanner.host.openInterfaces() == 0);
  FUZZ_CHECK(scanner.host.openDevices() == 0);
}

void desktopEntry(const QByteArray& bytes) {
  const QString path = fuzz::home() + QStringLiteral("/scan.desktop");
  fuzz::writeFile(path, bytes);
  const DesktopApplication app(path);
  if (app.isValid()) {
    const QFileInfo program(app.program());
    FUZZ_CHECK(program.isAbsolute() && program.isFile() && program.isExecutable());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::initProcess(false);
  fuzz::scanner();
  MonitorTimings t;
  t.usbReadPause = MonitorTimings::ms(0);
  t.usbReadMaxFailures = 3;
  t.exclusiveAccessPause = MonitorTimings::ms(0);
  t.idleEventPause = MonitorTimings::ms(0);
  MonitorTimings::set(t);
  MonitorTimings::setPauseFunction([](MonitorTimings::ms) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes input(data, size);
  const int which = input.byte() % 9;
  if (which == 0) {
    deviceFile(input.rest());
  } else if (which == 8) {
    desktopEntry(input.rest());
  } else {
    operation(which, input);
  }
  return 0;
}
