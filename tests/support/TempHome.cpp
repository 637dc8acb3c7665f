#include "support/TempHome.h"

#include <QFileInfo>

TempHome::TempHome() {
  m_hadHome = qEnvironmentVariableIsSet("HOME");
  m_oldHome = qgetenv("HOME");
  EXPECT_TRUE(m_dir.isValid());
  qputenv("HOME", m_dir.path().toLocal8Bit());
}

TempHome::~TempHome() {
  if (m_hadHome) qputenv("HOME", m_oldHome);
  else qunsetenv("HOME");
}

QString TempHome::file(const QString& relative, bool makeParents) const {
  const QString p = m_dir.path() + u'/' + relative;
  if (makeParents) QDir().mkpath(QFileInfo(p).absolutePath());
  return p;
}
