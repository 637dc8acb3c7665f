#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "platform/Dialogs.h"
#include "platform/ProgramIcon.h"

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

namespace {
// Runs `look` on the next message box shown, then presses its first button.
void inspectLater(std::function<void(QMessageBox&)> look) {
  QTimer::singleShot(0, [look] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible()) continue;
      look(*box);
      box->buttons().front()->click();
      return;
    }
    inspectLater(look);
  });
}
}  // namespace

// What the owner sees: the program's name in the title bar, no caution sign on an everyday
// alert, and the alert in the middle of the program's window, also when no window is active.
TEST(QtDialogs, AlertsCarryTheProgramsNameAnInformationIconAndSitOnTheirWindow) {
  platform::setProgramDisplayName(QStringLiteral("Zerelta Remote Setup"));
  QWidget window;
  window.setGeometry(200, 150, 900, 700);
  window.show();
  QApplication::setActiveWindow(nullptr);  // an alert raised by a timer: no active window
  platform::QtDialogs d;
  platform::AlertSpec spec;
  spec.message = QStringLiteral("The settings were saved");
  spec.buttons = {QStringLiteral("OK")};
  struct Seen {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QPoint centre;
  } seen;
  inspectLater([&seen](QMessageBox& box) {
    seen.title = box.windowTitle();
    seen.icon = box.icon();
    seen.centre = box.frameGeometry().center();
  });
  d.runAlert(spec);  // the style the pages use (Warning)
  EXPECT_EQ(seen.title, "Zerelta Remote Setup");
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  const QPoint offset = seen.centre - window.frameGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
  platform::setProgramDisplayName(QString());
}

// The programs' icon (the drawing the desktop entries name) is drawn from the compiled-in SVG
// at every size, and once it is the application's icon the everyday alerts show it in place of
// the information sign.
TEST(QtDialogs, WarningAlertsShowTheProgramIcon) {
  const QIcon icon = platform::programIcon();
  ASSERT_FALSE(icon.isNull());
  for (const int size : {16, 48, 256}) {
    const QImage image = icon.pixmap(size, size).toImage();
    ASSERT_EQ(image.size(), QSize(size, size));
    int opaque = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) opaque += qAlpha(image.pixel(x, y)) == 255;
    EXPECT_GT(opaque, size * size / 4) << "the drawing covers the icon at " << size << " px";
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "transparent around the drawing at " << size << " px";
  }

  QApplication::setWindowIcon(icon);
  platform::QtDialogs d;
  platform::AlertSpec spec;
  spec.message = QStringLiteral("The settings were saved");
  spec.buttons = {QStringLiteral("OK")};
  QImage shown;
  QImage expected;
  QMessageBox::Icon standard = QMessageBox::Information;
  inspectLater([&](QMessageBox& box) {
    standard = box.icon();
    shown = box.iconPixmap().toImage();
    const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    expected = icon.pixmap(size, size).toImage();
  });
  d.runAlert(spec);  // Warning, the style of the pages' alerts
  QApplication::setWindowIcon(QIcon());
  EXPECT_EQ(standard, QMessageBox::NoIcon);
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
}
