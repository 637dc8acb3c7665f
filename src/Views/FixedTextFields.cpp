#include "Views/FixedTextFields.h"

#include <QLineEdit>
#include <algorithm>
#include <cstring>

#include "Model/Utilities.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"

namespace {

qsizetype utf8Size(const QString& text) { return text.toUtf8().size(); }

}  // namespace

void FixedTextFields::add(QLineEdit* control, std::size_t fieldSize, const char* nameKey) {
  Entry& e = m_entries[control];
  e.capacity = fieldSize > 0 ? static_cast<int>(fieldSize - 1) : 0;
  e.nameKey = nameKey;
  if (!m_order.contains(control)) m_order.append(control);
}

void FixedTextFields::showBytes(QLineEdit* control, const char* field, std::size_t n) {
  Entry& e = m_entries[control];
  e.source = field;
  e.bytes = QByteArray(field, static_cast<qsizetype>(n));
  e.shown = platform::textFromField(field, n);
  e.accepted = e.shown;
  e.filled = true;
  control->setText(e.shown);
}

void FixedTextFields::storeBytes(const QLineEdit* control, char* field, std::size_t n) const {
  const QString text = control->text();
  const auto it = m_entries.constFind(control);
  if (it == m_entries.constEnd()) {
    platform::textToField(field, n, text);
    return;
  }
  const Entry& e = it.value();
  if (e.filled && text == e.shown && e.source == field && static_cast<std::size_t>(e.bytes.size()) == n) {
    std::memcpy(field, e.bytes.constData(), n);
    return;
  }
  // A text that does not fit is never cut into another one; the error check refuses it first.
  if (utf8Size(text) > std::min<qsizetype>(e.capacity, static_cast<qsizetype>(n) - 1)) return;
  platform::textToField(field, n, text);
}

void FixedTextFields::setText(QLineEdit* control, const QString& text) {
  control->setText(text);
  if (const auto it = m_entries.find(control); it != m_entries.end()) it->accepted = text;
}

bool FixedTextFields::acceptTyping(QLineEdit* control) {
  const auto it = m_entries.find(control);
  if (it == m_entries.end()) return true;
  Entry& e = it.value();
  const QString text = control->text();
  const qsizetype size = utf8Size(text);
  // Shorter than it was is always taken, so a stored text longer than the field (shown from a
  // field without a NUL, or with bytes that are not UTF-8) can be edited down.
  if (size <= e.capacity || size <= utf8Size(e.accepted)) {
    e.accepted = text;
    return true;
  }
  const int cursor = control->cursorPosition();
  const int added = static_cast<int>(text.size() - e.accepted.size());
  control->setText(e.accepted);
  control->setCursorPosition(std::clamp(cursor - std::max(added, 0), 0, static_cast<int>(e.accepted.size())));
  alertTooLong(e);
  return false;
}

bool FixedTextFields::refuseTooLong() {
  return refuseTooLong(QList<const QLineEdit*>(m_order.cbegin(), m_order.cend()));
}

bool FixedTextFields::refuseTooLong(const QList<const QLineEdit*>& controls) {
  for (QLineEdit* control : m_order) {
    if (!controls.contains(control)) continue;
    const Entry& e = m_entries[control];
    const QString text = control->text();
    if (e.filled && text == e.shown) continue;  // as read: goes back byte for byte
    if (utf8Size(text) <= e.capacity) continue;
    alertTooLong(e);
    control->setFocus();
    return true;
  }
  return false;
}

void FixedTextFields::alertTooLong(const Entry& e) const {
  const QString field = platform::tr_(QString::fromLatin1(e.nameKey));
  Utilities::sharedInstance().message(
      platform::formatText(platform::tr_(QStringLiteral("IDS_CM_TEXT_TOO_LONG_MSG")), {field, e.capacity}),
      platform::tr_(QStringLiteral("IDS_CM_TEXT_TOO_LONG_INFO")), false);
}
