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
  const QString runtimeUnusable = unusableFolder(runtimeDir);
  if (!runtimeUnusable.isEmpty()) {
    why << QStringLiteral("runtime folder: ") + runtimeUnusable;
  } else {
    m_why.clear();
    const Result result = takeIn(runtimeDir, program + QStringLiteral(".lock"), m_runtimeFd);
    if (result == Result::HeldElsewhere) return Result::HeldElsewhere;
    if (result == Result::Unavailable) why << QStringLiteral("runtime folder: ") + m_why;
  }
  if (!homeDir.isEmpty() && !QFileInfo::exists(homeDir)) {
    QDir().mkpath(homeDir);
    ::chmod(QFile::encodeName(homeDir).constData(), 0700);
  }
  const QString homeUnusable = unusableFolder(homeDir);
  if (!homeUnusable.isEmpty()) {
    why << QStringLiteral("home folder: ") + homeUnusable;
  } else {
    QString host = QSysInfo::machineHostName();
    host.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString fileName = program + (host.isEmpty() ? QString() : QLatin1Char('@') + host) + QStringLiteral(".lock");
    m_why.clear();
    const Result result = takeIn(homeDir, fileName, m_homeFd);
    if (result == Result::HeldElsewhere) {
      release();
      return Result::HeldElsewhere;
    }
    if (result == Result::Unavailable) why << QStringLiteral("home folder: ") + m_why;
  }
  m_why = why.join(QStringLiteral("; "));
  return held() ? Result::Taken : Result::Unavailable;
}
