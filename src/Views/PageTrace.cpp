#include "Views/PageTrace.h"

#include "Model/Utilities.h"

PageTrace::PageTrace(int brackets, QString endTail)
    : ut(Utilities::sharedInstance()),
      m_enterFormat(QString(brackets, u'>') + QStringLiteral(" %@ ENTER")),
      m_endFormat(QString(brackets, u'<') + QStringLiteral(" %@ END ") + endTail) {}

void PageTrace::enter(const QString& name) const { ut.debugMsg(kTraceLevel, m_enterFormat, name); }

void PageTrace::end(const QString& name) const { ut.debugMsg(kTraceLevel, m_endFormat, name); }

void PageTrace::err(const QString& name, const QString& message) const {
  ut.debugMsg(kErrorLevel, QStringLiteral("========= %@ ERROR: %@\n"), name, message);
}

QString PageTrace::operationName(const char* className, const char* selector) {
  return QStringLiteral("-[%1 %2]").arg(QLatin1String(className), QLatin1String(selector));
}
