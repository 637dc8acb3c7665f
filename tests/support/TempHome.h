#pragma once
// Points HOME at a fresh temporary folder for the fixture's lifetime, so nothing a test does
// reaches the real home folder. The old value comes back afterwards.
#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class TempHome {
 public:
  TempHome();
  ~TempHome();
  QString path() const { return m_dir.path(); }
  // path() + "/" + relative, with the folders on the way created when makeParents is set.
  QString file(const QString& relative, bool makeParents = false) const;

 private:
  QTemporaryDir m_dir;
  QByteArray m_oldHome;
  bool m_hadHome = false;
};

class TempHomeTest : public ::testing::Test {
 protected:
  TempHome home;
};
