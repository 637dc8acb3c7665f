#include "platform/dnssd/AvahiPublisher.h"

#include <QMetaObject>

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/address.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>

namespace platform {

namespace {

QString avahiText(int error) { return QStringLiteral("Avahi: %1").arg(QString::fromUtf8(avahi_strerror(error))); }

// Renaming after collisions stops after this many tries.
constexpr int kMaxRenames = 100;

QString alternative(char* (*next)(const char*), const QString& name) {
  char* s = next(name.toUtf8().constData());
  const QString result = QString::fromUtf8(s ? s : "");
  avahi_free(s);
  return result;
}

}  // namespace

struct AvahiPublisher::Callbacks {
  static void client(AvahiClient* c, AvahiClientState state, void* userdata) {
    auto* self = static_cast<AvahiPublisher*>(userdata);
    if (!self->m_client) self->m_client = c;  // the first call comes from inside avahi_client_new()
    switch (state) {
      case AVAHI_CLIENT_S_RUNNING:
        self->addEntries();
        break;
      case AVAHI_CLIENT_S_COLLISION:
      case AVAHI_CLIENT_S_REGISTERING:
        // The daemon's own host name is being (re)established: ours are published again after.
        if (self->m_group) avahi_entry_group_reset(self->m_group);
        if (self->m_state != State::Registering) self->setState(State::Registering, {});
        break;
      case AVAHI_CLIENT_FAILURE:
        self->fail(avahiText(avahi_client_errno(c)));
        break;
      case AVAHI_CLIENT_CONNECTING:
        break;
    }
  }

  static void group(AvahiEntryGroup* g, AvahiEntryGroupState state, void* userdata) {
    auto* self = static_cast<AvahiPublisher*>(userdata);
    if (!self->m_group) self->m_group = g;
    switch (state) {
      case AVAHI_ENTRY_GROUP_ESTABLISHED:
        self->setState(State::Established, self->m_registration.name);
        break;
      case AVAHI_ENTRY_GROUP_COLLISION:
        self->rename();
        break;
      case AVAHI_ENTRY_GROUP_FAILURE:
        self->fail(avahiText(avahi_client_errno(avahi_entry_group_get_client(g))));
        break;
      case AVAHI_ENTRY_GROUP_UNCOMMITED:
      case AVAHI_ENTRY_GROUP_REGISTERING:
        break;
    }
  }
};

AvahiPublisher::AvahiPublisher() : m_poll(std::make_unique<AvahiQtPoll>()), m_context(std::make_unique<QObject>()) {}

AvahiPublisher::~AvahiPublisher() {
  m_context.reset();  // no state reports from here on
  if (m_group) avahi_entry_group_free(m_group);
  if (m_client) avahi_client_free(m_client);
  m_group = nullptr;
  m_client = nullptr;
  m_poll.reset();
}

void AvahiPublisher::setState(State state, const QString& detail) {
  m_state = state;
  QMetaObject::invokeMethod(
      m_context.get(),
      [this, state, detail]() {
        if (m_callback) m_callback(state, detail);
      },
      Qt::QueuedConnection);
}

void AvahiPublisher::fail(const QString& why) {
  m_error = why;
  if (m_state != State::Failed) setState(State::Failed, why);
  // The connection is closed from the loop, not inside one of its own callbacks.
  AvahiClient* client = m_client;
  QMetaObject::invokeMethod(
      m_context.get(),
      [this, client]() {
        if (!client || m_client != client || m_state != State::Failed) return;
        if (m_group) avahi_entry_group_free(m_group);
        avahi_client_free(m_client);
        m_group = nullptr;
        m_client = nullptr;
      },
      Qt::QueuedConnection);
}

bool AvahiPublisher::publish(const Registration& registration) {
  withdraw();
  m_error.clear();
  Registration r = registration;
  r.type = withoutTrailingDot(r.type);
  r.domain = withoutTrailingDot(r.domain);
  r.hostName = withoutTrailingDot(r.hostName);
  if (r.hostName.isEmpty()) r.address.clear();
  if (r.name.isEmpty() || r.type.isEmpty()) {
    m_error = QStringLiteral("a service needs a name and a type");
    m_state = State::Failed;
    return false;
  }
  AvahiAddress a;
  if (!r.address.isEmpty() && !avahi_address_parse(r.address.toUtf8().constData(), AVAHI_PROTO_INET, &a)) {
    m_error = QStringLiteral("not an IPv4 address: %1").arg(r.address);
    m_state = State::Failed;
    return false;
  }
  m_registration = r;
  m_renames = 0;
  m_state = State::Registering;

  int error = AVAHI_OK;
  AvahiClient* client =
      avahi_client_new(m_poll->api(), static_cast<AvahiClientFlags>(0), &Callbacks::client, this, &error);
  if (!client) {
    m_client = nullptr;
    m_group = nullptr;
    m_error = QStringLiteral("no Avahi daemon answers (%1)").arg(QString::fromUtf8(avahi_strerror(error)));
    m_state = State::Failed;
    return false;
  }
  m_client = client;
  if (m_state == State::Failed) return false;  // addEntries() refused it from inside the call
  return true;
}

void AvahiPublisher::withdraw() {
  const bool wasPublished = m_client != nullptr;
  if (m_group) avahi_entry_group_free(m_group);
  if (m_client) avahi_client_free(m_client);
  m_group = nullptr;
  m_client = nullptr;
  if (wasPublished && m_state != State::Idle) setState(State::Idle, {});
  m_state = State::Idle;
}

bool AvahiPublisher::addEntries() {
  if (!m_client) return false;
  if (!m_group) {
    m_group = avahi_entry_group_new(m_client, &Callbacks::group, this);
    if (!m_group) {
      fail(avahiText(avahi_client_errno(m_client)));
      return false;
    }
  }
  if (!avahi_entry_group_is_empty(m_group)) return true;

  const Registration& r = m_registration;
  const AvahiIfIndex iface = r.interfaceIndex < 0 ? AVAHI_IF_UNSPEC : r.interfaceIndex;
  const bool ownHost = !r.hostName.isEmpty();
  const bool withAddress = ownHost && !r.address.isEmpty();
  // An IPv4 address record: announce the service over IPv4 only, where its host resolves.
  const AvahiProtocol proto = withAddress ? AVAHI_PROTO_INET : AVAHI_PROTO_UNSPEC;
  const QByteArray host = r.hostName.toUtf8(), name = r.name.toUtf8(), type = r.type.toUtf8(),
                   domain = r.domain.toUtf8();

  int ret = AVAHI_OK;
  if (withAddress) {
    AvahiAddress a;
    avahi_address_parse(r.address.toUtf8().constData(), AVAHI_PROTO_INET, &a);
    ret = avahi_entry_group_add_address(m_group, iface, AVAHI_PROTO_INET, AVAHI_PUBLISH_NO_REVERSE,
                                        host.constData(), &a);
  }
  if (ret == AVAHI_OK) {
    AvahiStringList* txt = nullptr;
    for (auto it = r.txt.cbegin(); it != r.txt.cend(); ++it) {
      const QByteArray key = it.key().toUtf8();
      txt = it.value().isNull()
                ? avahi_string_list_add(txt, key.constData())
                : avahi_string_list_add_pair_arbitrary(txt, key.constData(),
                                                       reinterpret_cast<const uint8_t*>(it.value().constData()),
                                                       static_cast<size_t>(it.value().size()));
    }
    txt = avahi_string_list_reverse(txt);  // in key order on the wire
    ret = avahi_entry_group_add_service_strlst(m_group, iface, proto, static_cast<AvahiPublishFlags>(0),
                                               name.constData(), type.constData(),
                                               domain.isEmpty() ? nullptr : domain.constData(),
                                               ownHost ? host.constData() : nullptr, r.port, txt);
    avahi_string_list_free(txt);
  }
  if (ret == AVAHI_ERR_COLLISION) {
    rename();
    return true;
  }
  if (ret == AVAHI_OK) ret = avahi_entry_group_commit(m_group);
  if (ret != AVAHI_OK) {
    fail(avahiText(ret));
    return false;
  }
  if (m_state != State::Registering) setState(State::Registering, {});
  return true;
}

void AvahiPublisher::rename() {
  if (++m_renames > kMaxRenames) {
    fail(QStringLiteral("no free name after %1 renames").arg(kMaxRenames));
    return;
  }
  m_registration.name = alternative(avahi_alternative_service_name, m_registration.name);
  if (!m_registration.hostName.isEmpty()) {
    const qsizetype dot = m_registration.hostName.indexOf(u'.');
    const QString label = dot < 0 ? m_registration.hostName : m_registration.hostName.left(dot);
    const QString rest = dot < 0 ? QString() : m_registration.hostName.mid(dot);
    m_registration.hostName = alternative(avahi_alternative_host_name, label) + rest;
  }
  if (m_group) avahi_entry_group_reset(m_group);
  addEntries();
}

}  // namespace platform
