// Test main: a QApplication on the offscreen platform, so widget tests run without a display.
// A test program may name the offscreen platform with options of its own (a configuration file
// of its screens) in QT_QPA_PLATFORM; any other platform is replaced.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (!qgetenv("QT_QPA_PLATFORM").startsWith("offscreen")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
