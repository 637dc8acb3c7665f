#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Model/Utilities.h"
#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"

using platform::Localizer;

namespace {
QString T(const char* key) { return Localizer::text(key); }

class UtilitiesTest : public ::testing::Test {
 protected:
  void SetUp() override { ut.setDebugMask(0); }
  void TearDown() override {
    ut.setDebugMask(0);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  }
  Utilities& ut = Utilities::sharedInstance();
  ScriptedDialogs dialogs;
};

// Counts how often debugMsg converts it, to show that masked lines are not formatted.
struct Probe {
  int* conversions;
};
QVariant toLogArg(const Probe& p) {
  ++*p.conversions;
  return QStringLiteral("probe");
}
}  // namespace

TEST_F(UtilitiesTest, SharedInstanceIsOneObjectAcrossThreads) {
  std::vector<Utilities*> seen(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([&seen, i] { seen[i] = &Utilities::sharedInstance(); });
  for (auto& t : threads) t.join();
  for (Utilities* u : seen) EXPECT_EQ(u, &ut);
}

TEST_F(UtilitiesTest, MessageButtonsOrderAndAnswers) {
  dialogs.expectAlert(0, QString("no cancel"));
  EXPECT_TRUE(ut.message("no cancel", "info", false));
  dialogs.expectAlert(0);
  EXPECT_TRUE(ut.message("ok", "info", true));
  dialogs.expectAlert(1);
  EXPECT_FALSE(ut.message("cancel", "info", true));
  ASSERT_EQ(dialogs.alerts().size(), 3u);
  EXPECT_EQ(dialogs.alerts()[0].buttons, QStringList{T("IDS_RS_OK")});
  EXPECT_EQ(dialogs.alerts()[1].buttons, (QStringList{T("IDS_RS_OK"), T("IDS_RS_CANCEL")}));
  EXPECT_EQ(dialogs.alerts()[0].information, "info");
  EXPECT_TRUE(dialogs.alerts()[0].suppressionTitle.isEmpty());
}

TEST_F(UtilitiesTest, ImportExportChoiceAnswers) {
  struct Case {
    int button;
    bool box;
    uint32_t answer;
  } cases[] = {{0, true, 0}, {0, false, 0}, {1, false, 1}, {1, true, 2}};
  for (const Case& c : cases) {
    dialogs.expectAlert(c.button, std::nullopt, c.box);
    EXPECT_EQ(ut.messageImportExport("m", "i"), c.answer) << c.button << c.box;
  }
  const auto& a = dialogs.alerts().front();
  EXPECT_EQ(a.buttons, (QStringList{T("IDS_RS_CANCEL"), T("IDS_EID_START")}));
  EXPECT_EQ(a.suppressionTitle, T("IDS_EID_QUICKDIALONLY"));
}

TEST_F(UtilitiesTest, DebugLogHonoursTheMaskAndSkipsFormattingWhenOff) {
  LogCapture log;
  int conversions = 0;
  ut.debugMsg(0x01, "off %@", Probe{&conversions});
  EXPECT_EQ(conversions, 0);
  ut.setDebugMask(0x43);
  ut.debugMsg(0x20, "trace %@", Probe{&conversions});
  EXPECT_EQ(conversions, 0);
  ut.debugMsg(0x01, ">>> %@ ENTER", QString("X"));
  ut.debugMsg(0x02, "=== %@ ERROR: %@\n", "-[IOWrapper getParamAll:]", "failed");
  ut.debugMsg(0x40, "n=%d", 5);
  ut.debugMsg(0x60, "any bit %@", Probe{&conversions});
  ut.debugMsg2(0x20, "not this");
  ut.debugMsg2(0x40, "finished %@ text");
  EXPECT_EQ(conversions, 1);
  EXPECT_EQ(log.lines(), (QStringList{">>> X ENTER", "=== -[IOWrapper getParamAll:] ERROR: failed\n", "n=5",
                                      "any bit probe", "finished %@ text"}));
}

TEST_F(UtilitiesTest, StripOperations) {
  EXPECT_EQ(Utilities::stripRemoveSpecialWordFrom("a&<b>&"), "ab");
  EXPECT_EQ(Utilities::stripRemoveSpecialWordFrom("plain text.1"), "plain text.1");
  EXPECT_EQ(Utilities::stripRemovePointFrom("1.2.3"), "123");
  EXPECT_EQ(Utilities::stripRemovePointFrom("a&b"), "a&b");
  const QString input = "x&y";
  Utilities::stripRemoveSpecialWordFrom(input);
  EXPECT_EQ(input, "x&y");
}

TEST(UtilitiesValidators, Table) {
  using V = bool (*)(const QString&);
  const QString dc3 = QString(QChar(0x13));
  struct Case {
    const char* name;
    V check;
    QString text;
    bool valid;
  } cases[] = {
      {"node", Utilities::validateNodeName, "", true},
      {"node", Utilities::validateNodeName, "printer-1", true},
      {"node", Utilities::validateNodeName, "P", true},
      {"node", Utilities::validateNodeName, "ab" + dc3 + "c", true},
      {"node", Utilities::validateNodeName, "1printer", false},
      {"node", Utilities::validateNodeName, "printer_1", false},
      {"node", Utilities::validateNodeName, "-a", false},
      {"node", Utilities::validateNodeName, "a b", false},
      {"mail", Utilities::validateEmail, "", true},
      {"mail", Utilities::validateEmail, "john.doe_1-x@mail.example.com", true},
      {"mail", Utilities::validateEmail, "a@b.co", true},
      {"mail", Utilities::validateEmail, "a@b.c", false},
      {"mail", Utilities::validateEmail, "a@bcom", false},
      {"mail", Utilities::validateEmail, "a@@b.com", false},
      {"mail", Utilities::validateEmail, "a b@c.com", false},
      {"mail", Utilities::validateEmail, "@b.com", false},
      {"mail", Utilities::validateEmail, "a@b.c1", false},
      {"file", Utilities::validateFileName, "", false},
      {"file", Utilities::validateFileName, "Scan_01-a", true},
      {"file", Utilities::validateFileName, "scan.pdf", false},
      {"file", Utilities::validateFileName, "scan 1", false},
      {"digit", Utilities::validateDigitNum, "1", true},
      {"digit", Utilities::validateDigitNum, "6", true},
      {"digit", Utilities::validateDigitNum, "0", false},
      {"digit", Utilities::validateDigitNum, "7", false},
      {"digit", Utilities::validateDigitNum, "12", false},
      {"digit", Utilities::validateDigitNum, "", false},
      {"init", Utilities::validateInitNum, "0", true},
      {"init", Utilities::validateInitNum, "999999", true},
      {"init", Utilities::validateInitNum, "42", true},
      {"init", Utilities::validateInitNum, "01", false},
      {"init", Utilities::validateInitNum, "1000000", false},
      {"init", Utilities::validateInitNum, "", false},
      {"init", Utilities::validateInitNum, "-1", false},
      {"host", Utilities::validateHostAddr, "192.168.0.10", true},
      {"host", Utilities::validateHostAddr, "srv/share\\dir", true},
      {"host", Utilities::validateHostAddr, "my host", false},
      {"host", Utilities::validateHostAddr, "", false},
      {"host", Utilities::validateHostAddr, "a:b", false},
      // Host names with a hyphen are ordinary ("nas-01.example.com").
      {"host", Utilities::validateHostAddr, "nas-01.example.com", true},
      {"host", Utilities::validateHostAddr, "-", true},
      {"host", Utilities::validateHostAddr, "nas_01", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.check(c.text), c.valid) << c.name << " '" << c.text.toStdString() << "'";
}

TEST_F(UtilitiesTest, PasswordCheckOrder) {
  const QString emptyPassword =
      platform::formatText(T("IDS_CANNOT_EMPTY_ERR_MSG"), {T("IDS_PF_PASSWORD"), T("IDS_PF_PASSWORD")});
  const QString emptyConfirm =
      platform::formatText(T("IDS_CANNOT_EMPTY_ERR_MSG"), {T("IDS_PF_RETYPE_PASSWORD"), T("IDS_PF_RETYPE_PASSWORD")});
  const QString tooShort4 = platform::formatText(T("IDS_PI_TOO_SHORT_MSG"), {4});
  // The too-short text names the minimum.
  EXPECT_TRUE(tooShort4.contains(u'4')) << tooShort4.toStdString();
  struct Case {
    const char* password;
    const char* confirm;
    int32_t atLeast;
    bool accepted;
    QString information;  // empty: no alert
  } cases[] = {
      {"", "", 0, false, emptyPassword},
      {"", "x", 0, false, emptyPassword},
      {"x", "", 0, false, emptyConfirm},
      {"secret", "secret", 0, true, {}},
      {"secret", "Secret", 0, false, T("IDS_PI_ERROR_MSG")},
      {"ab", "abc", 0, false, T("IDS_PI_ERROR_MSG")},
      // A minimum of 4: the empty texts keep their own alerts; 1 to 3 characters are too short,
      // told before any mismatch; 4 characters are long enough.
      {"", "", 4, false, emptyPassword},
      {"123", "", 4, false, emptyConfirm},
      {"1", "1", 4, false, tooShort4},
      {"123", "123", 4, false, tooShort4},
      {"123", "124", 4, false, tooShort4},
      {"1234", "1235", 4, false, T("IDS_PI_ERROR_MSG")},
      {"1234", "1234", 4, true, {}},
      {"123456", "123456", 4, true, {}},
      // The minimum length counts UTF-16 units.
      {"a\xF0\x9F\x98\x80", "a\xF0\x9F\x98\x80", 4, false, tooShort4},
      {"ab\xF0\x9F\x98\x80", "ab\xF0\x9F\x98\x80", 4, true, {}},
  };
  for (const Case& c : cases) {
    dialogs.clear();
    if (!c.information.isEmpty()) dialogs.expectAlert(0, T("IDS_CM_WARNING"));
    EXPECT_EQ(ut.checkPassword(QString::fromUtf8(c.password), QString::fromUtf8(c.confirm), c.atLeast), c.accepted)
        << c.password << "/" << c.confirm << " at least " << c.atLeast;
    if (c.information.isEmpty()) {
      EXPECT_TRUE(dialogs.alerts().empty());
    } else {
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      EXPECT_EQ(dialogs.alerts()[0].information, c.information) << c.password << "/" << c.confirm;
      EXPECT_EQ(dialogs.alerts()[0].buttons.size(), 1);
    }
  }
}
