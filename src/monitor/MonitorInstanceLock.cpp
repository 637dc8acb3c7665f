#include "monitor/MonitorInstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isOwnFolder(const QString& folder) {
  if (folder.isEmpty() || QDir::isRelativePath(folder)) return false;
  struct stat st {};
  return ::stat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

}  // namespace

MonitorInstanceLock::~MonitorInstanceLock() {
  if (m_fd >= 0) ::close(m_fd);
}

MonitorInstanceLock::Result MonitorInstanceLock::takeIn(const QString& folder, const QString& program) {
  m_path = folder + QLatin1Char('/') + program + QStringLiteral(".lock");
  const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return Result::Unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
  }
  m_fd = fd;
  return Result::Taken;
}

MonitorInstanceLock::Result MonitorInstanceLock::take(const QString& program, const QString& runtimeDir,
                                                      const QString& fallbackDir) {
  if (m_fd >= 0) return Result::Taken;
  if (isOwnFolder(runtimeDir)) {
    const Result r = takeIn(runtimeDir, program);
    if (r != Result::Unavailable) return r;
  }
  if (fallbackDir.isEmpty()) return Result::Unavailable;
  if (!QFileInfo::exists(fallbackDir)) {
    QDir().mkpath(fallbackDir);
    ::chmod(QFile::encodeName(fallbackDir).constData(), 0700);
  }
  if (!isOwnFolder(fallbackDir)) return Result::Unavailable;
  return takeIn(fallbackDir, program);
}
