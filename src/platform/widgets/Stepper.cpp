#include "platform/widgets/Stepper.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>

namespace platform {
namespace {

QToolButton* makeArrow(Qt::ArrowType arrow, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setArrowType(arrow);
  button->setAutoRepeat(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  button->setIconSize(QSize(8, 8));
  return button;
}

}  // namespace

Stepper::Stepper(QWidget* parent)
    : QWidget(parent), m_up(makeArrow(Qt::UpArrow, this)), m_down(makeArrow(Qt::DownArrow, this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_up);
  layout->addWidget(m_down);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  connect(m_up, &QToolButton::clicked, this, &Stepper::stepUp);
  connect(m_down, &QToolButton::clicked, this, &Stepper::stepDown);
}

void Stepper::setRange(double minValue, double maxValue) {
  if (minValue > maxValue) std::swap(minValue, maxValue);
  m_min = minValue;
  m_max = maxValue;
  setValue(m_value);
}

void Stepper::setIncrement(double increment) {
  if (increment > 0.0) m_increment = increment;
}

int Stepper::intValue() const {
  const double t = std::trunc(m_value);
  if (t >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (t <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(t);
}

void Stepper::setValue(double value) {
  if (std::isnan(value)) value = m_min;
  m_value = std::clamp(value, m_min, m_max);
}

void Stepper::stepUp() { stepBy(m_increment); }

void Stepper::stepDown() { stepBy(-m_increment); }

void Stepper::stepBy(double delta) {
  setValue(m_value + delta);
  emit activated(m_value);
}

QSize Stepper::sizeHint() const { return QSize(18, 26); }

}  // namespace platform
