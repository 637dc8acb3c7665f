#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/Dialogs.h"

namespace {
// Presses button `index` (and ticks the check box when asked) on the next message box shown.
void pressLater(int index, bool tick) {
  QTimer::singleShot(0, [index, tick] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible()) continue;
      if (tick && box->checkBox()) box->checkBox()->setChecked(true);
      box->buttons();  // materialise
      QList<QPushButton*> ordered;
      for (auto* b : box->findChildren<QPushButton*>()) ordered << b;
      // Buttons in the order they were added, whatever order the style lays them out in.
      for (auto* b : ordered)
        if (b->text() == QStringLiteral("B%1").arg(index)) b->click();
      return;
    }
    pressLater(index, tick);
  });
}
}  // namespace

TEST(QtDialogs, AnswersTheIndexOfThePressedButtonAndTheCheckBox) {
  platform::QtDialogs d;
  platform::AlertSpec spec;
  spec.message = "m";
  spec.information = "i";
  spec.buttons = {"B0", "B1"};
  spec.suppressionTitle = "box";
  for (int index : {0, 1}) {
    for (bool tick : {false, true}) {
      pressLater(index, tick);
      const auto answer = d.runAlert(spec);
      EXPECT_EQ(answer.button, index);
      EXPECT_EQ(answer.suppressionOn, tick);
    }
  }
  spec.suppressionTitle.clear();
  pressLater(1, true);
  EXPECT_FALSE(d.runAlert(spec).suppressionOn);
}
