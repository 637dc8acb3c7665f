// The page error codes and the alerts the main window shows for them.
#include <gtest/gtest.h>

#include "support/ScriptedDialogs.h"
#include "Views/PageErrors.h"

namespace {
struct ErrorCase {
  int32_t code;
  bool isError;
  bool alert;
  QString message;
  QString information;
};
}  // namespace

TEST(PageErrors, EachCodeAndItsAlert) {
  const QString emptySleep = "Sleep time cannot be empty. Please enter the Sleep time.";
  const QString emptyNode = "Node name cannot be empty. Please enter the Node name.";
  const ErrorCase cases[] = {
      {0, false, false, {}, {}},
      {1, true, true, emptySleep, ""},
      {2, true, true, "Error", "A value is out of range or not in the right form."},
      {3, true, true, "Error", "The e-mail address is not in the right form."},
      {4, true, true, "Error", "The folder does not exist."},
      {5, true, true, emptyNode, ""},
      {999, true, false, {}, {}},
      {6, false, false, {}, {}},
      {-1, false, false, {}, {}},
      {998, false, false, {}, {}},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.code);
    ScriptedDialogs dialogs;
    if (c.alert) dialogs.expectAlert(0, c.message);
    EXPECT_EQ(checkDataError(c.code), c.isError);
    ASSERT_EQ(dialogs.alerts().size(), c.alert ? 1u : 0u);
    if (c.alert) {
      EXPECT_EQ(dialogs.alerts()[0].information, c.information);
      EXPECT_EQ(dialogs.alerts()[0].buttons, QStringList{"&OK"});
    }
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  }
}
