// The pop-up button and stepper adapters: indexes that survive hiding, the no-selection state,
// and signals only from the user; and where a window opens beside another.
#include <gtest/gtest.h>

#include <QListView>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/widgets/Widgets.h"
#include "platform/widgets/WindowPlacement.h"

using platform::PopUpButton;
using platform::Stepper;

namespace {

const QStringList kTitles{"zero", "one", "two", "three", "four"};

}  // namespace

TEST(PopUpButton, HiddenItemsKeepEveryIndex) {
  PopUpButton popup(kTitles);
  popup.setItemHidden(1, true);
  popup.setItemHidden(2, true);
  popup.setItemHidden(9, true);  // outside: nothing happens
  EXPECT_EQ(popup.numberOfItems(), 5);
  EXPECT_TRUE(popup.isItemHidden(1));
  EXPECT_FALSE(popup.isItemHidden(3));
  EXPECT_EQ(popup.itemTitle(3), "three");
  EXPECT_TRUE(static_cast<QListView*>(popup.comboBox()->view())->isRowHidden(2));

  popup.selectItem(3);
  EXPECT_EQ(popup.indexOfSelectedItem(), 3);
  EXPECT_EQ(popup.titleOfSelectedItem(), "three");

  // The program may select a hidden item; the user may not choose one.
  popup.selectItem(2);
  EXPECT_EQ(popup.indexOfSelectedItem(), 2);
  EXPECT_EQ(popup.comboBox()->currentText(), "two");
  QSignalSpy spy(&popup, &PopUpButton::activated);
  EXPECT_FALSE(popup.chooseItem(1));
  EXPECT_EQ(popup.indexOfSelectedItem(), 2);
  EXPECT_EQ(spy.count(), 0);

  popup.setItemHidden(1, false);
  EXPECT_FALSE(popup.isItemHidden(1));
  EXPECT_TRUE(popup.chooseItem(1));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 1);

  popup.setItemTitle(4, "FOUR");
  popup.setItemTitle(7, "nowhere");
  EXPECT_EQ(popup.itemTitle(4), "FOUR");
  EXPECT_EQ(popup.itemTitle(7), "");
}

TEST(PopUpButton, NoSelectionShowsNothing) {
  PopUpButton popup(kTitles);
  for (int index : {-1, 5, 1000}) {
    popup.selectItem(2);
    popup.selectItem(index);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1) << index;
    EXPECT_EQ(popup.titleOfSelectedItem(), "") << index;
    EXPECT_EQ(popup.comboBox()->currentText(), "") << index;
  }
  EXPECT_FALSE(popup.chooseItem(-1));
  EXPECT_FALSE(popup.chooseItem(5));
  EXPECT_EQ(popup.indexOfSelectedItem(), -1);
  popup.removeAllItems();
  EXPECT_EQ(popup.numberOfItems(), 0);
  EXPECT_FALSE(popup.isItemHidden(1));
}

TEST(PopUpButton, OnlyTheUsersChoiceFiresTheAction) {
  PopUpButton popup(kTitles);
  popup.setItemHidden(2, true);
  QSignalSpy spy(&popup, &PopUpButton::activated);
  popup.selectItem(1);
  popup.selectItem(-1);
  popup.selectItem(4);
  EXPECT_EQ(spy.count(), 0);

  // The keyboard steps over the hidden item and fires the action, like a choice from the menu.
  popup.show();
  popup.selectItem(1);
  popup.comboBox()->setFocus();
  QTest::keyClick(popup.comboBox(), Qt::Key_Down);
  EXPECT_EQ(popup.indexOfSelectedItem(), 3);
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 3);

  // Choosing the item already shown is still a choice.
  EXPECT_TRUE(popup.chooseItem(3));
  EXPECT_EQ(spy.count(), 2);
}

TEST(PopUpButton, WheelOverAnUnfocusedButtonLeavesTheChoice) {
  QScrollArea area;
  auto* inner = new QWidget;
  auto* layout = new QVBoxLayout(inner);
  auto* popup = new PopUpButton(kTitles);
  layout->addWidget(popup);
  auto* other = new QLineEdit;
  layout->addWidget(other);
  area.setWidget(inner);
  area.show();
  other->setFocus();
  popup->selectItem(2);
  QSignalSpy spy(popup, &PopUpButton::activated);
  const QPoint at = popup->comboBox()->rect().center();
  QWheelEvent wheel(at, popup->comboBox()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(popup->comboBox(), &wheel);
  EXPECT_EQ(popup->indexOfSelectedItem(), 2);
  EXPECT_EQ(spy.count(), 0);
}

TEST(Stepper, ProgramSetsQuietlyClicksStepAndClamp) {
  Stepper stepper;
  stepper.setRange(5, 90);
  stepper.setIncrement(1);
  QSignalSpy spy(&stepper, &Stepper::activated);

  struct Case { double set; double expected; };
  for (const Case& c : {Case{15, 15}, Case{4, 5}, Case{91, 90}, Case{-1e9, 5}, Case{47.8, 47.8}}) {
    stepper.setValue(c.set);
    EXPECT_DOUBLE_EQ(stepper.value(), c.expected) << c.set;
  }
  EXPECT_EQ(stepper.intValue(), 47);
  EXPECT_EQ(spy.count(), 0);

  stepper.show();
  stepper.setValue(89);
  QTest::mouseClick(stepper.upButton(), Qt::LeftButton);
  QTest::mouseClick(stepper.upButton(), Qt::LeftButton);  // at the limit: stays, still fires
  ASSERT_EQ(spy.count(), 2);
  EXPECT_DOUBLE_EQ(spy.at(0).at(0).toDouble(), 90);
  EXPECT_DOUBLE_EQ(spy.at(1).at(0).toDouble(), 90);
  stepper.setValue(5);
  QTest::mouseClick(stepper.downButton(), Qt::LeftButton);
  EXPECT_DOUBLE_EQ(stepper.value(), 5);
  EXPECT_EQ(spy.count(), 3);

  // A narrower range pulls the value in; a reversed one is taken the right way round.
  stepper.setValue(60);
  stepper.setRange(50, 10);
  EXPECT_DOUBLE_EQ(stepper.minValue(), 10);
  EXPECT_DOUBLE_EQ(stepper.value(), 50);
}

TEST(Stepper, FractionalIncrementAndNegativeValues) {
  Stepper stepper;
  stepper.setRange(-3, 3);
  stepper.setIncrement(0.1);
  stepper.setIncrement(0);  // refused
  EXPECT_DOUBLE_EQ(stepper.increment(), 0.1);
  stepper.setValue(-2.95);
  EXPECT_EQ(stepper.intValue(), -2);  // toward zero
  stepper.stepDown();
  EXPECT_DOUBLE_EQ(stepper.value(), -3);
  stepper.setValue(2.2);
  stepper.stepUp();
  EXPECT_NEAR(stepper.value(), 2.3, 1e-9);
}

// Centred on the other window, then moved onto the screen's free area, never resized; a frame
// larger than the area keeps its title bar on it.
TEST(WindowPlacement, CentredFrameLiesOnTheAvailableArea) {
  const QRect available(0, 32, 1366, 736);  // a 1366x768 screen under a 32-pixel panel
  const struct Case {
    const char* name;
    QSize frame;
    QPoint centre;
    QRect placed;
  } cases[] = {
      {"centred", {922, 676}, {683, 400}, {223, 63, 922, 676}},
      {"off the right edge", {922, 676}, {1200, 400}, {444, 63, 922, 676}},
      {"off the top", {922, 676}, {683, 100}, {223, 32, 922, 676}},
      {"off the bottom left", {400, 300}, {50, 760}, {0, 468, 400, 300}},
      {"larger than the area", {1500, 800}, {683, 400}, {0, 32, 1500, 800}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::centredFrame(c.frame, c.centre, available), c.placed);
  }
}

// A window opens at the size it asks for where the screen's free area has the room for it and its
// frame; otherwise at the room there is, never below its least size.
TEST(WindowPlacement, OpeningSizeFitsTheFreeArea) {
  const QRect available(0, 32, 1280, 688);  // a 1280x720 screen under a 32-pixel panel
  const QMargins frame(4, 40, 4, 4);
  const struct Case {
    const char* name;
    QSize wanted, least, opens;
  } cases[] = {
      {"room enough", {918, 600}, {598, 330}, {918, 600}},
      {"room enough, exactly", {1272, 644}, {598, 330}, {1272, 644}},
      {"too tall", {1146, 816}, {655, 353}, {1146, 644}},
      {"too wide and tall", {1500, 900}, {655, 353}, {1272, 644}},
      {"least size above the room", {1500, 900}, {1300, 700}, {1300, 700}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::openingSize(c.wanted, c.least, available, frame), c.opens);
  }
}
