// The monitor's test main: a QCoreApplication, as the monitor has no window. The tests link no
// Qt Widgets, so they also show that the monitor's libraries do without them.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
