#include "monitor/MonitorInstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
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

MonitorInstanceLock::~MonitorInstanceLock() { release(); }

void MonitorInstanceLock::release() {
  for (int* fd : {&m_runtimeFd, &m_homeFd}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

MonitorInstanceLock::Result MonitorInstanceLock::takeIn(const QString& folder, const QString& fileName, int& fd) {
  m_path = folder + QLatin1Char('/') + fileName;
  const int opened = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (opened < 0) return Result::Unavailable;
  if (::flock(opened, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(opened);
    return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
  }
  fd = opened;
  return Result::Taken;
}

MonitorInstanceLock::Result MonitorInstanceLock::take(const QString& program, const QString& runtimeDir,
                                                      const QString& homeDir) {
  if (held()) return Result::Taken;
  if (isOwnFolder(runtimeDir) &&
      takeIn(runtimeDir, program + QStringLiteral(".lock"), m_runtimeFd) == Result::HeldElsewhere)
    return Result::HeldElsewhere;
  if (!homeDir.isEmpty()) {
    if (!QFileInfo::exists(homeDir)) {
      QDir().mkpath(homeDir);
      ::chmod(QFile::encodeName(homeDir).constData(), 0700);
    }
    QString host = QSysInfo::machineHostName();
    host.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString fileName = program + (host.isEmpty() ? QString() : QLatin1Char('@') + host) + QStringLiteral(".lock");
    if (isOwnFolder(homeDir) && takeIn(homeDir, fileName, m_homeFd) == Result::HeldElsewhere) {
      release();
      return Result::HeldElsewhere;
    }
  }
  return held() ? Result::Taken : Result::Unavailable;
}
