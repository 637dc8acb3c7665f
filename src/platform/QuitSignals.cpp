#include "platform/QuitSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the current object's pipe; -1 when there is none.
volatile sig_atomic_t g_writeEnd = -1;

void onSignal(int signalNumber) {
  const int saved = errno;
  const int fd = g_writeEnd;
  if (fd >= 0) {
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request: dropping this one loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    m_pipe[0] = m_pipe[1] = -1;
    return;
  }
  g_writeEnd = m_pipe[1];
  m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readPipe);

  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &m_previous[i]);
}

QuitSignals::~QuitSignals() {
  if (m_notifier == nullptr) return;
  for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &m_previous[i], nullptr);
  g_writeEnd = -1;
  ::close(m_pipe[0]);
  ::close(m_pipe[1]);
}

void QuitSignals::readPipe() {
  unsigned char bytes[16];
  ssize_t n;
  while ((n = ::read(m_pipe[0], bytes, sizeof bytes)) > 0) {
    for (ssize_t i = 0; i < n; ++i) emit requested(bytes[i]);
  }
}

}  // namespace platform
