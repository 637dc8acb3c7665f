#include "Views/FilledValues.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <cstring>

#include "platform/widgets/PopUpButton.h"

void FilledValues::remember(std::initializer_list<const QWidget*> controls) {
  for (const QWidget* control : controls) m_filled.insert(control, valueOf(control));
}

bool FilledValues::changed(const QWidget* control) const {
  const auto it = m_filled.constFind(control);
  if (it == m_filled.constEnd() || !it.value().isValid()) return true;
  return valueOf(control) != it.value();
}

bool FilledValues::anyChanged(std::initializer_list<const QWidget*> controls) const {
  for (const QWidget* control : controls)
    if (changed(control)) return true;
  return false;
}

void FilledValues::bindBytes(void* field, const void* asRead, std::size_t size,
                             std::initializer_list<const QWidget*> controls) {
  remember(controls);
  Binding b{field, QByteArray(static_cast<const char*>(asRead), static_cast<qsizetype>(size)), controls};
  for (Binding& existing : m_bindings) {
    if (existing.field == field) {
      existing = std::move(b);
      return;
    }
  }
  m_bindings.append(std::move(b));
}

void FilledValues::keepUntouched() const {
  for (const Binding& b : m_bindings) {
    bool touched = false;
    for (const QWidget* control : b.controls) touched = touched || changed(control);
    if (!touched) std::memcpy(b.field, b.bytes.constData(), static_cast<std::size_t>(b.bytes.size()));
  }
}

void FilledValues::clear() {
  m_filled.clear();
  m_bindings.clear();
}

QVariant FilledValues::valueOf(const QWidget* control) {
  if (const auto* field = qobject_cast<const QLineEdit*>(control)) return field->text();
  if (const auto* popup = qobject_cast<const platform::PopUpButton*>(control)) return popup->indexOfSelectedItem();
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->isChecked();
  return {};
}
