// zerelta-scanner-sim: a simulated scanner on the network, for demos and manual testing.
//
//   zerelta-scanner-sim [--address A] [--port P] [--model qmx7315w|qmx7305] [--refuse-remote-setup]
//
// Binds only the address given (default 127.0.0.1), port 5566 unless told otherwise (0: any free
// port; the first line printed names the one bound), and serves until SIGINT or SIGTERM, printing
// one line per command.
//
// The scanner served is a whole one of the model chosen (sim/ScannerModel.h): a 0.57 settings
// block set up with names and documentation addresses, contacts, scan profiles, SFTP keys,
// counters, the lock and the resets. --refuse-remote-setup makes it answer every lock command
// with the firmware's refusal of remote setup (0x7007). What it serves is described on stderr.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>

#include "ScannerModel.h"
#include "TcpScanner.h"

namespace {

void usage(const char* argv0) {
  std::fprintf(stderr, "usage: %s [--address A] [--port P] [--model qmx7315w|qmx7305] [--refuse-remote-setup]\n",
               argv0);
}

const char* opcodeName(uint8_t op) {
  switch (op) {
    case FOP_INQUIRY: return "INQUIRY";
    case FOP_COMMAND: return "COMMAND";
    case FOP_READ: return "READ";
    case FOP_WRITE: return "WRITE";
    case FOP_WRITE2: return "WRITE2";
    default: return "?";
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1";
  long port = sim::TcpScanner::kDefaultPort;
  sim::ScannerModel::Kind kind = sim::ScannerModel::Kind::Qmx7315w;
  bool refuseRemoteSetup = false;

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
  sim::TcpScanner scanner(model);
  scanner.log().setCapacity(0);  // the listener prints each command; nothing needs keeping
  scanner.log().setListener([](const sim::LoggedCommand& e) {
    std::printf("opcode 0x%02X (%s) class 0x%02X qualifier %u length %u%s\n", e.cmd.byOPCode,
                opcodeName(e.cmd.byOPCode), e.cmd.byDTC, static_cast<unsigned>(e.cmd.wDTQ),
                static_cast<unsigned>(e.cmd.dwDataLength), e.completed ? "" : " (incomplete)");
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
  const sim::Bytes ident = model.nvram(104, 24);
  const FCL_RS_PARAM_ALL block = model.paramAll();
  std::fprintf(stderr, "identifying text \"%.24s\", settings block %u.%u, scan count %u%s\n",
               reinterpret_cast<const char*>(ident.data()), block.dwStructVersion >> 16,
               block.dwStructVersion & 0xFFFFu, model.nvramWord(0),
               refuseRemoteSetup ? ", refusing remote setup" : "");

  int sig = 0;
  sigwait(&signals, &sig);
  scanner.stop();
  std::printf("stopped\n");
  return 0;
}
