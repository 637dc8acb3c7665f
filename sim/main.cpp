// zerelta-scanner-sim: a simulated scanner on the network, for demos and manual testing.
//
//   zerelta-scanner-sim [--address A] [--port P] [--model qmx7315w|qmx7305] [--refuse-remote-setup]
//                       [--serial S] [--publish]
//
// Binds only the address given (default 127.0.0.1), port 5566 unless told otherwise (0: any free
// port; the first line printed names the one bound), and serves until SIGINT or SIGTERM, printing
// one line per command.
//
// The scanner served is a whole one of the model chosen (sim/ScannerModel.h): a 0.57 settings
// block set up with names and documentation addresses, contacts, scan profiles, SFTP keys,
// counters, the lock and the resets. --refuse-remote-setup makes it answer every lock command
// with the firmware's refusal of remote setup (0x7007). Its serial number (the scanner reports it
// and the announcement carries it) comes from the address it binds ("ZRQ7315W-A127000000001" at
// 127.0.0.1), so simulators started side by side on different addresses are different scanners;
// --serial gives it another (1 to 23 characters). What it serves is described on stderr.
//
// --publish also announces it by DNS service discovery through the Avahi daemon, as the network
// scanner announces itself: "_scanner._tcp" in "local", named "Zerelta <model> [<serial>]", at the
// bound port, with the scanner's TXT keys (ty, mfg, mdl, sn, ADP, uuid, adminurl, txtvers,
// button, feeder, flatbed). The announcement and an address record for a host named after the
// bound address ("zerelta-sim-127-0-0-1.local") go out on the loopback interface only, so the
// service resolves to the simulator's own address and each simulator has a host of its own. A
// name already taken is replaced by the next free one. Without a daemon it says so on stderr and
// goes on serving TCP.
//
// Standard input takes commands, one per line:
//   press [PCUUID | index]   a press of the scan button for a PC-list entry (by its identifier
//                            text or its index from 0; without an argument the entry added
//                            last), which the push-scan monitor of that computer then reads
//   list                     the PC list
// The end of standard input ends only this reader; the simulator serves on.
#include <QCoreApplication>
#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <net/if.h>
#include <pthread.h>
#include <sstream>
#include <string>
#include <thread>

#include "ScannerModel.h"
#include "TcpScanner.h"
#include "platform/dnssd/AvahiPublisher.h"

namespace {

void usage(const char* argv0) {
  std::fprintf(stderr,
               "usage: %s [--address A] [--port P] [--model qmx7315w|qmx7305] [--refuse-remote-setup] [--serial S] "
               "[--publish]\n",
               argv0);
}

// ---- The announcement (--publish) -----------------------------------------------------------

// Fixed per model, so a driver's device list can name the simulated scanner.
const char* simulatedUuid(sim::ScannerModel::Kind kind) {
  return kind == sim::ScannerModel::Kind::Qmx7305 ? "3F6A2C1E-7305-4B8D-9E21-5A0C0FFEE305"
                                                   : "3F6A2C1E-7315-4B8D-9E21-5A0C0FFEE315";
}

// The host the announcement names: "zerelta-sim-" and the address with its dots as hyphens,
// a DNS label of letters, digits and hyphens, one per address.
QString hostNameFor(const QString& address) {
  QString label = QStringLiteral("zerelta-sim-") + address;
  for (QChar& c : label)
    if (!c.isDigit() && !(c >= u'a' && c <= u'z')) c = u'-';
  return label + QStringLiteral(".local");
}

platform::AvahiPublisher::Registration announcement(const sim::ScannerModel& model, const std::string& address,
                                                    uint16_t port, int interfaceIndex) {
  const std::string serial = model.serial();
  const QString modelName = QString::fromStdString(model.modelName());
  const QString published = address == "0.0.0.0" ? QStringLiteral("127.0.0.1") : QString::fromStdString(address);

  platform::AvahiPublisher::Registration r;
  r.name = QStringLiteral("Zerelta %1 [%2]").arg(modelName, QString::fromStdString(serial));
  r.type = QStringLiteral("_scanner._tcp");
  r.domain = QStringLiteral("local");
  r.port = port;
  r.interfaceIndex = interfaceIndex;
  r.hostName = hostNameFor(published);
  r.address = published;
  r.txt = {
      {"ty", ("Zerelta " + modelName).toUtf8()},
      {"mfg", "Zerelta"},
      {"mdl", modelName.toUtf8()},
      {"sn", QByteArray::fromStdString(serial)},
      {"ADP", "WIRED"},
      {"uuid", simulatedUuid(model.kind())},
      {"adminurl", ("http://" + published + "/").toUtf8()},
      {"txtvers", "1"},
      {"button", "T"},
      {"feeder", "T"},
      {"flatbed", "F"},
  };
  return r;
}

// Serves the Qt event loop (which runs the announcement) until SIGINT or SIGTERM.
void serveAnnounced(int& argc, char** argv, const sim::ScannerModel& model, const sim::TcpScanner& scanner,
                    const sigset_t& signals) {
  QCoreApplication app(argc, argv);
  // The signals stay blocked everywhere; one thread takes them and ends the loop.
  std::thread waiter([&signals, &app]() {
    int sig = 0;
    sigwait(&signals, &sig);
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
  });

  platform::AvahiPublisher publisher;
  const unsigned lo = if_nametoindex("lo");
  if (lo == 0) {
    std::fprintf(stderr, "not announced: no loopback interface \"lo\"; serving TCP only\n");
  } else {
    const auto r = announcement(model, scanner.address(), scanner.port(), static_cast<int>(lo));
    publisher.setStateCallback([&publisher, r](platform::AvahiPublisher::State state, const QString& detail) {
      if (state == platform::AvahiPublisher::State::Established) {
        std::fprintf(stderr, "announced as \"%s\" (_scanner._tcp on lo, host %s at %s)\n",
                     publisher.publishedName().toUtf8().constData(),
                     publisher.publishedHostName().toUtf8().constData(), r.address.toUtf8().constData());
      } else if (state == platform::AvahiPublisher::State::Failed) {
        std::fprintf(stderr, "announcement failed: %s; serving TCP only\n", detail.toUtf8().constData());
      }
    });
    if (!publisher.publish(r)) {
      std::fprintf(stderr, "not announced: %s; serving TCP only\n", publisher.error().toUtf8().constData());
    }
  }
  app.exec();
  publisher.withdraw();
  waiter.join();
}

// ---- Commands on standard input ------------------------------------------------------------

std::string entryText(const monitor::FCL_RS_PCLIST& e) {
  return "\"" + std::string(e.szPCName, strnlen(e.szPCName, sizeof e.szPCName)) + "\" " +
         std::string(e.szPCUUID, strnlen(e.szPCUUID, sizeof e.szPCUUID)) +
         (e.dwConnectType == monitor::kConnectTypeUSB ? " (USB)" : " (network)");
}

void runCommand(sim::ScannerModel& model, const std::string& line) {
  std::istringstream in(line);
  std::string word, argument;
  in >> word >> argument;
  if (word.empty()) return;
  if (word == "list") {
    const auto list = model.pcList();
    std::printf("PC list: %zu of %u\n", list.size(), model.pcListCapacity());
    for (std::size_t i = 0; i < list.size(); ++i) std::printf("  %zu %s\n", i, entryText(list[i]).c_str());
  } else if (word == "press") {
    bool pressed;
    if (argument.empty()) {
      pressed = model.pressScanButton();
    } else if (std::all_of(argument.begin(), argument.end(), [](unsigned char c) { return std::isdigit(c); }) &&
               argument.size() < 6) {
      pressed = model.pressScanButtonAt(std::stoul(argument));
    } else {
      pressed = model.pressScanButton(argument);
    }
    if (pressed) {
      const monitor::FCL_RS_EVENT_INFO e = model.pendingEvent();
      std::printf("scan button pressed for %.36s\n", e.szPCUUID);
    } else {
      std::printf("no such PC-list entry (\"list\" shows them)\n");
    }
  } else {
    std::printf("commands: press [PCUUID | index], list\n");
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1";
  long port = sim::TcpScanner::kDefaultPort;
  sim::ScannerModel::Kind kind = sim::ScannerModel::Kind::Qmx7315w;
  bool refuseRemoteSetup = false;
  bool publish = false;
  std::string serial;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        usage(argv[0]);
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--address") {
      address = value();
    } else if (arg == "--port") {
      char* end = nullptr;
      port = std::strtol(value(), &end, 10);
      if (*end != '\0' || port < 0 || port > 65535) {
        std::fprintf(stderr, "invalid port\n");
        return 2;
      }
    } else if (arg == "--model") {
      const auto k = sim::ScannerModel::kindFromName(value());
      if (!k) {
        std::fprintf(stderr, "unknown model (qmx7315w or qmx7305)\n");
        return 2;
      }
      kind = *k;
    } else if (arg == "--refuse-remote-setup") {
      refuseRemoteSetup = true;
    } else if (arg == "--serial") {
      serial = value();
      // The scanner keeps it in a 24-byte field that ends with a NUL.
      if (serial.empty() || serial.size() > sim::ScannerModel::kMaxSerialLength) {
        std::fprintf(stderr, "invalid serial number (1 to 23 characters)\n");
        return 2;
      }
    } else if (arg == "--publish") {
      publish = true;
    } else if (arg == "--help" || arg == "-h") {
      usage(argv[0]);
      return 0;
    } else {
      usage(argv[0]);
      return 2;
    }
  }

  // The signals are taken by sigwait below; block them before any thread starts.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  sim::ScannerModel model(kind);
  model.setRefuseRemoteSetup(refuseRemoteSetup);
  model.setSerial(serial.empty() ? sim::ScannerModel::serialForAddress(kind, address) : serial);
  sim::TcpScanner scanner(model);
  scanner.log().setCapacity(0);  // the listener prints each command; nothing needs keeping
  scanner.log().setListener([](const sim::LoggedCommand& e) {
    std::printf("%s\n", sim::describe(e).c_str());
    std::fflush(stdout);
  });
  int err = 0;
  if (!scanner.start(address, static_cast<uint16_t>(port), &err)) {
    std::fprintf(stderr, "cannot listen on %s:%ld: %s\n", address.c_str(), port, std::strerror(err));
    return 1;
  }
  std::printf("%s simulator listening on %s:%u\n", model.modelName().c_str(), address.c_str(),
              static_cast<unsigned>(scanner.port()));
  std::fflush(stdout);
  const FCL_RS_PARAM_ALL block = model.paramAll();
  std::fprintf(stderr, "identifying text \"%s\", settings block %u.%u, scan count %u%s\n",
               model.serial().c_str(), block.dwStructVersion >> 16,
               block.dwStructVersion & 0xFFFFu, model.nvramWord(0),
               refuseRemoteSetup ? ", refusing remote setup" : "");

  // The reader stays blocked on standard input until the program ends.
  std::thread([&model] {
    std::string line;
    while (std::getline(std::cin, line)) runCommand(model, line);
  }).detach();

  if (publish) {
    serveAnnounced(argc, argv, model, scanner, signals);
  } else {
    int sig = 0;
    sigwait(&signals, &sig);
  }
  scanner.stop();
  std::printf("stopped\n");
  return 0;
}
