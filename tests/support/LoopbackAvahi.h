#pragma once
// A private Avahi daemon limited to the loopback interface, on a private D-Bus system bus
// (scripts/avahi-loopback does the work).
//
// While it runs, DBUS_SYSTEM_BUS_ADDRESS of this process points at the private bus, so every
// Avahi client made here (and every program started from here) talks to the private daemon.
// libdbus takes that variable once, at the process's first system-bus connection, so a process
// has one such daemon: shared() starts it on first use, before the test connects anywhere, and
// stops it when the process exits. It is also stopped when the process ends in any other way
// (the script watches the process). A daemon of the machine's own, if any, is not touched.
//
//   LoopbackAvahi& avahi = LoopbackAvahi::shared();
//   ZR_REQUIRE_LOOPBACK_AVAHI(avahi);  // skips the test where it cannot run, fails where it broke
//
// Plain C++ and POSIX (no Qt), so it can stop the daemons after the application object is gone.
#include <string>

class LoopbackAvahi {
 public:
  enum class Status {
    Running,
    Unavailable,  // cannot run on this machine (not root, daemons not installed): skip
    Failed,       // should have run but did not start: a fault
  };

  // The process's daemon, started on the first call.
  static LoopbackAvahi& shared();

  LoopbackAvahi();   // starts the daemons
  ~LoopbackAvahi();  // stops them and removes their folder
  LoopbackAvahi(const LoopbackAvahi&) = delete;
  LoopbackAvahi& operator=(const LoopbackAvahi&) = delete;

  Status status() const { return m_status; }
  // Why it does not run (the script's own words).
  const std::string& message() const { return m_message; }
  const std::string& busAddress() const { return m_address; }
  const std::string& directory() const { return m_dir; }

  // The script that starts and stops the daemons.
  static std::string script();

 private:
  std::string m_dir;
  Status m_status = Status::Failed;
  std::string m_message;
  std::string m_address;
};

#define ZR_REQUIRE_LOOPBACK_AVAHI(avahi)                                                       \
  do {                                                                                         \
    if ((avahi).status() == LoopbackAvahi::Status::Unavailable)                                \
      GTEST_SKIP() << "no private Avahi daemon here: " << (avahi).message();                   \
    ASSERT_EQ((avahi).status(), LoopbackAvahi::Status::Running) << (avahi).message();          \
  } while (0)
