#include "Views/FilledValues.h"

#include <QAbstractButton>
#include <QLineEdit>

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

QVariant FilledValues::valueOf(const QWidget* control) {
  if (const auto* field = qobject_cast<const QLineEdit*>(control)) return field->text();
  if (const auto* popup = qobject_cast<const platform::PopUpButton*>(control)) return popup->indexOfSelectedItem();
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->isChecked();
  return {};
}
