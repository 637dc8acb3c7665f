#include "SimProgram.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

SimProgram::~SimProgram() { stop(); }

bool SimProgram::start(const QString& program, const QStringList& arguments) {
  m_process.start(program, arguments);
  if (!m_process.waitForStarted(10000)) return false;
  QDeadlineTimer deadline(10000);
  while (!m_process.canReadLine() && m_process.state() == QProcess::Running && !deadline.hasExpired())
    m_process.waitForReadyRead(50);
  if (!m_process.canReadLine()) return false;
  // "QMX-7315W simulator listening on 127.0.0.N:PORT"
  const QString first = QString::fromUtf8(m_process.readLine()).trimmed();
  m_port = first.section(':', -1).toUShort();
  return first.contains(QLatin1String(" listening on ")) && m_port != 0;
}

int SimProgram::stop() {
  if (m_process.state() == QProcess::NotRunning) return -1;
  m_process.terminate();
  if (m_process.waitForFinished(10000)) return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
  m_process.kill();
  m_process.waitForFinished();
  return -1;
}

QString SimProgram::standardError() {
  m_stderr += QString::fromUtf8(m_process.readAllStandardError());
  return m_stderr;
}
