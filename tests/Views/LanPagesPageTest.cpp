// The wired and wireless LAN pages driven as a user drives them: typing into the octet fields,
// choosing pop-up items, then reading what getParam writes and what isDataError answers. The
// DHCP poll runs against the simulated scanner on loopback.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "IO/FCLCodes.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/NetworkWLANControllerObjC.h"
#include "Views/NetworkWiredLANControllerObjC.h"
#include "Views/PageErrors.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"
#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"
#include "support/SimScanner.h"

using namespace std::chrono_literals;

namespace {

using Base = NetworkLANControllerBase;

class ScopedDebugMask {
 public:
  explicit ScopedDebugMask(int32_t mask) : m_previous(Utilities::sharedInstance().nDebugMask()) {
    Utilities::sharedInstance().setDebugMask(mask);
  }
  ~ScopedDebugMask() { Utilities::sharedInstance().setDebugMask(m_previous); }

 private:
  int32_t m_previous;
};

// What differs between the two pages, as the tests see it.
struct Kind {
  const char* name;
  std::function<std::unique_ptr<Base>()> make;
  FCL_RS_PARAM_NETWORK FCL_RS_PARAM_ALL::*record;
  uint16_t qualifier;      // of the scanner's interface record
  const char* className;
  const char* changePrefix;
  const char* ipError;     // initUI's error text for the IP address
};
const Kind kKinds[] = {
    {"wired", [] { return std::make_unique<NetworkWiredLANControllerObjC>(); }, &FCL_RS_PARAM_ALL::sWiredLAN,
     FCLD_RS_NETWORK_WIRED, "NetworkWiredLANControllerObjC", "netWiredLAN", "ERROR: Not valid ip"},
    {"wireless", [] { return std::make_unique<NetworkWLANControllerObjC>(); }, &FCL_RS_PARAM_ALL::sWirelessLAN,
     FCLD_RS_NETWORK_WIRELESS, "NetworkWLANControllerObjC", "WLAN", "Not valid IP"},
};

// An interface record as a scanner holds it. Every byte the page does not edit carries a pattern,
// so that a page that touches them shows up in the comparisons; the texts are zero-filled.
FCL_RS_PARAM_NETWORK sampleRecord() {
  FCL_RS_PARAM_NETWORK n;
  std::memset(&n, 0xA5, sizeof n);
  n.byBootMethod = 0;
  n.byIPBootTries = 3;
  n.byAPIPA = 1;
  n.byEthLinkSpeed = 2;
  n.byDHCPGetIP = 0;
  n.byWINSConfig = 1;
  platform::textToField(n.szIPAddress, QStringLiteral("192.168.1.20"));
  platform::textToField(n.szSubnetMask, QStringLiteral("255.255.255.0"));
  platform::textToField(n.szGateway, QStringLiteral("192.168.1.1"));
  platform::textToField(n.szNodeName, QStringLiteral("scanner01"));
  platform::textToField(n.szWINSServerPrimary, QStringLiteral("10.0.0.5"));
  platform::textToField(n.szWINSServerSecondary, QStringLiteral("10.0.0.6"));
  platform::textToField(n.szDNSServerPrimary, QStringLiteral("8.8.8.8"));
  platform::textToField(n.szDNSServerSecondary, QStringLiteral("8.8.4.4"));
  return n;
}

MainWindowState stateWith(const Kind& kind, const FCL_RS_PARAM_NETWORK& record, IOWrapper* io = nullptr) {
  MainWindowState s;
  std::memset(&s.sParamAll, 0x5A, sizeof s.sParamAll);
  s.sParamAll.*kind.record = record;
  s.ioWrapper = io;
  return s;
}

// A shown page of `kind` filled from `state`.
struct ShownPage {
  ShownPage(const Kind& kind, const MainWindowState& state) : page(kind.make()) {
    page->resize(pagelayout::kPageSize);
    page->setParam(state);
    page->show();
  }
  const Base::Controls& ui() const { return page->controls(); }
  std::unique_ptr<Base> page;
};

// Replaces a field's text the way a user does: select all, then type (or delete).
void typeInto(QLineEdit* field, const QString& text) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
  else QTest::keyClicks(field, text);
}

FCL_RS_PARAM_NETWORK saved(Base& page, const MainWindowState& from, const Kind& kind) {
  MainWindowState out = from;
  EXPECT_TRUE(page.getParam(out));
  // Nothing but the page's own record may change.
  MainWindowState expect = from;
  expect.sParamAll.*kind.record = out.sParamAll.*kind.record;
  EXPECT_EQ(std::memcmp(&expect.sParamAll, &out.sParamAll, sizeof out.sParamAll), 0) << kind.name;
  return out.sParamAll.*kind.record;
}

QString text(const char* field, std::size_t n = 40) { return platform::textFromField(field, n); }

QStringList octets(const Base::OctetFields& fields) {
  QStringList out;
  for (const QLineEdit* f : fields) out << f->text();
  return out;
}

// The seven addresses of the record with their octet fields.
struct AddressField {
  const char* name;
  char (FCL_RS_PARAM_NETWORK::*field)[40];
  Base::OctetFields Base::Controls::*octets;
};
const AddressField kAddressFields[] = {
    {"IP address", &FCL_RS_PARAM_NETWORK::szIPAddress, &Base::Controls::textIP},
    {"subnet mask", &FCL_RS_PARAM_NETWORK::szSubnetMask, &Base::Controls::textSubnetMask},
    {"gateway", &FCL_RS_PARAM_NETWORK::szGateway, &Base::Controls::textGateway},
    {"WINS primary", &FCL_RS_PARAM_NETWORK::szWINSServerPrimary, &Base::Controls::textWINSPrimary},
    {"WINS secondary", &FCL_RS_PARAM_NETWORK::szWINSServerSecondary, &Base::Controls::textWINSSecondary},
    {"DNS primary", &FCL_RS_PARAM_NETWORK::szDNSServerPrimary, &Base::Controls::textDNSPrimary},
    {"DNS secondary", &FCL_RS_PARAM_NETWORK::szDNSServerSecondary, &Base::Controls::textDNSSecondary},
};

// A field's 40 bytes: `bytes` (NULs included), the rest zero.
void putBytes(char (&field)[40], const std::string& bytes) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, bytes.data(), std::min(bytes.size(), sizeof field));
}

// Stored address texts the octet fields can show only approximately.
const struct StoredText {
  const char* what;
  std::string bytes;
} kStoredTexts[] = {
    {"four parts, not numbers", "a.b.c.d"},
    {"empty, bytes after the NUL", std::string("\0\x01garbage", 9)},
    {"three parts", "1.2.3"},
    {"40 bytes without a NUL", "7.7.7." + std::string(34, '7')},
    {"not UTF-8", "10.0.\xc3.\xff"},
    {"leading zeros", "010.000.000.001"},
    {"spaces", " 1. 2.3.4"},
    {"an address, bytes after the NUL", std::string("8.8.8.8\0\x01\x02", 10)},
};

// A record whose seven addresses each hold one of the texts above.
FCL_RS_PARAM_NETWORK recordOfOddAddresses() {
  FCL_RS_PARAM_NETWORK n = sampleRecord();
  for (std::size_t i = 0; i < std::size(kAddressFields); ++i)
    putBytes(n.*kAddressFields[i].field, kStoredTexts[i].bytes);
  return n;
}

}  // namespace

TEST(LanPages, AreTheStandardFactorysLanPagesWithTheirTexts) {
  const struct {
    const char* storyboard;
    const char* viewId;
    const char* titleKey;
    const char* hintKey;
    const char* titleName;
  } cases[] = {
      {pages::kWiredLANStoryboard, "networkWiredLAN", "IDS_N_WIRED_LAN", "IDS_N_HINT_NETWORK_WIRED_LAN", "labelWiredLAN"},
      {pages::kWLANStoryboard, "networkWLAN", "IDS_N_WLAN", "IDS_N_HINT_NETWORK_WLAN", "labelWLAN"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<PageController> created = PageFactory::standard().create(QString::fromLatin1(c.storyboard));
    auto* page = dynamic_cast<Base*>(created.get());
    ASSERT_NE(page, nullptr) << c.viewId;
    EXPECT_EQ(page->viewIdentifier(), c.viewId);
    const Base::Controls& ui = page->controls();
    EXPECT_EQ(ui.labelTitle->objectName(), c.titleName);
    EXPECT_EQ(ui.labelTitle->text(), platform::tr_(QString::fromLatin1(c.titleKey)));
    EXPECT_EQ(ui.labelHint->text(), platform::tr_(QString::fromLatin1(c.hintKey)));
    EXPECT_EQ(ui.popupBootMethod->itemTitle(0), platform::tr_(QStringLiteral("IDS_N_STATIC")));
    EXPECT_EQ(ui.popupWINSConfig->itemTitle(0), platform::tr_(QStringLiteral("IDS_N_AUTO")));
    EXPECT_EQ(ui.popupWINSConfig->itemTitle(1), platform::tr_(QStringLiteral("IDS_N_STATIC")));
    EXPECT_EQ(ui.popupAPIPA->itemTitle(1), platform::tr_(QStringLiteral("IDS_GS_ON")));
    EXPECT_TRUE(ui.textNodeName->isReadOnly());
  }
}

// Nothing the user did not touch may change, also for stored values no control can show.
TEST(LanPages, UntouchedPageWritesTheRecordBackUnchanged) {
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PARAM_NETWORK&)> edit;
  };
  const Case cases[] = {
      {"ordinary record", [](FCL_RS_PARAM_NETWORK&) {}},
      {"DHCP, WINS automatic, APIPA off", [](FCL_RS_PARAM_NETWORK& n) {
         n.byBootMethod = 1;
         n.byWINSConfig = 0;
         n.byAPIPA = 0;
       }},
      {"pop-up values without an item", [](FCL_RS_PARAM_NETWORK& n) {
         n.byBootMethod = 2;
         n.byWINSConfig = 7;
         n.byAPIPA = 0xFF;
       }},
      {"node name not valid UTF-8", [](FCL_RS_PARAM_NETWORK& n) {
         std::memset(n.szNodeName, 0, sizeof n.szNodeName);
         std::memcpy(n.szNodeName, "scan\xff\xfe", 6);
       }},
      {"node name filling all 32 bytes", [](FCL_RS_PARAM_NETWORK& n) { std::memset(n.szNodeName, 'n', 32); }},
      {"address not of four parts", [](FCL_RS_PARAM_NETWORK& n) {
         platform::textToField(n.szGateway, QStringLiteral("10.0.0"));
       }},
      {"empty addresses", [](FCL_RS_PARAM_NETWORK& n) {
         std::memset(n.szWINSServerPrimary, 0, 40);
         std::memset(n.szWINSServerSecondary, 0, 40);
       }},
      {"a different odd text in each address", [](FCL_RS_PARAM_NETWORK& n) { n = recordOfOddAddresses(); }},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  for (const StoredText& t : kStoredTexts)
    all.push_back({t.what, [&t](FCL_RS_PARAM_NETWORK& n) {
                     for (const AddressField& a : kAddressFields) putBytes(n.*a.field, t.bytes);
                   }});
  for (const Kind& kind : kKinds) {
    for (const Case& c : all) {
      FCL_RS_PARAM_NETWORK record = sampleRecord();
      c.edit(record);
      const MainWindowState state = stateWith(kind, record);
      ShownPage shown(kind, state);
      EXPECT_EQ(shown.page->isDataError(), 0) << kind.name << ": " << c.what;
      EXPECT_FALSE(shown.page->isDataChanged(state)) << kind.name << ": " << c.what;
      const FCL_RS_PARAM_NETWORK out = saved(*shown.page, state, kind);
      EXPECT_EQ(std::memcmp(&out, &record, sizeof out), 0) << kind.name << ": " << c.what;
      EXPECT_FALSE(shown.page->isPollingDHCP()) << kind.name << ": " << c.what;
    }
  }
}

// What the user does to the controls, and what getParam then stores.
TEST(LanPages, ControlsAreStoredAsTyped) {
  struct Case {
    const char* what;
    std::function<void(const Base::Controls&)> act;
    std::function<void(const Base::Controls&, const FCL_RS_PARAM_NETWORK&)> check;
  };
  const Case cases[] = {
      {"octets typed into every address",
       [](const Base::Controls& ui) {
         typeInto(ui.textIP[3], "77");
         typeInto(ui.textSubnetMask[2], "128");
         typeInto(ui.textGateway[0], "172");
         typeInto(ui.textWINSPrimary[1], "9");
         typeInto(ui.textWINSSecondary[2], "8");
         typeInto(ui.textDNSPrimary[3], "1");
         typeInto(ui.textDNSSecondary[0], "4");
       },
       [](const Base::Controls&, const FCL_RS_PARAM_NETWORK& n) {
         EXPECT_EQ(text(n.szIPAddress), "192.168.1.77");
         EXPECT_EQ(text(n.szSubnetMask), "255.255.128.0");
         EXPECT_EQ(text(n.szGateway), "172.168.1.1");
         EXPECT_EQ(text(n.szWINSServerPrimary), "10.9.0.5");
         EXPECT_EQ(text(n.szWINSServerSecondary), "10.0.8.6");
         EXPECT_EQ(text(n.szDNSServerPrimary), "8.8.8.1");
         EXPECT_EQ(text(n.szDNSServerSecondary), "4.8.4.4");
       }},
      {"letters are dropped as they are typed",
       [](const Base::Controls& ui) {
         typeInto(ui.textIP[0], "12a");
         typeInto(ui.textGateway[2], "3b4");
       },
       [](const Base::Controls& ui, const FCL_RS_PARAM_NETWORK& n) {
         EXPECT_EQ(ui.textIP[0]->text(), "12");
         EXPECT_EQ(ui.textGateway[2]->text(), "34");
         EXPECT_EQ(text(n.szIPAddress), "12.168.1.20");
         EXPECT_EQ(text(n.szGateway), "192.168.34.1");
       }},
      {"four emptied octet fields store the empty address",
       [](const Base::Controls& ui) {
         for (QLineEdit* f : ui.textSubnetMask) typeInto(f, "");
       },
       [](const Base::Controls&, const FCL_RS_PARAM_NETWORK& n) {
         EXPECT_EQ(text(n.szSubnetMask), "");
         EXPECT_EQ(text(n.szIPAddress), "192.168.1.20");
       }},
      {"the limits of an octet",
       [](const Base::Controls& ui) {
         typeInto(ui.textIP[0], "255");
         typeInto(ui.textIP[3], "0");
       },
       [](const Base::Controls&, const FCL_RS_PARAM_NETWORK& n) { EXPECT_EQ(text(n.szIPAddress), "255.168.1.0"); }},
      {"pop-up choices",
       [](const Base::Controls& ui) {
         EXPECT_TRUE(ui.popupWINSConfig->chooseItem(0));
         EXPECT_TRUE(ui.popupAPIPA->chooseItem(0));
       },
       [](const Base::Controls&, const FCL_RS_PARAM_NETWORK& n) {
         EXPECT_EQ(n.byWINSConfig, 0);
         EXPECT_EQ(n.byAPIPA, 0);
         EXPECT_EQ(n.byBootMethod, 0);
       }},
  };
  for (const Kind& kind : kKinds) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(kind.name) + ": " + c.what);
      const FCL_RS_PARAM_NETWORK record = sampleRecord();
      const MainWindowState state = stateWith(kind, record);
      ShownPage shown(kind, state);
      c.act(shown.ui());
      EXPECT_TRUE(shown.page->isDataChanged(state));
      const FCL_RS_PARAM_NETWORK out = saved(*shown.page, state, kind);
      c.check(shown.ui(), out);
      // The fields the page does not edit keep the scanner's values.
      EXPECT_EQ(out.byIPBootTries, record.byIPBootTries);
      EXPECT_EQ(out.byEthLinkSpeed, record.byEthLinkSpeed);
      EXPECT_EQ(out.byDHCPGetIP, record.byDHCPGetIP);
      EXPECT_EQ(std::memcmp(&out.byInterfaceUp, &record.byInterfaceUp, 6), 0);
      EXPECT_EQ(out.dwTimeoutTcp, record.dwTimeoutTcp);
      EXPECT_EQ(out.dwTimeoutGateway, record.dwTimeoutGateway);
      EXPECT_EQ(std::memcmp(out.szMACAddress, record.szMACAddress, sizeof out.szMACAddress), 0);
      EXPECT_EQ(text(out.szNodeName, 32), "scanner01");
    }
  }
}

// A stored address that initUI cannot show leaves no earlier record's address on the page.
TEST(LanPages, AddressesThatAreNotFourPartsShowEmptyFields) {
  ScopedDebugMask mask(0x02);
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    FCL_RS_PARAM_NETWORK first = sampleRecord();
    ShownPage shown(kind, stateWith(kind, first));
    FCL_RS_PARAM_NETWORK second = sampleRecord();
    platform::textToField(second.szIPAddress, QStringLiteral("10.0.0"));
    std::memset(second.szGateway, 0, sizeof second.szGateway);
    platform::textToField(second.szDNSServerPrimary, QStringLiteral("a.b.7. 9"));
    const MainWindowState state = stateWith(kind, second);
    LogCapture log;
    shown.page->setParam(state);
    EXPECT_EQ(octets(shown.ui().textIP), QStringList({"", "", "", ""}));
    EXPECT_EQ(octets(shown.ui().textGateway), QStringList({"", "", "", ""}));
    EXPECT_EQ(octets(shown.ui().textDNSPrimary), QStringList({"0", "0", "7", "9"}));
    EXPECT_EQ(octets(shown.ui().textSubnetMask), QStringList({"255", "255", "255", "0"}));
    EXPECT_TRUE(log.contains(QStringLiteral("========= -[%1 initUI] ERROR: %2\n")
                                 .arg(QLatin1String(kind.className), QLatin1String(kind.ipError))))
        << log.lines().join(u'|').toStdString();
    // Saved untouched: every stored text stays as stored, also the one shown as "0.0.7.9".
    const FCL_RS_PARAM_NETWORK out = saved(*shown.page, state, kind);
    EXPECT_EQ(std::memcmp(&out, &second, sizeof out), 0);
    // Typing a whole address over the malformed one stores it.
    const QStringList typed{"10", "0", "0", "9"};
    for (int i = 0; i < 4; ++i) typeInto(shown.ui().textIP[std::size_t(i)], typed[i]);
    EXPECT_EQ(text(saved(*shown.page, state, kind).szIPAddress), "10.0.0.9");
  }
}

// The node name the scanner holds never keeps the user on the page, however it ends, also after
// the user edited other fields; it is saved as stored.
TEST(LanPages, StoredNodeNameNeverBlocks) {
  for (const char* nodeName : {"", "scanner.", "scanner-", "."}) {
    for (const Kind& kind : kKinds) {
      SCOPED_TRACE(std::string(kind.name) + ": \"" + nodeName + "\"");
      ScriptedDialogs dialogs;  // any alert fails the test
      FCL_RS_PARAM_NETWORK record = sampleRecord();
      platform::textToField(record.szNodeName, QString::fromLatin1(nodeName));
      const MainWindowState state = stateWith(kind, record);
      ShownPage shown(kind, state);
      for (int attempt = 0; attempt < 3; ++attempt) EXPECT_FALSE(checkDataError(shown.page->isDataError()));
      typeInto(shown.ui().textIP[3], "21");
      ASSERT_TRUE(shown.ui().popupAPIPA->chooseItem(0));
      EXPECT_FALSE(checkDataError(shown.page->isDataError()));
      EXPECT_NE(shown.page->focusWidget(), shown.ui().textNodeName);
      EXPECT_TRUE(dialogs.alerts().empty());
      FCL_RS_PARAM_NETWORK expected = record;
      platform::textToField(expected.szIPAddress, QStringLiteral("192.168.1.21"));
      expected.byAPIPA = 0;
      const FCL_RS_PARAM_NETWORK out = saved(*shown.page, state, kind);
      EXPECT_EQ(std::memcmp(&out, &expected, sizeof out), 0);
    }
  }
}

// The node name cannot be edited, so it is never checked: not the stored one, not one the page
// itself put there.
TEST(LanPages, NodeNameIsNeverChecked) {
  for (const Kind& kind : kKinds) {
    for (const char* nodeName : {"", "scanner.", "scanner-"}) {
      SCOPED_TRACE(std::string(kind.name) + ": \"" + nodeName + "\"");
      ScriptedDialogs dialogs;  // any alert fails the test
      ShownPage shown(kind, stateWith(kind, sampleRecord()));
      shown.ui().textNodeName->setText(QString::fromLatin1(nodeName));
      EXPECT_EQ(shown.page->isDataError(), 0);
      EXPECT_TRUE(dialogs.alerts().empty());
    }
  }
}

// An address the user typed is either empty (all four fields) or four octets of 0-255 in
// digits. Anything else is error 2 with the offending field focused, and never reaches the
// record: the stored address stays.
TEST(LanPages, MalformedTypedAddressesAreRefusedAndNeverWritten) {
  struct Case {
    const char* what;
    std::function<void(const Base::Controls&)> act;
    std::function<QLineEdit*(const Base::Controls&)> focus;  // the field that takes the focus
  };
  const Case cases[] = {
      {"300", [](const Base::Controls& ui) { typeInto(ui.textIP[0], "300"); },
       [](const Base::Controls& ui) { return ui.textIP[0]; }},
      {"a sign before digits: -1",
       [](const Base::Controls& ui) {
         typeInto(ui.textGateway[3], "1");
         QTest::keyClick(ui.textGateway[3], Qt::Key_Home);
         QTest::keyClick(ui.textGateway[3], '-');
       },
       [](const Base::Controls& ui) { return ui.textGateway[3]; }},
      {"eleven digits",
       [](const Base::Controls& ui) {
         for (QLineEdit* f : ui.textDNSPrimary) typeInto(f, "99999999999");
       },
       [](const Base::Controls& ui) { return ui.textDNSPrimary[0]; }},
      {"one field emptied", [](const Base::Controls& ui) { typeInto(ui.textSubnetMask[1], ""); },
       [](const Base::Controls& ui) { return ui.textSubnetMask[1]; }},
      {"three fields emptied",
       [](const Base::Controls& ui) {
         for (std::size_t i = 1; i < 4; ++i) typeInto(ui.textWINSSecondary[i], "");
       },
       [](const Base::Controls& ui) { return ui.textWINSSecondary[1]; }},
      {"a decimal point", [](const Base::Controls& ui) { typeInto(ui.textDNSSecondary[2], "1.5"); },
       [](const Base::Controls& ui) { return ui.textDNSSecondary[2]; }},
  };
  for (const Kind& kind : kKinds) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(kind.name) + ": " + c.what);
      ScriptedDialogs dialogs;
      const FCL_RS_PARAM_NETWORK record = sampleRecord();
      const MainWindowState state = stateWith(kind, record);
      ShownPage shown(kind, state);
      QApplication::setActiveWindow(shown.page.get());
      c.act(shown.ui());
      typeInto(shown.ui().textIP[2], "1");  // a valid edit elsewhere, the focus there
      EXPECT_EQ(shown.page->isDataError(), kPageErrorOutOfRange);
      EXPECT_EQ(shown.page->focusWidget(), c.focus(shown.ui()));
      // Saved anyway (the main window never does): the malformed address keeps the stored text.
      const FCL_RS_PARAM_NETWORK out = saved(*shown.page, state, kind);
      EXPECT_EQ(text(out.szIPAddress), "192.168.1.20");
      for (auto field : {&FCL_RS_PARAM_NETWORK::szSubnetMask, &FCL_RS_PARAM_NETWORK::szGateway,
                         &FCL_RS_PARAM_NETWORK::szWINSServerSecondary, &FCL_RS_PARAM_NETWORK::szDNSServerPrimary,
                         &FCL_RS_PARAM_NETWORK::szDNSServerSecondary})
        EXPECT_EQ(text(out.*field), text(record.*field));
      EXPECT_TRUE(dialogs.alerts().empty());
    }
  }
}

// A stored address outside the rules (an older firmware's "300.1.1.1") is shown, never checked
// and saved as stored.
TEST(LanPages, StoredMalformedAddressNeverBlocks) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    FCL_RS_PARAM_NETWORK record = sampleRecord();
    platform::textToField(record.szGateway, QStringLiteral("300.1.1.1"));
    const MainWindowState state = stateWith(kind, record);
    ShownPage shown(kind, state);
    typeInto(shown.ui().textIP[3], "21");
    EXPECT_EQ(shown.page->isDataError(), 0);
    const FCL_RS_PARAM_NETWORK out = saved(*shown.page, state, kind);
    EXPECT_EQ(text(out.szGateway), "300.1.1.1");
    EXPECT_EQ(text(out.szIPAddress), "192.168.1.21");
  }
}

// Typing a whole address over a stored odd text stores what was typed, in that address alone:
// the other six keep their bytes as read.
TEST(LanPages, EditingOneAddressChangesOnlyThatAddress) {
  for (const Kind& kind : kKinds) {
    for (const AddressField& edited : kAddressFields) {
      SCOPED_TRACE(std::string(kind.name) + ": " + edited.name);
      ScriptedDialogs dialogs;  // any alert fails the test
      const FCL_RS_PARAM_NETWORK record = recordOfOddAddresses();
      const MainWindowState state = stateWith(kind, record);
      ShownPage shown(kind, state);
      const QStringList typed{"10", "20", "30", "40"};
      for (std::size_t i = 0; i < 4; ++i) typeInto((shown.ui().*edited.octets)[i], typed[qsizetype(i)]);
      EXPECT_EQ(shown.page->isDataError(), 0);
      EXPECT_TRUE(shown.page->isDataChanged(state));
      FCL_RS_PARAM_NETWORK expected = record;
      putBytes(expected.*edited.field, "10.20.30.40");
      const FCL_RS_PARAM_NETWORK out = saved(*shown.page, state, kind);
      EXPECT_EQ(std::memcmp(&out, &expected, sizeof out), 0);
      EXPECT_TRUE(dialogs.alerts().empty());
    }
  }
}

// What counts as a change against the main window's record, and the line that names it.
TEST(LanPages, ChangesAgainstTheMainWindowsRecord) {
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PARAM_NETWORK&)> editMain;  // the main window's record after setParam
    bool changed;
    const char* line;  // the change line after the prefix, or nullptr
  };
  const Case cases[] = {
      {"byEthLinkSpeed differs", [](FCL_RS_PARAM_NETWORK& n) { n.byEthLinkSpeed = 9; }, false, nullptr},
      {"MAC address and time-outs differ", [](FCL_RS_PARAM_NETWORK& n) {
         n.szMACAddress[0] = 'x';
         n.dwTimeoutTcp = 1;
       }, false, nullptr},
      {"bytes after an address's end differ", [](FCL_RS_PARAM_NETWORK& n) { n.szGateway[30] = 'z'; }, false, nullptr},
      {"byIPBootTries differs", [](FCL_RS_PARAM_NETWORK& n) { n.byIPBootTries = 9; }, true, nullptr},
      {"byDHCPGetIP differs", [](FCL_RS_PARAM_NETWORK& n) { n.byDHCPGetIP = 1; }, true, nullptr},
      {"gateway differs", [](FCL_RS_PARAM_NETWORK& n) { platform::textToField(n.szGateway, QStringLiteral("192.168.1.2")); },
       true, " szGateway is changed! "},
      {"node name differs", [](FCL_RS_PARAM_NETWORK& n) { platform::textToField(n.szNodeName, QStringLiteral("other")); },
       true, " szNodeName is changed! "},
      {"secondary DNS differs", [](FCL_RS_PARAM_NETWORK& n) { std::memset(n.szDNSServerSecondary, 0, 40); }, true,
       " szDNSServerSecondary is changed! "},
  };
  ScopedDebugMask mask(0x40);
  for (const Kind& kind : kKinds) {
    for (const Case& c : cases) {
      const FCL_RS_PARAM_NETWORK record = sampleRecord();
      ShownPage shown(kind, stateWith(kind, record));
      FCL_RS_PARAM_NETWORK main = record;
      c.editMain(main);
      LogCapture log;
      EXPECT_EQ(shown.page->isDataChanged(stateWith(kind, main)), c.changed) << kind.name << ": " << c.what;
      if (!c.changed) {
        EXPECT_TRUE(log.contains("No data change!")) << kind.name << ": " << c.what;
      }
      if (c.line != nullptr) {
        const QString prefix = QString::fromLatin1(kind.changePrefix) + QLatin1String(c.line);
        bool found = false;
        for (const QString& l : log.lines()) found = found || (l.startsWith(prefix) && l.size() > prefix.size());
        EXPECT_TRUE(found) << kind.name << ": " << c.what << " | " << log.lines().join(u'|').toStdString();
      }
    }
  }
}

// ---- The DHCP poll, against the simulated scanner ------------------------------------------------------------

namespace {

struct PollRig {
  explicit PollRig(const Kind& kind, std::chrono::milliseconds socketLimit = 2s) : kind(kind), limits(socketLimit) {
    EXPECT_TRUE(io.openScanner(sim.address()));
    sim.model().setHandler(FCLC_RS_NETWORK, kind.qualifier,
                           {{}, [this](const FCL_VENDOR_CMD&, sim::Bytes& out) {
                              const int n = ++reads;
                              FCL_RS_PARAM_NETWORK reply = scannerRecord;
                              reply.byDHCPGetIP = (doneAtRead > 0 && n >= doneAtRead) ? 1 : 0;
                              std::memcpy(out.data(), &reply, std::min(out.size(), sizeof reply));
                              return 0u;
                            },
                            {}, {}});
  }
  // Runs the event loop until the page's poll ends (a guard against a poll that never ends).
  bool waitForPollEnd(const Base& page) {
    QElapsedTimer guard;
    guard.start();
    while (page.isPollingDHCP() && guard.elapsed() < 20000) QTest::qWait(2);
    return !page.isPollingDHCP();
  }

  const Kind& kind;
  ScopedSocketLimits limits;
  SimScanner sim;
  IOWrapper io;
  std::atomic<int> reads{0};
  int doneAtRead = 0;  // the read from which the scanner reports its DHCP address; 0 never
  FCL_RS_PARAM_NETWORK scannerRecord = sampleRecord();
};

}  // namespace

TEST(LanPages, ChoosingDhcpPollsUntilTheScannerHasItsAddress) {
  ScopedDebugMask mask(0x40);
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    PollRig rig(kind);
    rig.doneAtRead = 3;
    rig.scannerRecord.byBootMethod = 1;
    platform::textToField(rig.scannerRecord.szIPAddress, QStringLiteral("10.1.2.3"));
    std::memset(rig.scannerRecord.szWINSServerPrimary, 0, 40);
    putBytes(rig.scannerRecord.szDNSServerPrimary, "a.b.c.d");

    const MainWindowState state = stateWith(kind, sampleRecord(), &rig.io);
    ShownPage shown(kind, state);
    shown.page->setDHCPPollInterval(1ms);
    EXPECT_TRUE(shown.ui().popupBootMethod->chooseItem(1));
    LogCapture log;
    MainWindowState applied = state;
    ASSERT_TRUE(shown.page->getParam(applied));
    EXPECT_EQ((applied.sParamAll.*kind.record).byBootMethod, 1);
    EXPECT_TRUE(log.contains("BootMethod is changed to DHCP"));
    EXPECT_EQ(rig.reads.load(), 0);  // the first read comes after the main window's write
    ASSERT_TRUE(shown.page->isPollingDHCP());

    ASSERT_TRUE(rig.waitForPollEnd(*shown.page));
    EXPECT_EQ(rig.reads.load(), 3);
    EXPECT_EQ(shown.page->updateDHCPTimes(), 3);
    EXPECT_TRUE(log.contains("updateDHCP...3"));
    EXPECT_TRUE(log.contains("updateDHCP...Done!"));
    EXPECT_FALSE(log.contains("updateDHCP...Timeout!"));
    EXPECT_EQ(octets(shown.ui().textIP), QStringList({"10", "1", "2", "3"}));
    EXPECT_EQ(octets(shown.ui().textWINSPrimary), QStringList({"", "", "", ""}));

    // The main window's record is not the poll's: the page now differs from it.
    MainWindowState afterPoll = applied;
    EXPECT_TRUE(shown.page->isDataChanged(afterPoll));
    const FCL_RS_PARAM_NETWORK out = saved(*shown.page, afterPoll, kind);
    EXPECT_EQ(text(out.szIPAddress), "10.1.2.3");
    EXPECT_EQ(text(out.szWINSServerPrimary), "");
    // Shown as 0.0.0.0, saved as the scanner holds it.
    EXPECT_EQ(std::memcmp(out.szDNSServerPrimary, rig.scannerRecord.szDNSServerPrimary, 40), 0);
    EXPECT_EQ(out.byDHCPGetIP, 1);
    EXPECT_FALSE(shown.page->isPollingDHCP());  // DHCP was already stored: no new poll
  }
}

TEST(LanPages, DhcpPollEndsAfterItsLastTick) {
  ScopedDebugMask mask(0x40);
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    PollRig rig(kind);
    const MainWindowState state = stateWith(kind, sampleRecord(), &rig.io);
    ShownPage shown(kind, state);
    shown.page->setDHCPPollInterval(1ms);
    EXPECT_TRUE(shown.ui().popupBootMethod->chooseItem(1));
    LogCapture log;
    MainWindowState applied = state;
    shown.page->getParam(applied);
    ASSERT_TRUE(rig.waitForPollEnd(*shown.page));
    EXPECT_EQ(rig.reads.load(), Base::kDHCPPollMaxTimes);
    EXPECT_TRUE(log.contains("updateDHCP...Timeout!"));
    EXPECT_FALSE(log.contains("updateDHCP...Done!"));
    // Nothing arrived: the page shows what it showed.
    EXPECT_EQ(octets(shown.ui().textIP), QStringList({"192", "168", "1", "20"}));
  }
}

TEST(LanPages, NoPollWithoutANewlyChosenDhcp) {
  struct Case {
    const char* what;
    uint8_t stored;  // byBootMethod of the main window's record
    int chosen;      // the item the user chooses, or -1
  };
  const Case cases[] = {
      {"DHCP already stored", 1, -1},
      {"DHCP stored and chosen again", 1, 1},
      {"static chosen", 1, 0},
      {"static kept", 0, -1},
  };
  for (const Kind& kind : kKinds) {
    for (const Case& c : cases) {
      FCL_RS_PARAM_NETWORK record = sampleRecord();
      record.byBootMethod = c.stored;
      PollRig rig(kind);
      const MainWindowState state = stateWith(kind, record, &rig.io);
      ShownPage shown(kind, state);
      if (c.chosen >= 0) {
        EXPECT_TRUE(shown.ui().popupBootMethod->chooseItem(c.chosen));
      }
      MainWindowState applied = state;
      shown.page->getParam(applied);
      EXPECT_FALSE(shown.page->isPollingDHCP()) << kind.name << ": " << c.what;
      EXPECT_EQ(rig.reads.load(), 0) << kind.name << ": " << c.what;
    }
  }
}

// The DHCP poll fills the page with the scanner's record: its node name is the scanner's, not an
// edit, and never blocks either.
TEST(LanPages, NodeNameFromTheDhcpPollNeverBlocks) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    PollRig rig(kind);
    rig.doneAtRead = 1;
    rig.scannerRecord.byBootMethod = 1;
    platform::textToField(rig.scannerRecord.szNodeName, QStringLiteral("dhcp-name."));
    const MainWindowState state = stateWith(kind, sampleRecord(), &rig.io);
    ShownPage shown(kind, state);
    shown.page->setDHCPPollInterval(1ms);
    ASSERT_TRUE(shown.ui().popupBootMethod->chooseItem(1));
    MainWindowState applied = state;
    ASSERT_TRUE(shown.page->getParam(applied));
    ASSERT_TRUE(rig.waitForPollEnd(*shown.page));
    EXPECT_EQ(shown.ui().textNodeName->text(), "dhcp-name.");
    EXPECT_EQ(shown.page->isDataError(), 0);
    EXPECT_EQ(text(saved(*shown.page, applied, kind).szNodeName, 32), "dhcp-name.");
  }
}

// A scanner that stopped answering where it was (its DHCP address is another): the poll's read
// gives up after its own short limit, not the socket's, the poll ends at that first failed read,
// and the page says to reconnect. Nothing of the failed read reaches the page.
TEST(LanPages, DhcpPollEndsAtItsFirstFailedReadAndAsksToReconnect) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    PollRig rig(kind, 30s);  // the transport's own limit: far longer than the poll's read may take
    rig.doneAtRead = 1;
    sim::Fault silent;
    silent.dtc = FCLC_RS_NETWORK;
    silent.dtq = kind.qualifier;
    silent.silent = true;
    rig.sim.faults().add(silent);
    ScriptedDialogs dialogs;
    dialogs.expectAlert(0, platform::tr_(QStringLiteral("IDS_N_DHCP_RECONNECT_MSG")));
    const MainWindowState state = stateWith(kind, sampleRecord(), &rig.io);
    ShownPage shown(kind, state);
    shown.page->setDHCPPollInterval(1ms);
    ASSERT_TRUE(shown.ui().popupBootMethod->chooseItem(1));
    MainWindowState applied = state;
    ASSERT_TRUE(shown.page->getParam(applied));
    // Watchdog: ten times the poll read's limit.
    QElapsedTimer guard;
    guard.start();
    while (shown.page->isPollingDHCP() && guard.elapsed() < 10 * Base::kDHCPPollReadLimit.count()) QTest::qWait(2);
    EXPECT_FALSE(shown.page->isPollingDHCP());
    EXPECT_EQ(shown.page->updateDHCPTimes(), 1);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(octets(shown.ui().textIP), QStringList({"192", "168", "1", "20"}));
    // The transport has its own limits back.
    EXPECT_EQ(rig.io.socketWrapper().limits().receive, 30s);
  }
}

// The poll begins only when the main window's write of the switch succeeded: a failed write puts
// the old boot method back into the main window's record, and the poll then never reads.
TEST(LanPages, NoDhcpPollWhenTheSwitchWasNotWritten) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    PollRig rig(kind);
    rig.doneAtRead = 1;
    const MainWindowState state = stateWith(kind, sampleRecord(), &rig.io);
    ShownPage shown(kind, state);
    shown.page->setDHCPPollInterval(1ms);
    ASSERT_TRUE(shown.ui().popupBootMethod->chooseItem(1));
    MainWindowState applied = state;
    ASSERT_TRUE(shown.page->getParam(applied));
    (applied.sParamAll.*kind.record).byBootMethod = 0;  // the main window's undo after a failed write
    ASSERT_TRUE(rig.waitForPollEnd(*shown.page));
    EXPECT_EQ(rig.reads.load(), 0);
    EXPECT_EQ(octets(shown.ui().textIP), QStringList({"192", "168", "1", "20"}));
  }
}

// What the user types while the poll runs stays; the rest of the page shows the scanner's record.
TEST(LanPages, DhcpPollKeepsWhatTheUserTypedSinceItStarted) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    PollRig rig(kind);
    rig.doneAtRead = 2;
    rig.scannerRecord.byBootMethod = 1;
    rig.scannerRecord.byAPIPA = 1;
    platform::textToField(rig.scannerRecord.szIPAddress, QStringLiteral("10.1.2.3"));
    platform::textToField(rig.scannerRecord.szGateway, QStringLiteral("10.1.2.254"));
    const MainWindowState state = stateWith(kind, sampleRecord(), &rig.io);
    ShownPage shown(kind, state);
    shown.page->setDHCPPollInterval(1ms);
    ASSERT_TRUE(shown.ui().popupBootMethod->chooseItem(1));
    MainWindowState applied = state;
    ASSERT_TRUE(shown.page->getParam(applied));
    typeInto(shown.ui().textGateway[3], "9");
    ASSERT_TRUE(shown.ui().popupAPIPA->chooseItem(0));
    ASSERT_TRUE(rig.waitForPollEnd(*shown.page));
    EXPECT_EQ(rig.reads.load(), 2);
    EXPECT_EQ(octets(shown.ui().textIP), QStringList({"10", "1", "2", "3"}));
    EXPECT_EQ(octets(shown.ui().textGateway), QStringList({"10", "1", "2", "9"}));
    EXPECT_EQ(shown.ui().popupAPIPA->indexOfSelectedItem(), 0);
    EXPECT_EQ(text(saved(*shown.page, applied, kind).szGateway), "10.1.2.9");
  }
}

// Refilling the page and leaving it end the poll: it never writes over what the page shows then.
TEST(LanPages, RefillingOrLeavingThePageEndsTheDhcpPoll) {
  for (const Kind& kind : kKinds) {
    for (const bool leave : {false, true}) {
      SCOPED_TRACE(std::string(kind.name) + (leave ? ": left" : ": refilled"));
      PollRig rig(kind);
      const MainWindowState state = stateWith(kind, sampleRecord(), &rig.io);
      ShownPage shown(kind, state);
      ASSERT_TRUE(shown.ui().popupBootMethod->chooseItem(1));
      MainWindowState applied = state;
      ASSERT_TRUE(shown.page->getParam(applied));
      ASSERT_TRUE(shown.page->isPollingDHCP());
      if (leave) shown.page->hide();
      else shown.page->setParam(applied);
      EXPECT_FALSE(shown.page->isPollingDHCP());
      QTest::qWait(20);
      EXPECT_EQ(rig.reads.load(), 0);
    }
  }
}

TEST(LanPages, ScreenshotsOnlySaveAPictureForReview) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  for (const Kind& kind : kKinds) {
    ShownPage shown(kind, stateWith(kind, sampleRecord()));
    QApplication::processEvents();  // let the layouts settle
    const QImage image = shown.page->grab().toImage();
    EXPECT_EQ(image.size(), pagelayout::kPageSize);
    const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/lan-%1.png").arg(QLatin1String(kind.name));
    EXPECT_TRUE(image.save(path)) << path.toStdString();
  }
}
