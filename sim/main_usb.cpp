// zerelta-scanner-sim-usb: runs a program with a simulated scanner plugged in on USB, for demos
// and manual testing of the USB-only QMX-7305 (the network simulator, zerelta-scanner-sim,
// serves TCP only).
//
//   zerelta-scanner-sim-usb [--model qmx7305|qmx7315w] -- PROGRAM [ARGUMENT...]
//
// The scanner, a whole one of the model chosen (default the QMX-7305; sim/ScannerModel.h), is
// presented as a USB device through umockdev (sim/UmockdevScanner.h). PROGRAM runs under
// umockdev's preload library, which shows it, and whatever it starts, this device in place of
// the computer's USB devices (and a /sys that holds nothing else); no other program sees it and
// nothing needs root. The scanner answers from this process, printing one line per command on
// standard output.
//
// It ends when PROGRAM ends, with PROGRAM's exit status (128 + the signal's number when a
// signal ended it). SIGINT, SIGTERM and SIGHUP sent to this process are passed on to PROGRAM
// (those of the terminal, Ctrl+C, reach PROGRAM by themselves). Status 2: a usage error; 127:
// PROGRAM could not be started.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ScannerModel.h"
#include "USB/UsbIds.h"
#include "UmockdevScanner.h"

extern char** environ;

namespace {

void usage(const char* argv0) {
  std::fprintf(stderr, "usage: %s [--model qmx7305|qmx7315w] -- PROGRAM [ARGUMENT...]\n", argv0);
}

// This process's environment with UMOCKDEV_DIR naming the testbed and umockdev's preload library
// first in LD_PRELOAD.
std::vector<std::string> programEnvironment(const std::string& testbed) {
  std::vector<std::string> env;
  std::string preload = "libumockdev-preload.so.0";
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("UMOCKDEV_DIR=", 0) == 0) continue;
    if (entry.rfind("LD_PRELOAD=", 0) == 0) {
      const std::string rest = entry.substr(std::strlen("LD_PRELOAD="));
      if (!rest.empty()) preload += ":" + rest;
      continue;
    }
    env.push_back(entry);
  }
  env.push_back("UMOCKDEV_DIR=" + testbed);
  env.push_back("LD_PRELOAD=" + preload);
  return env;
}

}  // namespace

int main(int argc, char** argv) {
  sim::ScannerModel::Kind kind = sim::ScannerModel::Kind::Qmx7305;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg == "--model" && i + 1 < argc) {
      const auto k = sim::ScannerModel::kindFromName(argv[++i]);
      if (!k) {
        std::fprintf(stderr, "unknown model (qmx7305 or qmx7315w)\n");
        return 2;
      }
      kind = *k;
    } else if (arg == "--help" || arg == "-h") {
      usage(argv[0]);
      return 0;
    } else {
      usage(argv[0]);
      return 2;
    }
  }
  if (i >= argc) {
    usage(argv[0]);
    return 2;
  }

  // The signals are taken below with sigtimedwait and passed on; they are blocked before the
  // scanner's threads start, and unblocked again in PROGRAM.
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  const uint16_t productId =
      kind == sim::ScannerModel::Kind::Qmx7305 ? usbids::kProductIdQMX7305 : usbids::kProductIdQMX7315W;
  sim::UmockdevScanner scanner(productId);
  scanner.log().setCapacity(0);  // the listener prints each command; nothing needs keeping
  scanner.log().setListener([](const sim::LoggedCommand& e) {
    std::printf("%s\n", sim::describe(e).c_str());
    std::fflush(stdout);
  });
  std::printf("%s simulator on USB (%04x:%04x), serial %s\n", scanner.model().modelName().c_str(),
              usbids::kScannerVendorId, productId, scanner.model().serial().c_str());
  std::fflush(stdout);

  const std::vector<std::string> env = programEnvironment(scanner.rootDir());
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &signals);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  const int err = posix_spawnp(&child, argv[i], nullptr, &attr, &argv[i], envp.data());
  posix_spawnattr_destroy(&attr);
  if (err != 0) {
    std::fprintf(stderr, "cannot start %s: %s\n", argv[i], std::strerror(err));
    return 127;
  }

  // Until PROGRAM ends: a signal a process sent is passed on (the terminal's went to PROGRAM,
  // which shares this process group, already); SIGCHLD, or a slice's end, looks whether it ended.
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child || (ended < 0 && errno != EINTR)) break;
    const timespec slice{0, 200 * 1000 * 1000};
    siginfo_t info{};
    const int sig = sigtimedwait(&signals, &info, &slice);
    if ((sig == SIGINT || sig == SIGTERM || sig == SIGHUP) && info.si_code <= 0) kill(child, sig);
  }
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
