#pragma once
// A small up/down control with a value of its own, placed beside a text field.
//
// The stepper knows nothing of the field: the page links the two. It sets the stepper from the
// field (setValue, which never fires a signal) and decides what a click does to the field
// (activated). The value always lies within [minValue, maxValue]: setValue clamps, and so does
// a click, which moves the value by one increment. Every click fires activated(), also one at
// a limit that leaves the value as it was, so the page can put the value back into its field.
//
// Defaults: range 0 to 100, increment 1, value 0. Holding an arrow repeats the click.

#include <QWidget>

class QToolButton;

namespace platform {

class Stepper : public QWidget {
  Q_OBJECT

 public:
  explicit Stepper(QWidget* parent = nullptr);

  double minValue() const { return m_min; }
  double maxValue() const { return m_max; }
  // Sets the range (swapped when given the wrong way round) and clamps the value into it.
  void setRange(double minValue, double maxValue);
  double increment() const { return m_increment; }
  // A step of 0 or less is refused (the increment stays as it was).
  void setIncrement(double increment);

  double value() const { return m_value; }
  // The value truncated toward zero.
  int intValue() const;
  // The program's setting: clamped into the range, no signal.
  void setValue(double value);

  // What a click on the up or the down arrow does: one increment up or down, clamped, then
  // activated(value()).
  void stepUp();
  void stepDown();

  QToolButton* upButton() const { return m_up; }
  QToolButton* downButton() const { return m_down; }

  QSize sizeHint() const override;

 signals:
  // The user clicked an arrow; `value` is the stepper's new value.
  void activated(double value);

 private:
  void stepBy(double delta);

  double m_min = 0.0;
  double m_max = 100.0;
  double m_increment = 1.0;
  double m_value = 0.0;
  QToolButton* m_up;
  QToolButton* m_down;
};

}  // namespace platform
