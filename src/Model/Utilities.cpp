#include "Model/Utilities.h"

#include <QRegularExpression>

#include "platform/Dialogs.h"
#include "platform/SerialQueue.h"
#include "platform/SystemLog.h"

using platform::Localizer;

Utilities& Utilities::sharedInstance() {
  static Utilities* instance = new Utilities();  // magic statics: initialised once, thread-safe
  return *instance;
}

bool Utilities::message(const QString& message, const QString& information, bool hasCancel) {
  platform::AlertSpec spec;
  spec.message = message;
  spec.information = information;
  spec.buttons << Localizer::text(QStringLiteral("IDS_RS_OK"));
  if (hasCancel) spec.buttons << Localizer::text(QStringLiteral("IDS_RS_CANCEL"));
  spec.style = platform::AlertSpec::Style::Warning;
  // Shown on the GUI thread whichever thread asks (the import's readers run on a queue).
  return platform::onMainThread([&spec] { return platform::dialogs().runAlert(spec); }).button == 0;
}

uint32_t Utilities::messageImportExport(const QString& message, const QString& information) {
  platform::AlertSpec spec;
  spec.message = message;
  spec.information = information;
  spec.buttons << Localizer::text(QStringLiteral("IDS_RS_CANCEL")) << Localizer::text(QStringLiteral("IDS_EID_START"));
  spec.suppressionTitle = Localizer::text(QStringLiteral("IDS_EID_QUICKDIALONLY"));
  spec.cancelButton = 0;
  const platform::AlertAnswer answer = platform::onMainThread([&spec] { return platform::dialogs().runAlert(spec); });
  if (answer.button == 0) return 0;
  return answer.suppressionOn ? 2 : 1;
}

void Utilities::debugMsg2(int32_t level, const QString& text) {
  if ((level & nDebugMask()) == 0) return;
  platform::systemLog(text);
}

QString Utilities::stripRemoveSpecialWordFrom(const QString& text) {
  QString result = text;
  result.remove(u'&');
  result.remove(u'>');
  result.remove(u'<');
  return result;
}

QString Utilities::stripRemovePointFrom(const QString& text) {
  QString result = text;
  result.remove(u'.');
  return result;
}

namespace {

// Whole-text match, as a "SELF MATCHES" predicate does.
bool matchesWhole(const QString& pattern, const QString& text) {
  const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
  return re.match(text).hasMatch();
}

const QString& nodeNamePattern() {
  // The stored pattern carries the control character U+0013 inside its character class.
  static const QString p = QStringLiteral("^[A-Za-z]+[A-Za-z0-9") + QChar(0x13) + QStringLiteral("-]*$");
  return p;
}

}  // namespace

bool Utilities::validateNodeName(const QString& text) {
  if (text.isEmpty()) return true;
  return matchesWhole(nodeNamePattern(), text);
}

bool Utilities::validateEmail(const QString& text) {
  if (text.isEmpty()) return true;
  return matchesWhole(QStringLiteral(R"(^[A-Z0-9a-z\._-]+@([A-Za-z0-9-]+\.)+([A-Za-z]{2,4})+$)"), text);
}

bool Utilities::validateFileName(const QString& text) {
  return matchesWhole(QStringLiteral("^[A-Za-z0-9_-]+$"), text);
}

bool Utilities::validateDigitNum(const QString& text) { return matchesWhole(QStringLiteral("^[1-6]$"), text); }

bool Utilities::validateInitNum(const QString& text) {
  return matchesWhole(QStringLiteral("^(?:0|[1-9][0-9]{0,5})$"), text);
}

bool Utilities::validateHostAddr(const QString& text) {
  return matchesWhole(QStringLiteral(R"(^[A-Za-z0-9\.\-/\\]+$)"), text);
}

bool Utilities::checkPassword(const QString& password, const QString& confirm, int32_t atLeast) {
  const QString warning = Localizer::text(QStringLiteral("IDS_CM_WARNING"));
  const QString emptyFormat = Localizer::text(QStringLiteral("IDS_CANNOT_EMPTY_ERR_MSG"));
  if (password.isEmpty()) {
    const QString name = Localizer::text(QStringLiteral("IDS_PF_PASSWORD"));
    message(warning, platform::formatText(emptyFormat, {name, name}), false);
    return false;
  }
  if (confirm.isEmpty()) {
    const QString name = Localizer::text(QStringLiteral("IDS_PF_RETYPE_PASSWORD"));
    message(warning, platform::formatText(emptyFormat, {name, name}), false);
    return false;
  }
  if (password.size() < atLeast) {
    message(warning, platform::formatText(Localizer::text(QStringLiteral("IDS_PI_TOO_SHORT_MSG")), {atLeast}), false);
    return false;
  }
  if (password == confirm) return true;
  message(warning, Localizer::text(QStringLiteral("IDS_PI_ERROR_MSG")), false);
  return false;
}
