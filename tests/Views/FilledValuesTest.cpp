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

// A bound field gets its bytes as read back while none of its controls changed, whatever the
// control shows for them; a field whose control the user changed keeps what the page wrote.
TEST(FilledValues, KeepUntouchedPutsBackTheBytesOfFieldsWhoseControlsDidNotChange) {
  QWidget page;
  auto* popup = new platform::PopUpButton({QStringLiteral("off"), QStringLiteral("on")}, &page);
  auto* box = new QCheckBox(&page);
  struct Record {
    uint8_t mode = 0xFF;      // no item: the pop-up shows none
    uint32_t flag = 2;        // the box shows it unchecked
    uint8_t forced = 3;       // the filling showed another value
  } r;
  popup->selectItem(-1);
  box->setChecked(r.flag == 1);
  r.forced = 1;  // what the filling made of it
  FilledValues filled;
  filled.bind(r.mode, {popup});
  filled.bind(r.flag, {box});
  filled.bind(r.forced, uint8_t(3), {popup, box});

  // The page writes every field from its controls; the untouched ones go back as read.
  const auto store = [&] {
    if (popup->indexOfSelectedItem() >= 0) r.mode = uint8_t(popup->indexOfSelectedItem());
    r.flag = box->isChecked() ? 1 : 0;
    r.forced = 1;
    filled.keepUntouched();
  };
  store();
  EXPECT_EQ(r.mode, 0xFF);
  EXPECT_EQ(r.flag, 2u);
  EXPECT_EQ(r.forced, 3);

  box->click();
  store();
  EXPECT_EQ(r.mode, 0xFF);
  EXPECT_EQ(r.flag, 1u);
  EXPECT_EQ(r.forced, 1) << "one of its controls changed";
  box->click();  // and back
  store();
  EXPECT_EQ(r.flag, 2u);

  ASSERT_TRUE(popup->chooseItem(0));
  store();
  EXPECT_EQ(r.mode, 0);

  // Binding a field again replaces its binding; clear() forgets every one.
  filled.bind(r.mode, {popup});
  r.mode = 9;
  filled.keepUntouched();
  EXPECT_EQ(r.mode, 0);
  filled.clear();
  r.mode = 9;
  filled.keepUntouched();
  EXPECT_EQ(r.mode, 9);
}
