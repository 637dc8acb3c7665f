// What a page remembers of its filled controls, and when a control counts as changed by the user.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include "Views/FilledValues.h"
#include "platform/widgets/PopUpButton.h"

TEST(FilledValues, ChangedMeansDifferentFromTheFilledValue) {
  QWidget page;
  auto* field = new QLineEdit(QStringLiteral("2.5"), &page);
  auto* popup = new platform::PopUpButton({QStringLiteral("off"), QStringLiteral("on")}, &page);
  popup->selectItem(1);
  auto* box = new QCheckBox(&page);
  FilledValues filled;
  filled.remember({field, popup, box});
  EXPECT_FALSE(filled.anyChanged({field, popup, box}));

  // The user's typing; the same text typed again counts as untouched.
  field->setFocus();
  QTest::keyClick(field, Qt::Key_Backspace);
  EXPECT_TRUE(filled.changed(field));
  QTest::keyClick(field, Qt::Key_5);
  EXPECT_FALSE(filled.changed(field));

  ASSERT_TRUE(popup->chooseItem(0));
  EXPECT_TRUE(filled.changed(popup));
  ASSERT_TRUE(popup->chooseItem(1));
  EXPECT_FALSE(filled.changed(popup));

  box->setChecked(true);
  EXPECT_TRUE(filled.changed(box));
  EXPECT_TRUE(filled.anyChanged({field, popup, box}));
  EXPECT_FALSE(filled.anyChanged({field, popup}));

  // A new fill replaces what was remembered.
  filled.remember({box});
  EXPECT_FALSE(filled.changed(box));
}

// A control the page forgot to remember, or one of a kind without a value, is always checked.
TEST(FilledValues, UnknownControlsCountAsChanged) {
  QWidget page;
  QLineEdit field(&page);
  QLabel label(QStringLiteral("x"), &page);
  FilledValues filled;
  EXPECT_TRUE(filled.changed(&field));
  filled.remember({&label});
  EXPECT_TRUE(filled.changed(&label));
}
