// The e-mail server page driven as a user drives it: typing into its fields, choosing pop-up
// items and clicking its stepper, then reading what getParam writes and what isDataError answers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <functional>

#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"
#include "support/TypeText.h"
#include "Model/Utilities.h"
#include "Views/NetworkEmailControllerObjC.h"
#include "Views/PageErrors.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"

namespace {

using Page = NetworkEmailControllerObjC;
using Controls = Page::Controls;

class ScopedDebugMask {
 public:
  explicit ScopedDebugMask(int32_t mask) : m_previous(Utilities::sharedInstance().nDebugMask()) {
    Utilities::sharedInstance().setDebugMask(mask);
  }
  ~ScopedDebugMask() { Utilities::sharedInstance().setDebugMask(m_previous); }

 private:
  int32_t m_previous;
};

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

// The record as a scanner might hold it. The reserved bytes and the tails of the arrays carry a
// pattern, so that a page that touches bytes it does not edit shows up in the comparisons.
FCL_RS_PARAM_EMAIL scannerRecord() {
  FCL_RS_PARAM_EMAIL r;
  std::memset(&r, 0xA5, sizeof r);
  auto put = [](char* field, std::size_t n, const char* value) {
    std::memset(field, 0, n);
    std::memcpy(field, value, std::strlen(value));
  };
  put(r.szDeviceMailAddress, sizeof r.szDeviceMailAddress, "scanner@example.com");
  put(r.szSMTPServerName, sizeof r.szSMTPServerName, "smtp.example.com");
  put(r.szSMTPAuthAccount, sizeof r.szSMTPAuthAccount, "office");
  put(r.szSMTPAuthPassword, sizeof r.szSMTPAuthPassword, "Secret1");
  put(r.szSenderMessage, sizeof r.szSenderMessage, "Scanned document attached.");
  put(r.szSenderSubject, sizeof r.szSenderSubject, "Scan");
  r.wSMTPPort = 587;
  r.bySMTPAuthentication = 1;
  r.bySMTPSecureConnection = 2;
  r.bySMTPVerifyCertificate = 0;
  r.byMailSizeLimit = 1;
  r.byMailMaximumSize = 10;
  r.byMailNotification = 1;
  return r;
}

MainWindowState stateWith(const FCL_RS_PARAM_EMAIL& record) {
  MainWindowState s;
  std::memset(&s.sParamAll, 0x5A, sizeof s.sParamAll);
  s.sParamAll.sEmail = record;
  return s;
}

struct ShownPage {
  explicit ShownPage(const FCL_RS_PARAM_EMAIL& record = scannerRecord()) {
    page.resize(pagelayout::kPageSize);
    page.setParam(record);
    page.show();
    QApplication::setActiveWindow(&page);
  }
  const Controls& ui() const { return page.controls(); }
  Page page;
};

// Replaces a field's text the way a user does: select all, then type (or delete).
void typeInto(QLineEdit* field, const QString& typed) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  if (typed.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
  else typeText(field, typed);
}

// A paste: the whole text arrives in one edit.
void paste(QLineEdit* field, const QString& pasted) {
  field->setText(pasted);
  emit field->textEdited(pasted);
}

// One char[N] array of the record: its N bytes, and the N-1 bytes of text it holds.
struct Array {
  std::function<QByteArray(const FCL_RS_PARAM_EMAIL&)> bytes;
  int capacity;
};
template <std::size_t N>
Array arrayOf(char (FCL_RS_PARAM_EMAIL::*member)[N]) {
  return {[member](const FCL_RS_PARAM_EMAIL& r) { return QByteArray(r.*member, qsizetype(N)); }, int(N - 1)};
}
// The N bytes an array holds after `text` was stored: its UTF-8, then zeros.
QByteArray arrayBytes(const QString& text, int capacity) {
  QByteArray bytes = text.toUtf8();
  return bytes + QByteArray(capacity + 1 - bytes.size(), '\0');
}
QString tooLongMessage(const char* labelKey, int capacity) {
  return platform::formatText(text("IDS_CM_TEXT_TOO_LONG_MSG"), {text(labelKey), capacity});
}

FCL_RS_PARAM_EMAIL saved(Page& page, const FCL_RS_PARAM_EMAIL& from = scannerRecord()) {
  FCL_RS_PARAM_EMAIL out = from;
  page.getParam(out);
  return out;
}

bool sameBytes(const FCL_RS_PARAM_EMAIL& a, const FCL_RS_PARAM_EMAIL& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(EmailServerPage, IsTheStandardFactorysEmailServerPage) {
  std::unique_ptr<PageController> page = PageFactory::standard().create(pages::kEmailServerStoryboard);
  ASSERT_NE(dynamic_cast<Page*>(page.get()), nullptr);
  EXPECT_EQ(page->viewIdentifier(), "networkEmail");
}

// Through the main window's state: only sEmail is read and written.
TEST(EmailServerPage, ContractTouchesOnlyTheEmailRecord) {
  const MainWindowState state = stateWith(scannerRecord());
  Page page;
  page.setParam(state);
  EXPECT_FALSE(page.isDataChanged(state));
  typeInto(page.controls().textSubject, "Invoice");
  EXPECT_TRUE(page.isDataChanged(state));
  MainWindowState out = state;
  EXPECT_TRUE(page.getParam(out));
  EXPECT_EQ(platform::textFromField(out.sParamAll.sEmail.szSenderSubject), "Invoice");
  out.sParamAll.sEmail = state.sParamAll.sEmail;
  EXPECT_EQ(std::memcmp(&out.sParamAll, &state.sParamAll, sizeof out.sParamAll), 0);
}

// Nothing the user did not touch may change, also for stored values that no control can show
// as they are: hidden items, values beyond the items, arrays without a NUL or not UTF-8.
TEST(EmailServerPage, UntouchedPageWritesTheRecordBackUnchanged) {
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PARAM_EMAIL&)> edit;
  };
  const Case cases[] = {
      {"ordinary record", [](FCL_RS_PARAM_EMAIL&) {}},
      {"hidden SSL and verify-on items", [](FCL_RS_PARAM_EMAIL& r) {
         r.bySMTPSecureConnection = 1;
         r.bySMTPVerifyCertificate = 1;
       }},
      {"pop-up values beyond the items", [](FCL_RS_PARAM_EMAIL& r) {
         r.bySMTPAuthentication = 7;
         r.bySMTPSecureConnection = 3;
         r.bySMTPVerifyCertificate = 0xFF;
         r.byMailSizeLimit = 2;
         r.byMailNotification = 9;
       }},
      {"all off, port 0, size 0", [](FCL_RS_PARAM_EMAIL& r) {
         r.bySMTPAuthentication = 0;
         r.byMailSizeLimit = 0;
         r.byMailNotification = 0;
         r.wSMTPPort = 0;
         r.byMailMaximumSize = 0;
       }},
      {"port 65535, size 255", [](FCL_RS_PARAM_EMAIL& r) {
         r.wSMTPPort = 65535;
         r.byMailMaximumSize = 255;
       }},
      {"arrays without a NUL", [](FCL_RS_PARAM_EMAIL& r) {
         std::memset(r.szDeviceMailAddress, 'a', sizeof r.szDeviceMailAddress);
         std::memset(r.szSenderSubject, 'b', sizeof r.szSenderSubject);
         std::memset(r.szSMTPAuthPassword, 'c', sizeof r.szSMTPAuthPassword);
       }},
      {"bytes that are not UTF-8, and bytes after the NUL", [](FCL_RS_PARAM_EMAIL& r) {
         r.szSMTPServerName[0] = char(0xFF);
         r.szSMTPServerName[1] = char(0xC3);
         r.szSenderMessage[3] = 0;
         r.szSenderMessage[4] = 'x';
       }},
      // Shown, each is longer than its array holds: untouched, that blocks nothing.
      {"every text array full, no NUL, ending in half a character", [](FCL_RS_PARAM_EMAIL& r) {
         auto fill = [](char* field, std::size_t n) {
           std::memset(field, 'a', n);
           field[n - 1] = char(0xC3);
         };
         fill(r.szDeviceMailAddress, sizeof r.szDeviceMailAddress);
         fill(r.szSMTPServerName, sizeof r.szSMTPServerName);
         fill(r.szSMTPAuthAccount, sizeof r.szSMTPAuthAccount);
         fill(r.szSMTPAuthPassword, sizeof r.szSMTPAuthPassword);
         fill(r.szSenderSubject, sizeof r.szSenderSubject);
         fill(r.szSenderMessage, sizeof r.szSenderMessage);
       }},
  };
  ScriptedDialogs dialogs;  // any alert fails the test
  ShownPage shown;  // one page, filled again for each case
  for (const Case& c : cases) {
    FCL_RS_PARAM_EMAIL record = scannerRecord();
    c.edit(record);
    shown.page.setParam(record);
    EXPECT_EQ(shown.page.isDataError(), 0) << c.what;
    EXPECT_FALSE(shown.page.isDataChanged(record)) << c.what;
    EXPECT_TRUE(sameBytes(saved(shown.page, record), record)) << c.what;
  }
}

TEST(EmailServerPage, TypingFilters) {
  struct Case {
    const char* what;
    QLineEdit* Controls::*field;
    QString typed;
    QString shown;
  };
  const Case cases[] = {
      {"account loses & < >", &Controls::textAccount, "a&b<c>", "abc"},
      {"mail address loses & < >", &Controls::textMailAddress, "a<b>@c&d.com", "ab@cd.com"},
      {"server loses & < >", &Controls::textServer, "smtp&.<x>.org", "smtp.x.org"},
      {"password keeps & < >", &Controls::textPassword, "p&<>", "p&<>"},
      {"subject keeps & < >", &Controls::textSubject, "A & B", "A & B"},
      {"port: digits", &Controls::textPort, "2525", "2525"},
      {"port: a letter goes", &Controls::textPort, "25a", "25"},
      {"port: nothing numeric", &Controls::textPort, "abc", ""},
      {"port: digits only, no point", &Controls::textPort, "25.9", "259"},
      {"port: no sign", &Controls::textPort, "-25", "25"},
      {"port: a letter typed between digits", &Controls::textPort, "2x5", "25"},
      {"maximum size: digits only", &Controls::textMaxSize, "7kb", "7"},
      {"maximum size: no point", &Controls::textMaxSize, "2.5", "25"},
      {"maximum size: no sign", &Controls::textMaxSize, "-3", "3"},
  };
  ShownPage shown;
  for (const Case& c : cases) {
    shown.page.setParam(scannerRecord());
    QLineEdit* field = shown.ui().*c.field;
    typeInto(field, c.typed);
    EXPECT_EQ(field->text(), c.shown) << c.what;
  }
}

TEST(EmailServerPage, FilteredTypingInTheMiddleKeepsTheCursorThere) {
  ShownPage shown;
  QLineEdit* account = shown.ui().textAccount;
  typeInto(account, "abcd");
  account->setCursorPosition(2);
  typeText(account, "&X");
  EXPECT_EQ(account->text(), "abXcd");
  EXPECT_EQ(account->cursorPosition(), 3);
}

TEST(EmailServerPage, MaximumSizeFieldAndStepper) {
  ShownPage shown;
  QLineEdit* field = shown.ui().textMaxSize;
  platform::Stepper* stepper = shown.ui().stepperMaxSize;
  EXPECT_EQ(field->text(), "10");
  EXPECT_EQ(stepper->intValue(), 10);
  typeInto(field, "20");
  EXPECT_EQ(stepper->intValue(), 20);
  QTest::mouseClick(stepper->upButton(), Qt::LeftButton);
  EXPECT_EQ(field->text(), "21");
  EXPECT_EQ(saved(shown.page).byMailMaximumSize, 21);

  // An empty field becomes 5 when the controls are read, also by the change check.
  for (uint8_t stored : {uint8_t(5), uint8_t(7)}) {
    FCL_RS_PARAM_EMAIL record = scannerRecord();
    record.byMailMaximumSize = stored;
    shown.page.setParam(record);
    typeInto(field, "");
    EXPECT_EQ(shown.page.isDataChanged(record), stored != 5) << int(stored);
    EXPECT_EQ(field->text(), "5");
    EXPECT_EQ(stepper->intValue(), 5);
    EXPECT_EQ(saved(shown.page, record).byMailMaximumSize, 5);
  }
}

TEST(EmailServerPage, PortReading) {
  struct Case {
    const char* typed;
    uint16_t stored;
    const char* shownAfter;
  };
  // The field never shows another number than the one stored ("465.9" cannot be typed).
  const Case cases[] = {{"25", 25, "25"}, {"1", 1, "1"}, {"65535", 65535, "65535"}, {"465.9", 4659, "4659"}};
  ShownPage shown;
  for (const Case& c : cases) {
    shown.page.setParam(scannerRecord());
    typeInto(shown.ui().textPort, c.typed);
    EXPECT_EQ(shown.page.isDataError(), 0) << c.typed;
    EXPECT_EQ(saved(shown.page).wSMTPPort, c.stored) << c.typed;
    EXPECT_EQ(shown.ui().textPort->text(), c.shownAfter) << c.typed;
  }
}

// A port the scanner cannot use, or a maximum size that does not fit its byte, is error 2: the
// main window's out-of-range alert, the focus in the field. Nothing of it reaches the record.
TEST(EmailServerPage, NumbersThatDoNotFitTheirFieldAreRefused) {
  struct Case {
    const char* what;
    QLineEdit* Controls::*field;
    const char* typed;
    int sizeLimitItem;
    int32_t error;
    uint16_t port;    // stored after saving anyway
    uint8_t maxSize;  // stored after saving anyway
  };
  const Case cases[] = {
      {"port 70000", &Controls::textPort, "70000", 1, 2, 587, 10},
      {"port 65536", &Controls::textPort, "65536", 1, 2, 587, 10},
      {"port 0", &Controls::textPort, "0", 1, 2, 0, 10},
      {"port emptied", &Controls::textPort, "", 1, 2, 0, 10},
      {"port eleven digits", &Controls::textPort, "99999999999", 1, 2, 587, 10},
      {"size 256", &Controls::textMaxSize, "256", 1, 2, 587, 10},
      {"size 255", &Controls::textMaxSize, "255", 1, 0, 587, 255},
      {"size 0", &Controls::textMaxSize, "0", 1, 0, 587, 0},
      {"size 256 with the limit off", &Controls::textMaxSize, "256", 0, 0, 587, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;
    ShownPage shown;
    QLineEdit* field = shown.ui().*c.field;
    typeInto(field, c.typed);  // typed while the size limit is on
    ASSERT_TRUE(shown.ui().popupSizeLimit->chooseItem(c.sizeLimitItem));
    shown.ui().textSubject->setFocus();
    const int32_t code = shown.page.isDataError();
    EXPECT_EQ(code, c.error);
    EXPECT_TRUE(dialogs.alerts().empty());  // the page shows none itself
    if (c.error != 0) {
      EXPECT_EQ(shown.page.focusWidget(), field);
      dialogs.expectAlert(0, text("IDS_CM_ERROR"));
      EXPECT_TRUE(checkDataError(code, shown.page.failedField()));
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      const QString range = field == shown.ui().textPort ? QString::fromUtf8("Port is out of range or not in the right form. Please enter a value in the range 1\u201365535.")
                                                         : QString::fromUtf8("Maximum size (MB) is out of range or not in the right form. Please enter a value in the range 0\u2013255.");
      EXPECT_EQ(dialogs.alerts().back().information, range);
    }
    // Whatever the check said, the stored value is never replaced by its low bits.
    const FCL_RS_PARAM_EMAIL out = saved(shown.page);
    EXPECT_EQ(out.wSMTPPort, c.port);
    EXPECT_EQ(out.byMailMaximumSize, c.maxSize);
  }
}

TEST(EmailServerPage, ErrorCheck) {
  enum class Focus { None, Account, Retype };
  struct Case {
    const char* what;
    int authItem;
    const char* mail;
    const char* account;
    const char* password;
    const char* retype;
    int32_t error;
    const char* alertInformationKey;  // nullptr: no alert
    const char* emptyFieldKey;        // the field named by IDS_CANNOT_EMPTY_ERR_MSG
    Focus focus;
  };
  const Case cases[] = {
      {"all good", 1, "a@b.com", "acc", "pw", "pw", 0, nullptr, nullptr, Focus::None},
      {"empty mail address passes", 1, "", "acc", "pw", "pw", 0, nullptr, nullptr, Focus::None},
      {"mail address without an at sign", 1, "scanner.example.com", "", "", "", 3, nullptr, nullptr, Focus::None},
      {"mail address with a one-letter last label", 0, "a@b.c", "acc", "pw", "pw", 3, nullptr, nullptr, Focus::None},
      {"empty account", 1, "a@b.com", "", "pw", "pw", 999, "IDS_CANNOT_EMPTY_ERR_MSG", "IDS_NE_ACCOUNT", Focus::Account},
      {"different passwords", 1, "a@b.com", "acc", "pw", "Pw", 999, "IDS_PI_ERROR_MSG", nullptr, Focus::Retype},
      {"both passwords empty", 1, "a@b.com", "acc", "", "", 999, "IDS_CANNOT_EMPTY_ERR_MSG", "IDS_PF_PASSWORD",
       Focus::Retype},
      {"retype empty", 1, "a@b.com", "acc", "pw", "", 999, "IDS_CANNOT_EMPTY_ERR_MSG", "IDS_PF_RETYPE_PASSWORD",
       Focus::Retype},
      {"auth off: account and passwords not examined", 0, "a@b.com", "", "pw1", "pw2", 0, nullptr, nullptr, Focus::None},
  };
  for (const Case& c : cases) {
    ScriptedDialogs dialogs;
    ShownPage shown;
    const Controls& ui = shown.ui();
    // Typed while authentication is on (the fields are enabled), then the pop-up as the case says.
    typeInto(ui.textMailAddress, c.mail);
    typeInto(ui.textAccount, c.account);
    typeInto(ui.textPassword, c.password);
    typeInto(ui.textRetype, c.retype);
    ASSERT_TRUE(ui.popupAuth->chooseItem(c.authItem));
    ui.textSubject->setFocus();
    if (c.alertInformationKey != nullptr) dialogs.expectAlert(0, text("IDS_CM_WARNING"));
    EXPECT_EQ(shown.page.isDataError(), c.error) << c.what;
    EXPECT_EQ(dialogs.pendingAlerts(), 0u) << c.what;
    if (c.alertInformationKey == nullptr) {
      EXPECT_TRUE(dialogs.alerts().empty()) << c.what;
    } else {
      ASSERT_EQ(dialogs.alerts().size(), 1u) << c.what;
      QString information = text(c.alertInformationKey);
      if (c.emptyFieldKey != nullptr)
        information = platform::formatText(information, {text(c.emptyFieldKey), text(c.emptyFieldKey)});
      EXPECT_EQ(dialogs.alerts()[0].information, information) << c.what;
      EXPECT_EQ(dialogs.alerts()[0].buttons.size(), 1) << c.what;
    }
    QWidget* expectedFocus = c.focus == Focus::Account  ? static_cast<QWidget*>(ui.textAccount)
                             : c.focus == Focus::Retype ? static_cast<QWidget*>(ui.textRetype)
                                                        : static_cast<QWidget*>(ui.textSubject);
    EXPECT_EQ(shown.page.focusWidget(), expectedFocus) << c.what;
    if (c.error == 0) {
      // The password is stored also with authentication off; the retype is not stored at all.
      const FCL_RS_PARAM_EMAIL out = saved(shown.page);
      EXPECT_EQ(platform::textFromField(out.szSMTPAuthPassword), c.password) << c.what;
      EXPECT_EQ(platform::textFromField(out.szSMTPAuthAccount), c.account) << c.what;
      EXPECT_EQ(out.bySMTPAuthentication, c.authItem) << c.what;
    }
  }
}

// ---- Stored values outside the checks ---------------------------------------------------------------------

// A record the error check would refuse if the user had typed it (the demo scanner's SMTP-AUTH
// with an empty password among them) never keeps the user on the page: not when leaving, again
// and again, not after edits of other fields (the account included), not after the
// authentication pop-up was changed and changed back; and it is saved as stored.
TEST(EmailServerPage, StoredValuesOutsideTheChecksNeverBlock) {
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PARAM_EMAIL&)> edit;
  };
  const Case cases[] = {
      {"SMTP-AUTH with an empty password (the demo scanner)", [](FCL_RS_PARAM_EMAIL& r) {
         platform::textToField(r.szSMTPAuthAccount, QStringLiteral("scanner"));
         platform::textToField(r.szSMTPAuthPassword, QString());
       }},
      {"SMTP-AUTH with an empty account and password", [](FCL_RS_PARAM_EMAIL& r) {
         platform::textToField(r.szSMTPAuthAccount, QString());
         platform::textToField(r.szSMTPAuthPassword, QString());
       }},
      {"mail address without an at sign", [](FCL_RS_PARAM_EMAIL& r) {
         platform::textToField(r.szDeviceMailAddress, QStringLiteral("scanner.example.com"));
       }},
      {"mail address with a one-letter last label", [](FCL_RS_PARAM_EMAIL& r) {
         platform::textToField(r.szDeviceMailAddress, QStringLiteral("a@b.c"));
       }},
  };
  ShownPage shown;
  const Controls& ui = shown.ui();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;  // any alert fails the test
    FCL_RS_PARAM_EMAIL record = scannerRecord();
    c.edit(record);
    shown.page.setParam(record);
    for (int attempt = 0; attempt < 3; ++attempt) EXPECT_EQ(shown.page.isDataError(), 0);

    FCL_RS_PARAM_EMAIL expected = record;
    typeInto(ui.textSubject, "Invoice");
    platform::textToField(expected.szSenderSubject, QStringLiteral("Invoice"));
    typeInto(ui.textAccount, "office2");
    platform::textToField(expected.szSMTPAuthAccount, QStringLiteral("office2"));
    ASSERT_TRUE(ui.popupNotification->chooseItem(0));
    expected.byMailNotification = 0;
    ASSERT_TRUE(ui.popupAuth->chooseItem(0));
    ASSERT_TRUE(ui.popupAuth->chooseItem(1));
    EXPECT_EQ(shown.page.isDataError(), 0);
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_TRUE(sameBytes(saved(shown.page, record), expected));
  }
}

// What the user changed is checked, and a requirement the user switched on applies to the stored
// value it now covers: choosing SMTP-AUTH over an empty stored account or password refuses.
TEST(EmailServerPage, ChangedValuesAndTheirRequirementsStillBlock) {
  enum class Focus { None, Account, Retype };
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PARAM_EMAIL&)> edit;
    std::function<void(const Controls&)> act;
    int32_t error;
    const char* emptyFieldKey;  // the field named by the IDS_CANNOT_EMPTY_ERR_MSG alert; nullptr: no alert
    Focus focus;
  };
  const auto noPassword = [](FCL_RS_PARAM_EMAIL& r) { platform::textToField(r.szSMTPAuthPassword, QString()); };
  const Case cases[] = {
      {"the user empties the password", [](FCL_RS_PARAM_EMAIL&) {},
       [](const Controls& ui) {
         typeInto(ui.textPassword, "");
         typeInto(ui.textRetype, "");
       },
       999, "IDS_PF_PASSWORD", Focus::Retype},
      {"a password typed over an empty stored one, not retyped", noPassword,
       [](const Controls& ui) { typeInto(ui.textPassword, "pw"); }, 999, "IDS_PF_RETYPE_PASSWORD", Focus::Retype},
      {"only the retype typed over an empty stored password", noPassword,
       [](const Controls& ui) { typeInto(ui.textRetype, "pw"); }, 999, "IDS_PF_PASSWORD", Focus::Retype},
      {"SMTP-AUTH chosen over an empty stored password",
       [noPassword](FCL_RS_PARAM_EMAIL& r) {
         noPassword(r);
         r.bySMTPAuthentication = 0;
       },
       [](const Controls& ui) { ui.popupAuth->chooseItem(1); }, 999, "IDS_PF_PASSWORD", Focus::Retype},
      {"SMTP-AUTH chosen over an empty stored account",
       [](FCL_RS_PARAM_EMAIL& r) {
         platform::textToField(r.szSMTPAuthAccount, QString());
         r.bySMTPAuthentication = 0;
       },
       [](const Controls& ui) { ui.popupAuth->chooseItem(1); }, 999, "IDS_NE_ACCOUNT", Focus::Account},
      {"SMTP-AUTH chosen over a stored value no item stands for, empty password",
       [noPassword](FCL_RS_PARAM_EMAIL& r) {
         noPassword(r);
         r.bySMTPAuthentication = 7;
       },
       [](const Controls& ui) { ui.popupAuth->chooseItem(1); }, 999, "IDS_PF_PASSWORD", Focus::Retype},
      {"a malformed mail address typed", [](FCL_RS_PARAM_EMAIL&) {},
       [](const Controls& ui) { typeInto(ui.textMailAddress, "scanner.example.com"); }, 3, nullptr, Focus::None},
      {"authentication switched off: the empty password is not required", noPassword,
       [](const Controls& ui) { ui.popupAuth->chooseItem(0); }, 0, nullptr, Focus::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;
    FCL_RS_PARAM_EMAIL record = scannerRecord();
    c.edit(record);
    ShownPage shown(record);
    const Controls& ui = shown.ui();
    c.act(ui);
    ui.textSubject->setFocus();
    if (c.emptyFieldKey != nullptr) dialogs.expectAlert(0, text("IDS_CM_WARNING"));
    EXPECT_EQ(shown.page.isDataError(), c.error);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    if (c.emptyFieldKey == nullptr) {
      EXPECT_TRUE(dialogs.alerts().empty());
    } else {
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      const QString field = text(c.emptyFieldKey);
      EXPECT_EQ(dialogs.alerts()[0].information,
                platform::formatText(text("IDS_CANNOT_EMPTY_ERR_MSG"), {field, field}));
    }
    QWidget* expectedFocus = c.focus == Focus::Account  ? static_cast<QWidget*>(ui.textAccount)
                             : c.focus == Focus::Retype ? static_cast<QWidget*>(ui.textRetype)
                                                        : static_cast<QWidget*>(ui.textSubject);
    EXPECT_EQ(shown.page.focusWidget(), expectedFocus);
  }
}

// The typing limits count the bytes of the field's array: a text that fits is stored whole,
// byte for byte; an edit beyond the limit is refused with an alert naming the field and its limit,
// the field keeps its last accepted text, and the record never receives a cut text.
TEST(EmailServerPage, TextsAreStoredWholeOrRefusedWithAnAlert) {
  enum class How { Typed, Pasted };
  struct Case {
    const char* what;
    QLineEdit* Controls::*field;
    Array array;  // the retype field's: the password's, which it never writes
    const char* labelKey;
    How how;
    QString input;
    bool taken;
  };
  const QString e2 = QString(QChar(0x00E9));                      // é, two bytes
  const QString e3 = QString(QChar(0x20AC));                      // €, three bytes
  const QString e4 = QString::fromUtf8("\xF0\x9F\x93\xA7");       // four bytes, two UTF-16 units
  const Array mail = arrayOf(&FCL_RS_PARAM_EMAIL::szDeviceMailAddress);
  const Array server = arrayOf(&FCL_RS_PARAM_EMAIL::szSMTPServerName);
  const Array account = arrayOf(&FCL_RS_PARAM_EMAIL::szSMTPAuthAccount);
  const Array password = arrayOf(&FCL_RS_PARAM_EMAIL::szSMTPAuthPassword);
  const Array subject = arrayOf(&FCL_RS_PARAM_EMAIL::szSenderSubject);
  const Array message = arrayOf(&FCL_RS_PARAM_EMAIL::szSenderMessage);
  const Case cases[] = {
      {"mail address, ASCII at 127", &Controls::textMailAddress, mail, "IDS_NE_MAIL_ADDRESS", How::Typed,
       QString(121, u'm') + "@a.com", true},
      {"mail address, one byte over", &Controls::textMailAddress, mail, "IDS_NE_MAIL_ADDRESS", How::Typed,
       QString(122, u'm') + "@a.com", false},
      {"server, ASCII at 63", &Controls::textServer, server, "IDS_NE_SERVER", How::Typed, QString(63, u'x'), true},
      {"server, one byte over", &Controls::textServer, server, "IDS_NE_SERVER", How::Pasted, QString(64, u'x'), false},
      {"account, 21 three-byte characters", &Controls::textAccount, account, "IDS_NE_ACCOUNT", How::Pasted,
       e3.repeated(21), true},
      {"account, a four-byte character at 62", &Controls::textAccount, account, "IDS_NE_ACCOUNT", How::Typed,
       QString(62, u'x') + e4, false},
      {"account, full after the strip", &Controls::textAccount, account, "IDS_NE_ACCOUNT", How::Typed,
       QString(62, u'x') + "&y", true},
      {"account shorter than stored", &Controls::textAccount, account, "IDS_NE_ACCOUNT", How::Typed, "of", true},
      {"password, 40 two-byte characters", &Controls::textPassword, password, "IDS_PF_PASSWORD", How::Pasted,
       e2.repeated(40), false},
      {"password, 31 two-byte characters and a letter", &Controls::textPassword, password, "IDS_PF_PASSWORD",
       How::Typed, e2.repeated(31) + "a", true},
      {"retype, one byte over", &Controls::textRetype, password, "IDS_PF_RETYPE_PASSWORD", How::Pasted,
       QString(64, u'r'), false},
      {"subject, ASCII at 255", &Controls::textSubject, subject, "IDS_NE_SENDER_SUBJECT", How::Pasted,
       QString(255, u's'), true},
      {"subject, 255 two-byte characters", &Controls::textSubject, subject, "IDS_NE_SENDER_SUBJECT", How::Pasted,
       e2.repeated(255), false},
      {"message, 127 two-byte characters and a letter", &Controls::textMessage, message, "IDS_NE_SENDER_MESSAGE",
       How::Pasted, e2.repeated(127) + "m", true},
      {"message, 128 two-byte characters typed", &Controls::textMessage, message, "IDS_NE_SENDER_MESSAGE",
       How::Typed, e2.repeated(128), false},
  };
  const FCL_RS_PARAM_EMAIL record = scannerRecord();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;  // an alert not expected fails the test
    ShownPage shown(record);
    const Controls& ui = shown.ui();
    QLineEdit* field = ui.*c.field;
    const QString stored = field->text();
    if (!c.taken) dialogs.expectAlert(0, tooLongMessage(c.labelKey, c.array.capacity));
    if (c.how == How::Pasted) {
      paste(field, c.input);
    } else {
      typeInto(field, c.input);
    }
    // A password the user changes is retyped, or the password check refuses.
    if (c.taken && field == ui.textPassword) paste(ui.textRetype, c.input);

    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    // Taken: the text as typed, less the "&" of the strip case. Refused: a paste leaves the text
    // before it, typing keeps what was typed before the last key.
    const int lastUnits = c.input.endsWith(e4) ? 2 : 1;
    const QString after = c.taken                 ? QString(c.input).remove(u'&')
                          : c.how == How::Pasted ? stored
                                                  : c.input.chopped(lastUnits);
    if (c.taken) {
      EXPECT_TRUE(dialogs.alerts().empty());
    } else {
      EXPECT_EQ(dialogs.alerts().size(), 1u);
      for (const ScriptedDialogs::Alert& alert : dialogs.alerts()) {
        EXPECT_EQ(alert.information, text("IDS_CM_TEXT_TOO_LONG_INFO"));
        EXPECT_EQ(alert.buttons.size(), 1);
      }
    }
    EXPECT_EQ(field->text(), after);
    // What the field holds now can be saved, and is stored byte for byte.
    EXPECT_EQ(shown.page.isDataError(), 0);
    const QByteArray want = field == ui.textRetype || after == stored ? c.array.bytes(record)
                                                                      : arrayBytes(after, c.array.capacity);
    EXPECT_EQ(c.array.bytes(saved(shown.page)).toHex().toStdString(), want.toHex().toStdString());
  }
}

// The error check refuses a changed text its array cannot hold, however it got there (set
// without typing, or a stored text longer than the array edited down but not enough): the alert
// names the field and its limit, the focus goes to it, 999; the record keeps the stored bytes.
TEST(EmailServerPage, ErrorCheckRefusesAChangedTextThatDoesNotFit) {
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PARAM_EMAIL&)> edit;
    std::function<void(const Controls&)> act;
    QLineEdit* Controls::*field;
    Array array;
    const char* labelKey;
  };
  const Case cases[] = {
      {"subject set without typing", [](FCL_RS_PARAM_EMAIL&) {},
       [](const Controls& ui) { ui.textSubject->setText(QString(256, u's')); }, &Controls::textSubject,
       arrayOf(&FCL_RS_PARAM_EMAIL::szSenderSubject), "IDS_NE_SENDER_SUBJECT"},
      // 64 bytes that are not UTF-8 show as 64 replacement characters, 192 bytes.
      {"stored password not UTF-8, one character deleted",
       [](FCL_RS_PARAM_EMAIL& r) { std::memset(r.szSMTPAuthPassword, 0xFF, sizeof r.szSMTPAuthPassword); },
       [](const Controls& ui) {
         ui.textPassword->setFocus();
         QTest::keyClick(ui.textPassword, Qt::Key_End);
         QTest::keyClick(ui.textPassword, Qt::Key_Backspace);
       },
       &Controls::textPassword, arrayOf(&FCL_RS_PARAM_EMAIL::szSMTPAuthPassword), "IDS_PF_PASSWORD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;
    FCL_RS_PARAM_EMAIL record = scannerRecord();
    c.edit(record);
    ShownPage shown(record);
    const Controls& ui = shown.ui();
    c.act(ui);
    EXPECT_TRUE(dialogs.alerts().empty());  // typing shorter is always taken
    ui.textServer->setFocus();
    dialogs.expectAlert(0, tooLongMessage(c.labelKey, c.array.capacity));
    EXPECT_EQ(shown.page.isDataError(), kPageErrorShown);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().size(), 1u);
    for (const ScriptedDialogs::Alert& alert : dialogs.alerts())
      EXPECT_EQ(alert.information, text("IDS_CM_TEXT_TOO_LONG_INFO"));
    EXPECT_EQ(shown.page.focusWidget(), ui.*c.field);
    EXPECT_EQ(c.array.bytes(saved(shown.page, record)).toHex().toStdString(),
              c.array.bytes(record).toHex().toStdString());
  }
}

TEST(EmailServerPage, PopUpsItemsAndEnabling) {
  FCL_RS_PARAM_EMAIL record = scannerRecord();
  record.bySMTPSecureConnection = 1;
  record.bySMTPVerifyCertificate = 1;
  record.bySMTPAuthentication = 0;
  record.byMailSizeLimit = 0;
  ShownPage shown(record);
  const Controls& ui = shown.ui();
  EXPECT_EQ(ui.popupAuth->numberOfItems(), 2);
  EXPECT_EQ(ui.popupSecure->numberOfItems(), 3);
  EXPECT_EQ(ui.popupSecure->itemTitle(2), text("IDS_NE_TLS"));
  EXPECT_EQ(ui.popupVerifyCert->itemTitle(0), text("IDS_GS_OFF"));
  // The hidden items show what is stored, but the user cannot choose them.
  EXPECT_EQ(ui.popupSecure->titleOfSelectedItem(), text("IDS_NE_SSL"));
  EXPECT_EQ(ui.popupVerifyCert->indexOfSelectedItem(), 1);
  EXPECT_FALSE(ui.popupSecure->chooseItem(1));
  EXPECT_FALSE(ui.popupVerifyCert->chooseItem(1));

  for (QWidget* w : std::initializer_list<QWidget*>{ui.textAccount, ui.textPassword, ui.textRetype, ui.textMaxSize,
                                                    ui.stepperMaxSize})
    EXPECT_FALSE(w->isEnabled());
  ASSERT_TRUE(ui.popupAuth->chooseItem(1));
  for (QWidget* w : std::initializer_list<QWidget*>{ui.textAccount, ui.textPassword, ui.textRetype})
    EXPECT_TRUE(w->isEnabled());
  EXPECT_FALSE(ui.textMaxSize->isEnabled());
  ASSERT_TRUE(ui.popupSizeLimit->chooseItem(1));
  EXPECT_TRUE(ui.textMaxSize->isEnabled());
  EXPECT_TRUE(ui.stepperMaxSize->isEnabled());
  ASSERT_TRUE(ui.popupAuth->chooseItem(0));
  EXPECT_FALSE(ui.textAccount->isEnabled());

  ASSERT_TRUE(ui.popupSecure->chooseItem(2));
  ASSERT_TRUE(ui.popupNotification->chooseItem(0));
  EXPECT_TRUE(shown.page.isDataChanged(record));
  const FCL_RS_PARAM_EMAIL out = saved(shown.page, record);
  EXPECT_EQ(out.bySMTPSecureConnection, 2);
  EXPECT_EQ(out.bySMTPVerifyCertificate, 1);
  EXPECT_EQ(out.bySMTPAuthentication, 0);
  EXPECT_EQ(out.byMailSizeLimit, 1);
  EXPECT_EQ(out.byMailNotification, 0);

  // A value beyond the items shows no selection and disables its fields, until the user picks.
  record.bySMTPAuthentication = 5;
  shown.page.setParam(record);
  EXPECT_EQ(ui.popupAuth->indexOfSelectedItem(), -1);
  EXPECT_FALSE(ui.textAccount->isEnabled());
  EXPECT_EQ(saved(shown.page, record).bySMTPAuthentication, 5);
  ASSERT_TRUE(ui.popupAuth->chooseItem(1));
  EXPECT_EQ(saved(shown.page, record).bySMTPAuthentication, 1);
}

TEST(EmailServerPage, FillingResetsTheRetypeFieldAndRunsNoFilter) {
  FCL_RS_PARAM_EMAIL record = scannerRecord();
  ShownPage shown(record);
  const Controls& ui = shown.ui();
  EXPECT_EQ(ui.textRetype->text(), "Secret1");
  typeInto(ui.textRetype, "other");
  shown.page.setParam(record);
  EXPECT_EQ(ui.textRetype->text(), "Secret1");
  // A stored account with characters the typing filter removes is shown as stored.
  std::strcpy(record.szSMTPAuthAccount, "a&b");
  shown.page.setParam(record);
  EXPECT_EQ(ui.textAccount->text(), "a&b");
  EXPECT_FALSE(shown.page.isDataChanged(record));
}

TEST(EmailServerPage, TraceAndChangeLog) {
  ScopedDebugMask mask(0x42);
  LogCapture log;
  const FCL_RS_PARAM_EMAIL record = scannerRecord();
  ShownPage shown(record);
  EXPECT_TRUE(log.contains(">>>>>>>>> -[NetworkEmailControllerObjC setParam:] ENTER"));
  EXPECT_TRUE(log.contains("<<<<<<<<< -[NetworkEmailControllerObjC setParam:] END \n  "));
  EXPECT_TRUE(log.contains(">>>>>>>>> -[NetworkEmailControllerObjC initUI] ENTER"));
  EXPECT_FALSE(shown.page.isDataChanged(record));
  EXPECT_TRUE(log.contains("No data is changed!"));
  log.clear();
  typeInto(shown.ui().textServer, "x");
  EXPECT_TRUE(log.contains(">>>>>>>>> -[NetworkEmailControllerObjC controlTextDidChange:] ENTER"));
  EXPECT_TRUE(shown.page.isDataChanged(record));
  EXPECT_EQ(log.lines().filter(QRegularExpression("^Email Data is changed! -?[1-9][0-9]*$")).size(), 1)
      << log.lines().join("|").toStdString();
  EXPECT_FALSE(log.contains("No data is changed!"));
}

// Renders the page at the main window's page size into <build dir>/screenshots/.
TEST(EmailServerPage, Screenshot) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  ShownPage shown;
  QApplication::processEvents();
  const QImage image = shown.page.grab().toImage();
  EXPECT_EQ(image.size(), pagelayout::kPageSize);
  const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/email-server.png");
  EXPECT_TRUE(image.save(path)) << path.toStdString();
}
