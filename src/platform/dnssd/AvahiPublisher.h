#pragma once
// Publishes one service through the Avahi daemon (an entry group), run from the Qt event loop.
// The scanner simulator uses it to announce itself; the programs only browse.
//
// What is published: the service (name, type, domain, port, TXT record) on one interface or on
// all; when `hostName` and `address` are given, also an address record for that host on the same
// interface (IPv4, without the reverse record), and the service then names that host. Without
// them the service names the daemon's own host.
//
// The daemon confirms a publication after probing the names (about a second). A name that is
// already taken by someone else (a collision) is replaced by Avahi's next alternative ("X #2",
// host "zerelta-sim-2.local") and published again; publishedName() tells the name in use.
//
// No daemon: publish() answers false and error() says why; a daemon that goes away later makes
// the state Failed. Main thread only, with the Qt event loop served.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "platform/dnssd/AvahiQtPoll.h"
#include "platform/dnssd/Dnssd.h"

struct AvahiClient;
struct AvahiEntryGroup;

namespace platform {

class AvahiPublisher {
 public:
  struct Registration {
    QString name;            // instance name
    QString type;            // "_scanner._tcp" (a trailing dot is allowed)
    QString domain;          // empty: "local"
    quint16 port = 0;
    TxtRecord txt;           // a null value publishes the key alone ("key"), an empty one "key="
    int interfaceIndex = -1; // if_nametoindex numbering; -1 every interface
    QString hostName;        // e.g. "zerelta-sim.local"; empty: the daemon's host
    QString address;         // IPv4 text of hostName; used only with hostName
  };

  enum class State {
    Idle,         // nothing published (before publish(), after withdraw())
    Registering,  // handed to the daemon, not yet confirmed
    Established,  // announced
    Failed,       // gave up: error() says why
  };
  // Called from the event loop on each change of state (never inside publish() or withdraw()).
  using StateCallback = std::function<void(State state, const QString& detail)>;

  AvahiPublisher();
  ~AvahiPublisher();  // withdraws
  AvahiPublisher(const AvahiPublisher&) = delete;
  AvahiPublisher& operator=(const AvahiPublisher&) = delete;

  // Connects to the daemon and hands it the registration (replacing any earlier one). False
  // when no daemon answers or the registration is malformed (bad address, empty name); error()
  // says why and the state is Failed.
  bool publish(const Registration& registration);
  // Takes the service off the network and closes the connection.
  void withdraw();

  State state() const { return m_state; }
  QString error() const { return m_error; }
  // The names in use (they change after a collision).
  QString publishedName() const { return m_registration.name; }
  QString publishedHostName() const { return m_registration.hostName; }

  void setStateCallback(StateCallback callback) { m_callback = std::move(callback); }

 private:
  struct Callbacks;
  friend struct Callbacks;

  bool addEntries();
  void rename();
  void setState(State state, const QString& detail);
  void fail(const QString& why);

  std::unique_ptr<AvahiQtPoll> m_poll;
  AvahiClient* m_client = nullptr;
  AvahiEntryGroup* m_group = nullptr;
  Registration m_registration;
  State m_state = State::Idle;
  int m_renames = 0;
  QString m_error;
  StateCallback m_callback;
  std::unique_ptr<QObject> m_context;  // queued state reports die with the publisher
};

}  // namespace platform
