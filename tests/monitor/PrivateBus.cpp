#include "PrivateBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <atomic>

PrivateBus::PrivateBus() {
  const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
  if (program.isEmpty()) {
    m_why = QStringLiteral("dbus-daemon is not installed (Debian package dbus)");
    return;
  }
  const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) {
    m_why = QStringLiteral("cannot write the bus configuration");
    return;
  }
  file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                            "<busconfig>\n"
                            "  <type>session</type>\n"
                            "  <listen>unix:path=%1</listen>\n"
                            "  <auth>EXTERNAL</auth>\n"
                            "  <policy context=\"default\">\n"
                            "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                            "    <allow eavesdrop=\"true\"/>\n"
                            "    <allow own=\"*\"/>\n"
                            "  </policy>\n"
                            "</busconfig>\n")
                 .arg(m_dir.filePath(QStringLiteral("bus")))
                 .toUtf8());
  file.close();
  m_daemon.setProgram(program);
  m_daemon.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                         QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
  m_daemon.start();
  if (!m_daemon.waitForStarted(10000)) {
    m_why = QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
    return;
  }
  QByteArray out;
  QElapsedTimer clock;
  clock.start();
  while (!out.contains('\n') && clock.elapsed() < 10000 && m_daemon.state() == QProcess::Running) {
    m_daemon.waitForReadyRead(200);
    out += m_daemon.readAllStandardOutput();
  }
  if (!out.contains('\n')) {
    m_why = QStringLiteral("dbus-daemon gave no address: ") + QString::fromLocal8Bit(m_daemon.readAllStandardError());
    return;
  }
  m_address = QString::fromUtf8(out.left(out.indexOf('\n'))).trimmed();
}

PrivateBus::~PrivateBus() {
  for (const QString& name : m_names) QDBusConnection::disconnectFromBus(name);
  if (m_daemon.state() != QProcess::NotRunning) {
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
      m_daemon.kill();
      m_daemon.waitForFinished(5000);
    }
  }
}

QDBusConnection PrivateBus::connect() {
  static std::atomic<int> counter{0};
  const QString name = QStringLiteral("zr-test-bus-%1").arg(++counter);
  m_names.append(name);
  return QDBusConnection::connectToBus(m_address, name);
}

void PrivateBus::kill() {
  if (m_daemon.state() == QProcess::NotRunning) return;
  m_daemon.kill();
  m_daemon.waitForFinished(5000);
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limit.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}
