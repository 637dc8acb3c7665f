#pragma once
// The entry and exit lines every operation of the main window writes at level 1:
// ">>>>> ViewController::<name> ENTER" when it starts and "<<<<< ViewController::<name> END \n "
// when it ends (also on an early return).

#include <QString>

#include "Model/Utilities.h"

class ViewControllerTrace {
 public:
  ViewControllerTrace(Utilities& ut, const char* name) : m_ut(ut), m_name(QString::fromLatin1(name)) {
    m_ut.debugMsg2(1, QStringLiteral(">>>>> ViewController::") + m_name + QStringLiteral(" ENTER"));
  }
  ~ViewControllerTrace() {
    m_ut.debugMsg2(1, QStringLiteral("<<<<< ViewController::") + m_name + QStringLiteral(" END \n "));
  }
  ViewControllerTrace(const ViewControllerTrace&) = delete;
  ViewControllerTrace& operator=(const ViewControllerTrace&) = delete;

 private:
  Utilities& m_ut;
  QString m_name;
};
