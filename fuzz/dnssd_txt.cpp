// DNS-SD TXT records as they come off the network, and the device entries both programs build
// from them: the remote-setup program's device window (DevicesViewController) and the push-scan
// monitor's re-discovery (NetworkSearch).
//
// Input: the TXT record's wire form (length-prefixed character-strings), parsed by Avahi as the
// Avahi backend receives it.
//
// Checks: the record keeps the first occurrence of each non-empty key with the bytes after its
// first "="; the monitor's entry holds only keys whose values are non-empty valid UTF-8, its
// "name" and its IPv4 address; the device window lists a scanner of the network model under
// "<mfg> <mdl> [<sn>]" with eight texts, its UUID as the record has it.
//
// The device window reads the scanner's status over TCP for each address: the one address given
// is a loopback port held bound but not listening, so the connect is refused at once and nothing
// leaves this machine.
#include <QList>
#include <arpa/inet.h>
#include <avahi-common/strlst.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "Model/Utilities.h"
#include "Socket/SocketWrapper.h"
#include "Views/DevicesViewController.h"
#include "monitor/NetworkSearch/NetworkSearch.h"
#include "platform/dnssd/Dnssd.h"
#include "support/FuzzSupport.h"

namespace {

DevicesViewController* g_window = nullptr;

// A loopback TCP port bound but never listening: connects to it are refused by this machine.
uint16_t refusingPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) fuzz::fail("no socket for the refusing port");
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = 0;
  socklen_t len = sizeof sa;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
    fuzz::fail("cannot bind the refusing port");
  return ntohs(sa.sin_port);  // the descriptor stays open for the life of the process
}

const QByteArray kModeInfo =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<plist version=\"1.0\">\n<dict>\n<key>DeviceInfo</key>\n<array>\n"
    "<dict><key>UUID</key><string>6B29FC40-CA47-1067-B31D-00DD010662DA</string>"
    "<key>TWAINName</key><string>TW-Zerelta QMX-7315W LAN</string></dict>\n"
    "</array>\n</dict>\n</plist>\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::initProcess(true);
  SocketWrapper::setDefaultPort(refusingPort());
  SocketWrapper::Limits limits;
  limits.connect = limits.send = limits.receive = std::chrono::milliseconds(200);
  SocketWrapper::setDefaultLimits(limits);
  fuzz::writeFile(DevicesViewController::modeInfoPlistPath(), kModeInfo);
  g_window = new DevicesViewController(true);
  g_window->loadViewIfNeeded();
  Utilities::sharedInstance().setDebugMask(0);  // the window turns its trace on; not wanted here
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AvahiStringList* list = nullptr;
  if (avahi_string_list_parse(data, size, &list) != 0) return 0;
  QList<QByteArray> strings;
  for (AvahiStringList* l = list; l; l = avahi_string_list_get_next(l))
    strings << QByteArray(reinterpret_cast<const char*>(avahi_string_list_get_text(l)),
                          static_cast<qsizetype>(avahi_string_list_get_size(l)));
  avahi_string_list_free(list);

  // The record.
  const platform::TxtRecord txt = platform::txtRecordFromStrings(strings);
  for (auto it = txt.cbegin(); it != txt.cend(); ++it) FUZZ_CHECK(!it.key().isEmpty());
  // Avahi hands the strings over last first; the record's "first occurrence" is the first seen.
  for (const QByteArray& s : strings) {
    const qsizetype eq = s.indexOf('=');
    const QString key = QString::fromUtf8(eq < 0 ? s : s.left(eq));
    if (key.isEmpty()) continue;
    FUZZ_CHECK(txt.contains(key));
  }

  platform::DnssdResolved resolved;
  resolved.service = {QStringLiteral("Zerelta QMX-7315W [fuzz]"), QStringLiteral("_scanner._tcp"), QStringLiteral("local")};
  resolved.hostName = QStringLiteral("zerelta-fuzz.local");
  resolved.port = 5566;
  resolved.txt = txt;
  resolved.addresses = {{platform::DnssdAddress::Family::IPv6, QStringLiteral("::1"), 1},
                        {platform::DnssdAddress::Family::IPv4, QStringLiteral("127.0.0.1"), 1}};

  // The monitor's entry.
  const QVariantMap entry = NetworkSearch::deviceEntry(resolved);
  FUZZ_CHECK(entry.value(QStringLiteral("name")).toString() == resolved.service.name);
  FUZZ_CHECK(entry.value(QStringLiteral("IPAddress")).toString() == QStringLiteral("127.0.0.1"));
  for (auto it = entry.cbegin(); it != entry.cend(); ++it) {
    if (it.key() == QLatin1String("name") || it.key() == QLatin1String("IPAddress")) continue;
    FUZZ_CHECK(txt.contains(it.key()));
    FUZZ_CHECK(!it.value().toString().isEmpty());
    FUZZ_CHECK(it.value().toString().toUtf8() == txt.value(it.key()));
  }

  // The device window's entry.
  g_window->cleanList();
  g_window->didResolveAddress(resolved);
  const QMap<QString, DeviceEntry>& found = g_window->foundDevices();
  FUZZ_CHECK(found.size() <= 1);
  const bool networkModel = txt.contains(QStringLiteral("ty")) && QString::fromUtf8(txt.value(QStringLiteral("ty"))) == QStringLiteral("Zerelta QMX-7315W");
  if (!networkModel) FUZZ_CHECK(found.isEmpty());
  for (auto it = found.cbegin(); it != found.cend(); ++it) {
    const DeviceEntry& e = it.value();
    FUZZ_CHECK(e.size() == device_entry::kCount);
    FUZZ_CHECK(e.at(device_entry::kName) == it.key());
    FUZZ_CHECK(e.at(device_entry::kAddress) == QStringLiteral("127.0.0.1"));
    FUZZ_CHECK(e.at(device_entry::kModule) == QStringLiteral("BNT"));
    // A key the record lacks reads as "<key> is null".
    const QString uuidKey = QStringLiteral("uuid");
    FUZZ_CHECK(e.at(device_entry::kUuid) ==
               (txt.contains(uuidKey) ? QString::fromUtf8(txt.value(uuidKey)) : QStringLiteral("uuid is null")));
    // The driver's name for the scanner it lists; any other is "NOT ON LIST" (the program's own
    // settings let it list every scanner).
    const bool listed = e.at(device_entry::kUuid) == QStringLiteral("6B29FC40-CA47-1067-B31D-00DD010662DA");
    FUZZ_CHECK(e.at(device_entry::kTwainName) ==
               (listed ? QStringLiteral("TW-Zerelta QMX-7315W LAN") : QStringLiteral("NOT ON LIST")));
    FUZZ_CHECK(g_window->objectValueForTableColumn(platform::Localizer::text(QStringLiteral("IDS_DD_DEVICE_NAME")), 0) == it.key());
  }
  g_window->cleanList();
  return 0;
}
