// The page error codes and the alerts the main window shows for them.
#include <gtest/gtest.h>

#include "support/ScriptedDialogs.h"
#include "Views/PageErrors.h"

namespace {
struct ErrorCase {
  int32_t code;
  FailedField field;  // what the page reports of the field it refused
  bool isError;
  bool alert;
  QString message;
  QString information;
};
}  // namespace

TEST(PageErrors, EachCodeAndItsAlert) {
  const FailedField sleep{"Sleep time", QString::fromUtf8("5\u201390")};
  const FailedField edge{"Bottom tail offset", QString::fromUtf8("\u22122.0 to 2.0")};
  const ErrorCase cases[] = {
      {0, {}, false, false, {}, {}},
      // An empty field is named, once, at the start; without a name the sleep time is.
      {1, {"Top X offset", {}}, true, true, "Top X offset cannot be empty. Please fill it in.", ""},
      {1, {}, true, true, "Sleep time cannot be empty. Please fill it in.", ""},
      // Out of range: the field and the values it takes.
      {2, sleep, true, true, "Error",
       QString::fromUtf8("Sleep time is out of range or not in the right form. Please enter a value in the range 5\u201390.")},
      {2, edge, true, true, "Error",
       QString::fromUtf8("Bottom tail offset is out of range or not in the right form. Please enter a value in the range "
                         "\u22122.0 to 2.0.")},
      {3, sleep, true, true, "Error", "The e-mail address is not in the right form."},
      {4, {}, true, true, "Error", "The folder does not exist."},
      {5, sleep, true, true, "Node name cannot be empty. Please fill it in.", ""},
      {999, {}, true, false, {}, {}},
      {6, sleep, false, false, {}, {}},
      {-1, {}, false, false, {}, {}},
      {998, {}, false, false, {}, {}},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.code);
    SCOPED_TRACE(c.field.label.toStdString());
    ScriptedDialogs dialogs;
    if (c.alert) dialogs.expectAlert(0, c.message);
    EXPECT_EQ(checkDataError(c.code, c.field), c.isError);
    ASSERT_EQ(dialogs.alerts().size(), c.alert ? 1u : 0u);
    if (c.alert) {
      EXPECT_EQ(dialogs.alerts()[0].information, c.information);
      EXPECT_EQ(dialogs.alerts()[0].buttons, QStringList{"&OK"});
    }
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  }
}

// Every range is written one way: an en dash between bounds, "to" and a minus sign when the
// lower bound is negative.
TEST(PageErrors, RangesAreWrittenOneWay) {
  EXPECT_EQ(rangeText(5, 90), QString::fromUtf8("5\u201390"));
  EXPECT_EQ(rangeText(0, 999999), QString::fromUtf8("0\u2013999999"));
  EXPECT_EQ(rangeText(-3, 3), QString::fromUtf8("\u22123 to 3"));
  EXPECT_EQ(rangeText(QStringLiteral("-2.0"), QStringLiteral("2.0")), QString::fromUtf8("\u22122.0 to 2.0"));
  EXPECT_EQ(rangeText(QStringLiteral("0000"), QStringLiteral("9999")), QString::fromUtf8("0000\u20139999"));
}
