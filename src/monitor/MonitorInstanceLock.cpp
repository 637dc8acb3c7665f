#include "monitor/MonitorInstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Why `folder` cannot hold the lock, or empty when it is an absolute folder owned by this user.
QString unusableFolder(const QString& folder) {
  if (folder.isEmpty()) return QStringLiteral("none given");
  if (QDir::isRelativePath(folder)) return QStringLiteral("\"%1\" is not an absolute path").arg(folder);
  struct stat st {};
  if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
    return QStringLiteral("\"%1\": %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
  if (!S_ISDIR(st.st_mode)) return QStringLiteral("\"%1\" is not a folder").arg(folder);
  if (st.st_uid != ::getuid()) return QStringLiteral("\"%1\" belongs to another user").arg(folder);
  return QString();
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
  if (opened < 0) {
    m_why = QStringLiteral("\"%1\" cannot be opened: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
    return Result::Unavailable;
  }
  if (::flock(opened, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(opened);
    if (error == EWOULDBLOCK) return Result::HeldElsewhere;
    m_why = QStringLiteral("\"%1\" cannot be locked: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(error)));
    return Result::Unavailable;
  }
  fd = opened;
  return Result::Taken;
}

MonitorInstanceLock::Result MonitorInstanceLock::take(const QString& program, const QString& runtimeDir,
                                                      const QString& homeDir) {
  if (held()) return Result::Taken;
  QStringList why;
  // One place: its folder must be usable and its file lockable; what stops it goes into `why`.
  const auto tryFolder = [&](const char* place, const QString& folder, const QString& fileName, int& fd) {
    QString unusable = unusableFolder(folder);
    if (unusable.isEmpty()) {
      m_why.clear();
      const Result result = takeIn(folder, fileName, fd);
      if (result != Result::Unavailable) return result;
      unusable = m_why;
    }
    why << QLatin1String(place) + QStringLiteral(" folder: ") + unusable;
    return Result::Unavailable;
  };
  if (tryFolder("runtime", runtimeDir, program + QStringLiteral(".lock"), m_runtimeFd) == Result::HeldElsewhere)
    return Result::HeldElsewhere;
  if (!homeDir.isEmpty() && !QFileInfo::exists(homeDir)) {
    QDir().mkpath(homeDir);
    ::chmod(QFile::encodeName(homeDir).constData(), 0700);
  }
  QString host = QSysInfo::machineHostName();
  host.replace(QLatin1Char('/'), QLatin1Char('_'));
  const QString fileName = program + (host.isEmpty() ? QString() : QLatin1Char('@') + host) + QStringLiteral(".lock");
  if (tryFolder("home", homeDir, fileName, m_homeFd) == Result::HeldElsewhere) {
    release();
    return Result::HeldElsewhere;
  }
  m_why = why.join(QStringLiteral("; "));
  return held() ? Result::Taken : Result::Unavailable;
}
