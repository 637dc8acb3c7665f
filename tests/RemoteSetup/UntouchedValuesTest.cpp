// The whole main window, its own pages and editors, against a simulated scanner whose records hold
// values a real scanner can hold but this program would not write (a value set on the panel or
// by another firmware, a combination the option rules would not produce, a number outside the
// program's range): what the user does not touch is never a change, never blocks leaving a page
// or an editor's OK, and goes back to the scanner byte for byte; what the user changes is written.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "IO/FCLCodes.h"
#include "IO/FCLCommand.h"
#include "MainWindowFixture.h"
#include "Views/AddressBookContactControllerObjC.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/AddressBookGroupControllerObjC.h"
#include "Views/GeneralSetupControllerObjC.h"
#include "Views/ScanFileNameControllerObjC.h"
#include "Views/ScanOptionEditor.h"
#include "Views/ScanProfileControllerObjC.h"
#include "Views/ScanProfileSettingControllerObjC.h"
#include "Views/ScanToEmailControllerObjC.h"
#include "Views/ScanToPCControllerObjC.h"
#include "Views/ScanToUSBControllerObjC.h"
#include "platform/widgets/PopUpButton.h"
#include "support/AddressBookFixture.h"

namespace {

using Kind = sim::ScannerModel::Kind;

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

// What the scanner holds, beside the settings block the window reads.
struct Content {
  FCL_RS_PARAM_ALL block{};
  uint8_t language = 0;
  std::unique_ptr<FCL_RS_ADDRESS_BOOK> book = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  std::unique_ptr<FCL_RS_PROFILE_ALL> profiles = std::make_unique<FCL_RS_PROFILE_ALL>();
};

// The scanner's content with every byte of the settings block (but its structure version, without
// which the window does not open), the language record, the first address-book entries and the
// first profiles set to `fill`.
void fillWith(Content& c, uint8_t fill) {
  const uint32_t version = c.block.dwStructVersion;
  std::memset(&c.block, fill, sizeof c.block);
  c.block.dwStructVersion = version;
  c.language = fill;
  // A group (slot 0), an empty slot (2) and a contact (4) of the simulator's book, each with every
  // byte but its kind and index set; and slot 3 wholly, kind and index included.
  for (int slot : {0, 2, 4}) {
    FCL_RS_ADDRESS_BOOK_NODE& n = c.book->sNode[slot];
    const uint32_t type = n.dwNodeType, ref = n.dwRefIdx;
    std::memset(&n, fill, sizeof n);
    n.dwNodeType = type;
    n.dwRefIdx = ref;
  }
  std::memset(&c.book->sNode[3], fill, sizeof c.book->sNode[3]);
  for (int slot = 0; slot < 3; ++slot) std::memset(&c.profiles->sProfile[slot], fill, sizeof(FCL_RS_PROFILE));
}

class UntouchedValuesTest : public MainWindowTest {
 public:
  // The scanner of `kind` holds `c`; a main window with the program's own pages opens it.
  void open(Kind kind, const Content& c) {
    vc.reset();
    link.reset();
    dialogs.clear();
    if (kind == Kind::Qmx7305) link = std::make_unique<UsbLink>(kind);
    else link = std::make_unique<TcpLink>(kind);
    link->model().setParamAll(c.block);
    link->model().setLanguage(c.language);
    link->model().setAddressBook(*c.book);
    link->model().setProfiles(*c.profiles);
    vc = std::make_unique<ViewController>();
    vc->setTerminateHandler([this] { ++terminations; });
    const bool b = kind == Kind::Qmx7305;
    vc->setupInfo(link->ip(), b ? "B" : "BNT", b ? "Zerelta QMX-7305 [SIM]" : "Zerelta QMX-7315W [SIM]",
                  link->interface(), "UUID-1", "TWAIN-1");
    appear();
    ASSERT_EQ(vc->containerViews().size(), 1);
    mark = settledCommands().size();
  }

  // The scanner's content now.
  Content scanner() {
    settledCommands();
    Content c;
    c.block = link->model().paramAll();
    c.language = link->model().language();
    *c.book = link->model().addressBook();
    *c.profiles = link->model().profiles();
    return c;
  }
  // The content of a new scanner of `kind`.
  static Content factoryContent(Kind kind) {
    sim::ScannerModel model(kind);
    Content c;
    c.block = model.paramAll();
    c.language = model.language();
    *c.book = model.addressBook();
    *c.profiles = model.profiles();
    return c;
  }
  void expectScannerHolds(const Content& expected) {
    const Content now = scanner();
    EXPECT_EQ(std::memcmp(&now.block.sGeneral, &expected.block.sGeneral, sizeof now.block.sGeneral), 0);
    EXPECT_EQ(std::memcmp(&now.block, &expected.block, sizeof now.block), 0);
    EXPECT_EQ(now.language, expected.language);
    EXPECT_EQ(std::memcmp(now.book.get(), expected.book.get(), sizeof *now.book), 0);
    EXPECT_EQ(std::memcmp(now.profiles.get(), expected.profiles.get(), sizeof *now.profiles), 0);
  }

  // The writes the scanner received since the last call (or the load).
  int writes() {
    const auto entries = settledCommands();
    int n = 0;
    for (std::size_t i = mark; i < entries.size(); ++i)
      if (entries[i].cmd.byOPCode == FOP_WRITE || entries[i].cmd.byOPCode == FOP_WRITE2) ++n;
    mark = entries.size();
    return n;
  }

  // Clicks the page's node and answers the page then on show.
  template <typename PageClass = PageController>
  PageClass* show(const char* key) {
    click(key);
    settle();
    const auto views = vc->containerViews();
    return views.size() == 1 ? dynamic_cast<PageClass*>(views.front()) : nullptr;
  }
  // Apply with the alert a save ends with.
  void applySaved() {
    dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
    vc->ApplyBtnPressed();
    settledCommands();
    ASSERT_FALSE(dialogs.alerts().empty());
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));
  }

  // Opens the editor of the first row of each address-book table and presses OK untouched.
  void okInTheAddressBookEditors() {
    auto* page = dynamic_cast<AddressBookControllerObjC*>(vc->containerViews().value(0));
    ASSERT_NE(page, nullptr);
    const auto& ui = page->controls();
    int opened = 0;
    page->setEditorPresenter([&](QDialog& d) {
      d.show();
      settle();
      ++opened;
      if (auto* group = dynamic_cast<AddressBookGroupControllerObjC*>(&d)) {
        EXPECT_TRUE(group->controls().btnCreate->isEnabled());
        QTest::mouseClick(group->controls().btnCreate, Qt::LeftButton);
      } else if (auto* contact = dynamic_cast<AddressBookContactControllerObjC*>(&d)) {
        EXPECT_TRUE(contact->controls().btnCreate->isEnabled());
        QTest::mouseClick(contact->controls().btnCreate, Qt::LeftButton);
      }
      EXPECT_FALSE(d.isVisible()) << "OK was refused";
      d.hide();
    });
    for (auto [table, button] : {std::pair{ui.groupTable, ui.editGroupBtn}, std::pair{ui.contactTable, ui.editContactBtn}}) {
      abtest::selectRow(table, 0);
      QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_EQ(opened, 2);
  }
  // Opens the profile editor from the first three buttons and presses OK untouched.
  void okInTheProfileEditor() {
    auto* page = dynamic_cast<ScanProfileControllerObjC*>(vc->containerViews().value(0));
    ASSERT_NE(page, nullptr);
    int opened = 0;
    page->setEditorPresenter([&](QDialog& d) {
      auto& editor = dynamic_cast<ScanProfileSettingControllerObjC&>(d);
      editor.show();
      settle();
      ++opened;
      editor.OKBtnPressed();
      EXPECT_FALSE(editor.isVisible()) << "OK was refused";
      editor.hide();
    });
    for (int row = 0; row < 3; ++row) QTest::mouseClick(page->controls().btnProfile[row], Qt::LeftButton);
    EXPECT_EQ(opened, 3);
  }
};

// Every page of either model and the address book's and profiles' editors, visited, applied and
// left with nothing touched: no question, no alert, nothing written; the scanner holds what it
// held.
TEST_F(UntouchedValuesTest, NothingUntouchedIsChangedAskedOrWritten) {
  struct Case {
    std::string what;
    std::function<void(Content&)> make;
  };
  std::vector<Case> cases;
  for (uint8_t fill : {uint8_t(0x00), uint8_t(0x01), uint8_t(0x02), uint8_t(0x7F), uint8_t(0x80), uint8_t(0xFF)})
    cases.push_back({"every byte " + std::to_string(fill), [fill](Content& c) { fillWith(c, fill); }});
  cases.push_back({"values the pop-ups, radios and option rules do not offer", [](Content& c) {
    FCL_RS_PARAM_GENERAL& g = c.block.sGeneral;
    g.sPanel.dwPanelLangCur = 0x80000000u;
    c.language = 0;
    g.sDateTime.byTimeZoneNegative = 2;
    g.sDateTime.byEnableDST = 3;
    g.sDateTime.byClockType = 4;
    g.sDateTime.dwTimeFromePC = 2;
    c.block.sFilename.byExceptionHandling = 2;
    for (FCL_RS_PARAM_SCANPROFILE* r : {&c.block.sScan2USB, &c.block.sScan2Email, &c.block.sScan2PC}) {
      r->byDocumentSize = 23;
      r->byScanType = 3;
      r->byDuplexScan = 1;
      r->bySkipBlankPage = 1;
      r->wResolution_Auto = 600;
      r->wResolution_Color = 400;
      r->byFileType_Auto = 9;
    }
    c.block.sScan2PC.byScanType = 1;
    c.block.sScan2PC.byDocumentSize = 1;
    c.block.sScan2PC.byFileType_Gray = 4;
    c.block.sScan2Email.byDocumentSize = 24;
    c.block.sScan2Email.byScanType = 2;
    c.block.sScan2Email.byFileType_Color = 9;
    c.profiles->sProfile[2].sFTPSetting.byPassiveMode = 0xFF;
    c.profiles->sProfile[2].sFTPSetting.wPort = 0;
    c.profiles->sProfile[0].dwProfileType = 9;
    std::strcpy(c.book->sNode[4].szEmailAddress, "not an address");
  }});
  for (Kind kind : {Kind::Qmx7315w, Kind::Qmx7305}) {
    for (const Case& k : cases) {
      SCOPED_TRACE((kind == Kind::Qmx7305 ? "QMX-7305, " : "QMX-7315W, ") + k.what);
      Content c = factoryContent(kind);
      k.make(c);
      open(kind, c);
      for (const pages::PageInfo& p : pages::kPages) {
        if (kind == Kind::Qmx7305 && p.listedFor == pages::ListedFor::NetworkModel) continue;
        SCOPED_TRACE(p.viewId);
        ASSERT_NE(show(p.titleKey), nullptr);  // the page left before is asked nothing
        ASSERT_EQ(shown(), QString::fromLatin1(p.viewId));
        if (p.viewId == std::string(pages::kAddressBookView)) okInTheAddressBookEditors();
        if (p.viewId == std::string(pages::kScanProfileView)) okInTheProfileEditor();
        vc->ApplyBtnPressed();  // nothing changed: no save, no alert
        EXPECT_EQ(writes(), 0);
      }
      ASSERT_NE(show(pages::kGeneralSetupTitle), nullptr);
      EXPECT_EQ(writes(), 0);
      EXPECT_TRUE(dialogs.alerts().empty()) << dialogs.alertMessages().join(" | ").toStdString();
      expectScannerHolds(c);
    }
  }
}

// The one save without a touch: the general setup page with the clock taken from this computer
// writes its records with the setting method 0, the rest of them, and the language record, byte
// for byte as read; and the computer's time.
TEST_F(UntouchedValuesTest, ClockFromThisComputerSavesTheGeneralRecordsAsRead) {
  for (Kind kind : {Kind::Qmx7315w, Kind::Qmx7305}) {
    SCOPED_TRACE(kind == Kind::Qmx7305 ? "QMX-7305" : "QMX-7315W");
    Content c = factoryContent(kind);
    fillWith(c, 0xFF);
    c.block.sGeneral.sDateTime.dwTimeFromePC = 1;
    open(kind, c);
    applySaved();
    Content expected = std::move(c);
    expected.block.sGeneral.sDateTime.bySetTimeMethod = 0;
    expectScannerHolds(expected);
    EXPECT_TRUE(link->model().lastPCTime().has_value());
  }
}

// Amid stored extremes the user changes one thing on a page: that is written, with what an option
// rule changes because of it, and every other byte as it was.
TEST_F(UntouchedValuesTest, TheUsersEditsAreWrittenBesideTheStoredExtremes) {
  struct Case {
    const char* what;
    Kind kind;
    const char* page;
    std::function<void(Content&)> stored;  // on top of every byte 0xFF
    std::function<void(PageController*)> act;
    std::function<void(Content&)> expect;
  };
  const auto options = [](PageController* page) -> const ScanOptionEditor::Controls& {
    if (auto* p = dynamic_cast<ScanToEmailControllerObjC*>(page)) return p->editor()->controls();
    if (auto* p = dynamic_cast<ScanToUSBControllerObjC*>(page)) return p->editor()->controls();
    return dynamic_cast<ScanToPCControllerObjC*>(page)->editor()->controls();
  };
  const Case cases[] = {
      {"a language picked", Kind::Qmx7315w, pages::kGeneralSetupTitle, nullptr,
       [](PageController* page) {
         auto* p = dynamic_cast<GeneralSetupControllerObjC*>(page);
         ASSERT_TRUE(p->controls().popupLanguage->chooseItem(2));
       },
       [](Content& c) {
         c.block.sGeneral.sPanel.dwPanelLangCur = 2;
         c.language = 2;
       }},
      {"UTC+ chosen", Kind::Qmx7305, pages::kGeneralSetupTitle, nullptr,
       [](PageController* page) { dynamic_cast<GeneralSetupControllerObjC*>(page)->controls().radioUTCp->click(); },
       [](Content& c) { c.block.sGeneral.sDateTime.byTimeZoneNegative = 0; }},
      {"the overwrite box checked", Kind::Qmx7305, pages::kScanFileNameTitle, nullptr,
       [](PageController* page) { dynamic_cast<ScanFileNameControllerObjC*>(page)->controls().chkOverwrite->click(); },
       [](Content& c) { c.block.sFilename.byExceptionHandling = 1; }},
      {"a restricted size chosen with two-sided scan, automatic and 600 dpi stored", Kind::Qmx7315w,
       pages::kScanToEmailTitle,
       [](Content& c) {
         FCL_RS_PARAM_SCANPROFILE& r = c.block.sScan2Email;
         r.byScanType = 3;
         r.byDuplexScan = 1;
         r.bySkipBlankPage = 1;
         r.byDocumentSize = 1;
         r.wResolution_Color = 600;
       },
       [&](PageController* page) { ASSERT_TRUE(options(page).popupDocumentSize->chooseItem(23)); },
       [](Content& c) {
         FCL_RS_PARAM_SCANPROFILE& r = c.block.sScan2Email;
         r.byDocumentSize = 23;
         r.byScanType = 2;
         r.byDuplexScan = 0;
         r.bySkipBlankPage = 0;
         r.wResolution_Color = 300;
       }},
      {"the contrast chosen, a file type grey does not offer stored", Kind::Qmx7305, pages::kScanToPCTitle,
       [](Content& c) {
         c.block.sScan2PC.byScanType = 1;
         c.block.sScan2PC.byFileType_Gray = 4;
       },
       [&](PageController* page) { ASSERT_TRUE(options(page).popupContrast->chooseItem(0)); },
       [](Content& c) { c.block.sScan2PC.byContrast = ScanOptionEditor::kBrightnessMin; }},
      {"grey chosen, its slot holding TIFF", Kind::Qmx7305, pages::kScanToUSBTitle,
       [](Content& c) {
         c.block.sScan2USB.byScanType = 2;
         c.block.sScan2USB.byFileType_Gray = 9;
       },
       [&](PageController* page) { ASSERT_TRUE(options(page).popupScanType->chooseItem(1)); },
       [](Content& c) {
         c.block.sScan2USB.byScanType = 1;
         c.block.sScan2USB.byFileType_Gray = 1;
       }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Content c = factoryContent(k.kind);
    fillWith(c, 0xFF);
    if (k.stored) k.stored(c);
    open(k.kind, c);
    PageController* page = k.page == std::string(pages::kGeneralSetupTitle) ? vc->containerViews().value(0)
                                                                             : show(k.page);
    ASSERT_NE(page, nullptr);
    k.act(page);
    applySaved();
    Content expected = std::move(c);
    k.expect(expected);
    expectScannerHolds(expected);
  }
}

}  // namespace
