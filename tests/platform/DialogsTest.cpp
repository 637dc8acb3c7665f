#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "platform/Dialogs.h"
#include "platform/Localizer.h"
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
  platform::setProgramDisplayName(QStringLiteral("Zerelta QMX-7315W Remote Setup"));
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
  EXPECT_EQ(seen.title, "Zerelta QMX-7315W Remote Setup");
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

// An alert is never narrower than its title in the application's bold font plus the title bar's
// buttons, whatever its texts, so the program's name is never cut in its title bar.
TEST(QtDialogs, AlertsAreWideEnoughForTheirTitle) {
  QFont bold = QApplication::font();
  bold.setBold(true);
  const QFontMetrics metrics(bold);
  platform::QtDialogs d;
  const QString titles[] = {QStringLiteral("Zerelta QMX-7315W Remote Setup"), QStringLiteral("Zerelta QMX-7305 Remote Setup"),
                            QStringLiteral("A much longer program name than any alert text would make room for")};
  const QString messages[] = {QStringLiteral("OK"), QStringLiteral("The settings were saved to the scanner.")};
  for (const QString& title : titles) {
    for (const QString& message : messages) {
      SCOPED_TRACE((title + " / " + message).toStdString());
      platform::setProgramDisplayName(title);
      platform::AlertSpec spec;
      spec.message = message;
      spec.buttons = {QStringLiteral("OK")};
      int width = 0;
      QString shownTitle;
      inspectLater([&](QMessageBox& box) {
        width = box.frameGeometry().width();
        shownTitle = box.windowTitle();
      });
      d.runAlert(spec);
      EXPECT_EQ(shownTitle, title);
      EXPECT_GE(width, metrics.horizontalAdvance(title) + 120);
    }
  }
  platform::setProgramDisplayName(QString());
}

// One generic word never heads an alert: an alert whose message is only "Information",
// "Message", "Warning" or "Error" shows its information as the headline and nothing below it.
// Any other message stands as given, and so does a generic word with nothing to say below it.
TEST(QtDialogs, AGenericMessageGivesItsPlaceToTheInformation) {
  struct Case {
    const char* messageKey;  // nullptr: the message below is not a key's text
    const char* message;
    const char* information;
    const char* headline;
    const char* detail;
  };
  const Case cases[] = {
      {"IDS_CM_INFORMATION", nullptr, "The settings were saved to the scanner.", "The settings were saved to the scanner.", ""},
      {"IDS_CM_INFORMATION", nullptr, "The settings could not be saved to the scanner.",
       "The settings could not be saved to the scanner.", ""},
      {"IDS_CM_MESSAGE", nullptr, "The file-name counter was reset.", "The file-name counter was reset.", ""},
      {"IDS_CM_WARNING", nullptr, "Password cannot be empty.", "Password cannot be empty.", ""},
      {"IDS_CM_ERROR", nullptr, "The folder does not exist.", "The folder does not exist.", ""},
      {"IDS_CM_ERROR", nullptr, "", "Error", ""},
      {nullptr, "No scanner was found.", "Check the network.", "No scanner was found.", "Check the network."},
  };
  platform::QtDialogs d;
  for (const Case& c : cases) {
    platform::AlertSpec spec;
    spec.message = c.messageKey ? platform::Localizer::text(QString::fromLatin1(c.messageKey)) : QString::fromUtf8(c.message);
    spec.information = QString::fromUtf8(c.information);
    spec.buttons = {QStringLiteral("OK")};
    SCOPED_TRACE((spec.message + " / " + spec.information).toStdString());
    QString headline, detail;
    inspectLater([&](QMessageBox& box) {
      headline = box.text();
      detail = box.informativeText();
    });
    d.runAlert(spec);
    EXPECT_EQ(headline, QString::fromUtf8(c.headline));
    EXPECT_EQ(detail, QString::fromUtf8(c.detail));
  }
}
