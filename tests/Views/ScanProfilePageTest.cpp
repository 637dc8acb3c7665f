// The scan-profile page and its profile editor against the simulated scanner: the rows, the editor
// opened from a button, the typing rules and OK's checks, what the editor hands back, the change
// check, and the bytes the page writes (or that it writes nothing).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>

#include "IO/FCLCodes.h"
#include "IO/FCLCommand.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/ScanOptionEditor.h"
#include "Views/ScanProfileControllerObjC.h"
#include "Views/ScanProfileSettingControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/PopUpButton.h"
#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"
#include "support/TypeText.h"
#include "support/SimScanner.h"

using namespace std::chrono_literals;

namespace {

using Page = ScanProfileControllerObjC;
using Editor = ScanProfileSettingControllerObjC;
constexpr uint32_t kRefused = 0x2005;

QString text(const char* key) { return platform::tr_(QString::fromLatin1(key)); }
QString emptyAlert(const char* key) {
  return platform::formatText(text("IDS_CANNOT_EMPTY_ERR_MSG"), {text(key), text(key)});
}

sim::Fault refusedProfiles(uint8_t opcode, int count = 1) {
  sim::Fault f;
  f.opcode = opcode;
  f.dtc = FCLC_RS_PROFILE;
  f.lastErr = kRefused;
  f.count = count;
  return f;
}
// A profile read the scanner breaks off in the middle of its data.
sim::Fault brokenOffRead() {
  sim::Fault f;
  f.opcode = FOP_READ;
  f.dtc = FCLC_RS_PROFILE;
  f.closeAfterSent = 32 + 5000;
  return f;
}

// The user's typing: the field's text replaced by `typed`, one key at a time.
void retype(QLineEdit* field, const QString& typed) {
  field->setFocus();
  field->selectAll();
  if (typed.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
  else QTest::keyClicks(field, typed);
}
// A paste: the whole text arrives in one edit.
void paste(QLineEdit* field, const QString& pasted) {
  field->setText(pasted);
  emit field->textEdited(pasted);
}
// Typing that may hold characters beyond ASCII: the field's text replaced, one key per character.
void typeOver(QLineEdit* field, const QString& typed) {
  field->setFocus();
  field->selectAll();
  typeText(field, typed);
}

std::string firstDifference(const FCL_RS_PROFILE_ALL& a, const FCL_RS_PROFILE_ALL& b) {
  const auto* x = reinterpret_cast<const uint8_t*>(&a);
  const auto* y = reinterpret_cast<const uint8_t*>(&b);
  for (std::size_t i = 0; i < sizeof a; ++i)
    if (x[i] != y[i])
      return "slot " + std::to_string(i / sizeof(FCL_RS_PROFILE)) + " byte " + std::to_string(i % sizeof(FCL_RS_PROFILE));
  return "";
}

class ScanProfilePageTest : public ::testing::Test {
 public:
  ScanProfilePageTest() : limits(3s) {
    EXPECT_TRUE(io.openScanner(sim.address()));
    page.resize(pagelayout::kPageSize);
  }
  ~ScanProfilePageTest() override { EXPECT_EQ(dialogs.pendingAlerts(), 0u); }

  std::unique_ptr<FCL_RS_PROFILE_ALL> scannerProfiles() {
    return std::make_unique<FCL_RS_PROFILE_ALL>(sim.model().profiles());
  }
  void putProfiles(const FCL_RS_PROFILE_ALL& all) { sim.model().setProfiles(all); }
  void load() {
    page.setParam(&io, clientKeys, serverKeys);
    ASSERT_TRUE(page.isProfileRead());
  }
  int profileWrites() {
    sim.log().waitForCount(sim.log().size() + 1, 50ms);
    int n = 0;
    for (const auto& c : sim.log().entries())
      if (c.cmd.byDTC == FCLC_RS_PROFILE && c.cmd.byOPCode != FOP_READ) ++n;
    return n;
  }
  // Opens the editor from button `row` and lets `work` operate it (after it is shown).
  void edit(int row, const std::function<void(Editor&)>& work) {
    bool opened = false;
    page.setEditorPresenter([&](QDialog& d) {
      auto& editor = dynamic_cast<Editor&>(d);
      editor.show();
      QApplication::processEvents();
      opened = true;
      work(editor);
      editor.hide();
    });
    QTest::mouseClick(page.controls().btnProfile[row - 1], Qt::LeftButton);
    EXPECT_TRUE(opened) << "button " << row;
  }
  // Loads `profile` into slot 0 of the scanner and the page, then edits it from button 1.
  void editProfile(const FCL_RS_PROFILE& profile, const std::function<void(Editor&)>& work) {
    auto all = scannerProfiles();
    all->sProfile[0] = profile;
    putProfiles(*all);
    load();
    edit(1, work);
  }
  const FCL_RS_PROFILE& slot(int i) const { return page.profileAll().sProfile[i]; }

  ScopedSocketLimits limits;
  SimScanner sim;
  IOWrapper io;
  ScriptedDialogs dialogs;
  Page page;
  QStringList clientKeys{"client-a", "client-b"};
  QStringList serverKeys{"server-a", "server-b"};
};

FCL_RS_PROFILE ftpProfile() {
  FCL_RS_PROFILE p{};
  p.dwStructVersion = 0x01020304;
  p.dwFW_DebugField1 = 0xAABBCCDD;
  p.byTestNetwork = 7;
  p.dwProfileType = 1;
  platform::textToField(p.szProfileName, "Upload");
  platform::textToField(p.sFTPSetting.szHost, "ftp.example.com");
  p.sFTPSetting.wPort = 21;
  platform::textToField(p.sFTPSetting.szUsername, "ftpuser");
  platform::textToField(p.sFTPSetting.szPassword, "secret");
  platform::textToField(p.sFTPSetting.szRemoteDirectoryUTF16, "/in");
  p.sFTPSetting.byReserved2[3] = 0x5A;
  platform::textToField(p.sShareFolderSetting.szShareFolderUTF16, "\\\\nas\\share");
  platform::textToField(p.sShareFolderSetting.szUsername, "shareuser");
  platform::textToField(p.sSFTPSetting.szHost, "sftp.example.com");
  p.sScan2Network.byScanType = 2;
  p.sScan2Network.byFileType_Color = 1;
  p.sScan2Network.wResolution_Color = 300;
  p.sScan2Network.wResolution_BW = p.sScan2Network.wResolution_Gray = p.sScan2Network.wResolution_Auto = 300;
  p.sScan2Network.byDocumentSize = 1;
  return p;
}

FCL_RS_PROFILE sftpProfile(uint8_t auth) {
  FCL_RS_PROFILE p = ftpProfile();
  p.dwProfileType = 2;
  platform::textToField(p.szProfileName, "Secure");
  p.sSFTPSetting.byAuthMethod = auth;
  platform::textToField(p.sSFTPSetting.szUsername, "sftpuser");
  platform::textToField(p.sSFTPSetting.szPassword, "old-pass");
  platform::textToField(p.sSFTPSetting.szRemoteDirectoryUTF16, "/secure");
  p.sSFTPSetting.wPort = 2222;
  p.sSFTPSetting.wClientKeyPairIndex = 1;
  p.sSFTPSetting.wSeverPublicKeyIndex = 0;
  return p;
}

// ---- Rows ---------------------------------------------------------------------------------------------

// Type texts from the table, beside a name only; an undefined type logs its error line.
TEST_F(ScanProfilePageTest, RowsShowNameAndTypeTextOnlyBesideANonEmptyName) {
  struct Case {
    int32_t type;
    const char* name;
    QString shown;
  };
  const Case cases[] = {
      {0, "Share", text("IDS_PN_PROFILE_TO_NETWORK_FOLDER")},
      {1, "Ftp", text("IDS_PF_PROFILE_TO_FTP")},
      {2, "Sftp", text("IDS_PS_PROFILE_TO_SFTP")},
      {3, "Mail", "E-mail"},
      {4, "Pc", "PC"},
      {5, "Stick", "UDisk"},
      {7, "Odd", "Undefined!"},
      {-1, "Negative", "Undefined!"},
      {1, "", ""},  // an empty name: no type, whatever the type field holds
      {7, "", ""},
  };
  auto all = std::make_unique<FCL_RS_PROFILE_ALL>();
  std::memset(all.get(), 0, sizeof *all);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    all->sProfile[i].dwProfileType = uint32_t(cases[i].type);
    platform::textToField(all->sProfile[i].szProfileName, cases[i].name);
  }
  putProfiles(*all);
  Utilities& ut = Utilities::sharedInstance();
  const int32_t mask = ut.nDebugMask();
  ut.setDebugMask(0x02);
  LogCapture log;
  load();
  ut.setDebugMask(mask);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(page.controls().labelName[i]->text(), QString::fromUtf8(cases[i].name));
    EXPECT_EQ(page.controls().labelType[i]->text(), cases[i].shown);
  }
  EXPECT_EQ(page.controls().btnProfile[11]->text(), text("IDS_SP_PROFILE") + " 12");
  EXPECT_FALSE(log.lines().filter(QStringLiteral("ERROR: ScanProfileType No define 7")).isEmpty());
  EXPECT_FALSE(log.lines().filter(QStringLiteral("ERROR: ScanProfileType No define -1")).isEmpty());
  EXPECT_EQ(page.isDataError(), 0);
}

// ---- Opening the editor and handing back ------------------------------------------------------------

// Button 12 opens slot 11 whatever its title says; OK puts the edit into slot 11 and row 12, and
// the scanner is unchanged until the page is saved; the save writes all 25 slots in one command.
TEST_F(ScanProfilePageTest, EachButtonOpensItsOwnSlotAndOkHandsTheEditBack) {
  auto all = scannerProfiles();
  all->sProfile[11] = ftpProfile();
  putProfiles(*all);
  load();
  const auto before = scannerProfiles();
  page.controls().btnProfile[11]->setText(text("IDS_SP_PROFILE") + " 1");  // a title that misleads
  edit(12, [&](Editor& e) {
    EXPECT_EQ(e.controls().textProfileTitle->text(), text("IDS_SP_PROFILE") + " 12");
    EXPECT_EQ(e.controls().textProfileName->text(), "Upload");
    retype(e.controls().textProfileName, "Renamed");
    e.OKBtnPressed();
    EXPECT_FALSE(e.isVisible());
  });
  EXPECT_EQ(page.nLastModifyID(), 11);
  EXPECT_EQ(page.controls().labelName[11]->text(), "Renamed");
  EXPECT_EQ(page.controls().labelType[11]->text(), text("IDS_PF_PROFILE_TO_FTP"));
  EXPECT_EQ(platform::textFromField(slot(11).szProfileName), "Renamed");
  EXPECT_EQ(firstDifference(*before, *scannerProfiles()), "") << "nothing written before the save";
  EXPECT_TRUE(page.isDataChanged(&io));

  ASSERT_TRUE(page.getParam(&io));
  auto want = std::make_unique<FCL_RS_PROFILE_ALL>(*before);
  want->sProfile[11] = slot(11);
  EXPECT_EQ(firstDifference(*want, *scannerProfiles()), "");
  EXPECT_EQ(profileWrites(), 1);
  EXPECT_FALSE(page.isDataChanged(&io));

  // Changed on the scanner by other means: no change of the user's; the page takes the
  // scanner's profiles, so no later save sends the older ones.
  auto other = scannerProfiles();
  other->sProfile[24].dwFW_DebugField2 = 1;
  putProfiles(*other);
  EXPECT_FALSE(page.isDataChanged(&io));
  EXPECT_EQ(firstDifference(*other, page.profileAll()), "");
}

// Cancel drops every edit, also a change of kind already made to the editor's copy.
TEST_F(ScanProfilePageTest, CancelLeavesTheSlotAndTheRows) {
  load();
  const auto before = std::make_unique<FCL_RS_PROFILE_ALL>(page.profileAll());
  edit(3, [&](Editor& e) {
    e.controls().popupProfileType->chooseItem(2);
    EXPECT_EQ(e.scanProfileSetting().dwProfileType, 2u);
    retype(e.controls().textProfileName, "Never");
    QTest::mouseClick(e.controls().btnCancel, Qt::LeftButton);
  });
  EXPECT_EQ(firstDifference(*before, page.profileAll()), "");
  EXPECT_EQ(page.controls().labelName[2]->text(), "FTP upload");
  EXPECT_EQ(page.nLastModifyID(), 2);
  EXPECT_FALSE(page.isDataChanged(&io));
}

// ---- Profiles that could not be read ------------------------------------------------------------------

// No read has succeeded: the read-failure alert, the rows say so, the buttons are disabled, the
// change check answers NO and nothing is written (a save is told with the save path's not-read
// alert).
TEST_F(ScanProfilePageTest, UnreadProfilesAreNeverWrittenAndBlockNothing) {
  const auto before = scannerProfiles();
  sim.faults().add(refusedProfiles(FOP_READ));
  dialogs.expectAlert(0, text("IDS_SP_READ_FAIL_MSG"));
  page.setParam(&io, clientKeys, serverKeys);
  ASSERT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_TRUE(dialogs.alerts()[0].information.startsWith(text("IDS_SP_READ_FAIL_INFO")));
  EXPECT_FALSE(page.isProfileRead());
  for (int i = 0; i < Page::kRows; ++i) {
    EXPECT_EQ(page.controls().labelName[i]->text(), text("IDS_SP_PROFILE_NOT_READ"));
    EXPECT_TRUE(page.controls().labelType[i]->text().isEmpty());
    EXPECT_FALSE(page.controls().btnProfile[i]->isEnabled());
  }
  EXPECT_FALSE(page.isDataChanged(&io));
  dialogs.expectAlert(0, text("IDS_RS_NOT_READ_MSG"));
  EXPECT_FALSE(page.getParam(&io));
  EXPECT_EQ(profileWrites(), 0);
  EXPECT_EQ(firstDifference(*before, *scannerProfiles()), "");
}

// The page's last accepted content is the last accepted read or write: a read refused or broken
// off when the page is shown again says so once and shows it, editable; the untouched page is no
// change, and a save sends it with the new edits, nothing older.
TEST_F(ScanProfilePageTest, FailedReadsFallBackToTheLastAcceptedReadOrWrite) {
  struct Case {
    const char* what;
    bool saveFirst;  // the rename was saved (accepted) before the failed read
    sim::Fault fault;
  };
  const Case cases[] = {
      {"read refused after a read", false, refusedProfiles(FOP_READ)},
      {"read refused after a save", true, refusedProfiles(FOP_READ)},
      {"read broken off after a save", true, brokenOffRead()},
  };
  const auto initial = scannerProfiles();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs.clear();
    load();
    edit(1, [&](Editor& e) {
      retype(e.controls().textProfileName, "Renamed");
      e.OKBtnPressed();
    });
    if (c.saveFirst) {
      ASSERT_TRUE(page.getParam(&io));
      ASSERT_EQ(platform::textFromField(scannerProfiles()->sProfile[0].szProfileName), "Renamed");
    }
    const auto accepted = scannerProfiles();
    const QString shownName = c.saveFirst ? "Renamed" : "Office share";

    sim.faults().add(c.fault);
    dialogs.expectAlert(0, text("IDS_SP_READ_FAIL_MSG"));
    page.setParam(&io, clientKeys, serverKeys);
    EXPECT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_TRUE(page.isProfileRead());
    EXPECT_EQ(firstDifference(*accepted, page.profileAll()), "");
    EXPECT_EQ(page.controls().labelName[0]->text(), shownName);
    EXPECT_TRUE(page.controls().btnProfile[0]->isEnabled());

    // The change check cannot read: the untouched page is no change ...
    sim.faults().add(refusedProfiles(FOP_READ));
    EXPECT_FALSE(page.isDataChanged(&io));
    // ... an edit is, and the save sends the last accepted profiles with that edit.
    edit(3, [&](Editor& e) {
      retype(e.controls().textProfileName, "Edited too");
      e.OKBtnPressed();
    });
    sim.faults().add(refusedProfiles(FOP_READ));
    EXPECT_TRUE(page.isDataChanged(&io));
    ASSERT_TRUE(page.getParam(&io));
    auto want = std::make_unique<FCL_RS_PROFILE_ALL>(*accepted);
    platform::textToField(want->sProfile[2].szProfileName, "Edited too");
    EXPECT_EQ(firstDifference(*want, *scannerProfiles()), "");
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    putProfiles(*initial);  // the next case starts from the same profiles
  }
}

// A successful fresh read of the change check replaces the last accepted content: what changed on
// the scanner meanwhile is shown, is no change of the user's, and a save keeps it.
TEST_F(ScanProfilePageTest, FreshReadOfTheChangeCheckIsTheNewLastAcceptedContent) {
  load();
  edit(1, [&](Editor& e) {
    retype(e.controls().textProfileName, "Mine");
    e.OKBtnPressed();
  });
  // Someone else renames profile 2 on the scanner.
  auto other = scannerProfiles();
  platform::textToField(other->sProfile[1].szProfileName, "Theirs");
  putProfiles(*other);
  EXPECT_TRUE(page.isDataChanged(&io));  // slot 0 is the user's edit
  EXPECT_EQ(page.controls().labelName[1]->text(), "Theirs");
  ASSERT_TRUE(page.getParam(&io));
  auto want = std::make_unique<FCL_RS_PROFILE_ALL>(*other);
  platform::textToField(want->sProfile[0].szProfileName, "Mine");
  EXPECT_EQ(firstDifference(*want, *scannerProfiles()), "");
  EXPECT_FALSE(page.isDataChanged(&io));
}

// An import hands the page what the scanner accepted as its profiles, or tells it that nothing is
// known: a failed read afterwards shows the imported profiles, or leaves the page not read.
TEST_F(ScanProfilePageTest, ImportReplacesTheLastAcceptedContentOrLeavesThePageNotRead) {
  load();
  auto imported = scannerProfiles();
  platform::textToField(imported->sProfile[4].szProfileName, "From file");
  page.importedProfiles(imported.get());
  sim.faults().add(refusedProfiles(FOP_READ));
  dialogs.expectAlert(0, text("IDS_SP_READ_FAIL_MSG"));
  page.setParam(&io, clientKeys, serverKeys);
  EXPECT_TRUE(page.isProfileRead());
  EXPECT_EQ(page.controls().labelName[4]->text(), "From file");
  EXPECT_EQ(firstDifference(*imported, page.profileAll()), "");

  page.importedProfiles(nullptr);
  sim.faults().add(refusedProfiles(FOP_READ));
  dialogs.expectAlert(0, text("IDS_SP_READ_FAIL_MSG"));
  page.setParam(&io, clientKeys, serverKeys);
  EXPECT_FALSE(page.isProfileRead());
  EXPECT_FALSE(page.controls().btnProfile[4]->isEnabled());
  EXPECT_FALSE(page.isDataChanged(&io));
}

// A refused write is a failure and the edits stay for another try.
TEST_F(ScanProfilePageTest, RefusedWriteIsAFailure) {
  load();
  edit(1, [&](Editor& e) {
    retype(e.controls().textProfileName, "Edited");
    e.OKBtnPressed();
  });
  sim.faults().add(refusedProfiles(FOP_WRITE2));
  EXPECT_FALSE(page.getParam(&io));
  EXPECT_EQ(platform::textFromField(slot(0).szProfileName), "Edited");
}

// ---- OK's checks ----------------------------------------------------------------------------------------

// A new profile (all zero, network folder): OK without a change leaves it as it was; once the
// user changed something, every entry is checked: the alerts come in OK's order, one per press,
// and the window stays open until every entry is there.
TEST_F(ScanProfilePageTest, NewProfileOkAlertsComeInOrder) {
  FCL_RS_PROFILE blank{};
  editProfile(blank, [&](Editor& e) {
    e.OKBtnPressed();
    EXPECT_FALSE(e.isVisible());
  });
  EXPECT_TRUE(dialogs.alerts().empty());
  EXPECT_EQ(std::memcmp(&slot(0), &blank, sizeof blank), 0);

  struct Step {
    std::function<void(Editor&)> fill;  // before the press
    QString information;                // the alert, or empty: accepted
  };
  const Step steps[] = {
      {[](Editor& e) { ASSERT_TRUE(e.controls().options->controls().popupDocumentSize->chooseItem(2)); },
       emptyAlert("IDS_PF_PASSWORD")},
      {[](Editor& e) { retype(e.controls().textPassword, "pw"); }, emptyAlert("IDS_PF_RETYPE_PASSWORD")},
      {[](Editor& e) { retype(e.controls().textPasswordConfirm, "other"); }, text("IDS_PI_ERROR_MSG")},
      {[](Editor& e) { retype(e.controls().textPasswordConfirm, "pw"); }, emptyAlert("IDS_PS_PROFILE_NAME")},
      {[](Editor& e) { retype(e.controls().textProfileName, "New"); }, emptyAlert("IDS_PF_HOST_ADDRESS")},
      {[](Editor& e) { retype(e.controls().textURI, "\\\\nas\\scans"); }, emptyAlert("IDS_PF_USER_NAME")},
      {[](Editor& e) { retype(e.controls().textUserName, "me"); }, QString()},
  };
  editProfile(blank, [&](Editor& e) {
    EXPECT_EQ(e.controls().popupProfileType->indexOfSelectedItem(), 0);
    for (const Step& s : steps) {
      SCOPED_TRACE(s.information.toStdString());
      s.fill(e);
      if (!s.information.isEmpty()) dialogs.expectAlert(0, text("IDS_CM_WARNING"));
      const std::size_t alerts = dialogs.alerts().size();
      e.OKBtnPressed();
      if (s.information.isEmpty()) {
        EXPECT_EQ(dialogs.alerts().size(), alerts);
        EXPECT_FALSE(e.isVisible());
      } else {
        ASSERT_EQ(dialogs.alerts().size(), alerts + 1);
        EXPECT_EQ(dialogs.alerts().back().information, s.information);
        EXPECT_EQ(dialogs.alerts().back().buttons.size(), 1);
        EXPECT_TRUE(e.isVisible());
      }
    }
  });
  const FCL_RS_PROFILE& p = slot(0);
  EXPECT_EQ(platform::textFromField(p.szProfileName), "New");
  EXPECT_EQ(platform::textFromField(p.sShareFolderSetting.szShareFolderUTF16), "\\\\nas\\scans");
  EXPECT_EQ(platform::textFromField(p.sShareFolderSetting.szUsername), "me");
  EXPECT_EQ(platform::textFromField(p.sShareFolderSetting.szPassword), "pw");
}

// SFTP with public-key log-in: the password check is skipped, the server key must be chosen, the
// client key need not; both indexes are stored and the password is kept.
TEST_F(ScanProfilePageTest, SftpPublicKeyAndTheKeyLists) {
  struct Case {
    const char* name;
    QStringList client, server;
    int chooseClient, chooseServer;  // -1: as loaded
    bool accepted;
    uint16_t clientIndex, serverIndex;
  };
  const Case cases[] = {
      {"keys chosen", {"c0", "c1", "c2"}, {"s0", "s1"}, 2, 1, true, 2, 1},
      {"as loaded", {"c0", "c1"}, {"s0"}, -1, -1, true, 1, 0},
      {"no server keys, untouched", {"c0", "c1"}, {}, -1, -1, true, 1, 0},
      {"no client keys", {}, {"s0"}, -1, -1, true, 1, 0},  // index 1 has no item: stored as it was
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clientKeys = c.client;
    serverKeys = c.server;
    editProfile(sftpProfile(1), [&](Editor& e) {
      const auto& ui = e.controls();
      EXPECT_TRUE(ui.radioPublicKey->isChecked());
      EXPECT_FALSE(ui.textPassword->isEnabled());
      EXPECT_TRUE(ui.popupClientKeyPair->isEnabled());
      EXPECT_EQ(ui.popupServerPublicKey->numberOfItems(), std::max<int>(1, int(c.server.size())));
      if (c.client.isEmpty()) {
        EXPECT_EQ(ui.popupClientKeyPair->itemTitle(0), text("IDS_NE_NONE"));
        EXPECT_EQ(ui.popupClientKeyPair->indexOfSelectedItem(), -1);
      }
      if (c.chooseClient >= 0) ui.popupClientKeyPair->chooseItem(c.chooseClient);
      if (c.chooseServer >= 0) ui.popupServerPublicKey->chooseItem(c.chooseServer);
      if (!c.accepted) dialogs.expectAlert(0, text("IDS_CM_WARNING"));
      e.OKBtnPressed();
      EXPECT_EQ(e.isVisible(), !c.accepted);
      if (!c.accepted) {
        EXPECT_EQ(dialogs.alerts().back().information, emptyAlert("IDS_PS_SERVER_PUBLIC_KEY"));
      }
    });
    if (c.accepted) {
      const FCL_RS_PROFILE_SFTP_SETTING& s = slot(0).sSFTPSetting;
      EXPECT_EQ(s.byAuthMethod, 1);
      EXPECT_EQ(s.wClientKeyPairIndex, c.clientIndex);
      EXPECT_EQ(s.wSeverPublicKeyIndex, c.serverIndex);
      EXPECT_EQ(platform::textFromField(s.szPassword), "old-pass");
      EXPECT_EQ(s.wPort, 2222);
    }
  }
  // An empty client list: its one None item at index 0 is stored as 0.
  clientKeys = {};
  serverKeys = {"s0"};
  FCL_RS_PROFILE p = sftpProfile(1);
  p.sSFTPSetting.wClientKeyPairIndex = 0;
  editProfile(p, [&](Editor& e) { e.OKBtnPressed(); });
  EXPECT_EQ(slot(0).sSFTPSetting.wClientKeyPairIndex, 0);

  // Without server keys, public-key log-in chosen by the user is refused for the missing key.
  clientKeys = {"c0"};
  serverKeys = {};
  editProfile(sftpProfile(0), [&](Editor& e) {
    e.controls().radioPublicKey->click();
    dialogs.expectAlert(0, text("IDS_CM_WARNING"));
    e.OKBtnPressed();
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(dialogs.alerts().back().information, emptyAlert("IDS_PS_SERVER_PUBLIC_KEY"));
    e.CancelBtnPressed();
  });
}

// With password log-in the server-key pop-up stays enabled and checked, and its choice is stored.
TEST_F(ScanProfilePageTest, SftpPasswordLoginStoresTheServerKeyChoice) {
  editProfile(sftpProfile(0), [&](Editor& e) {
    const auto& ui = e.controls();
    EXPECT_TRUE(ui.radioPassword->isChecked());
    EXPECT_TRUE(ui.popupServerPublicKey->isEnabled());
    EXPECT_FALSE(ui.popupClientKeyPair->isEnabled());
    EXPECT_EQ(ui.textPassword->text(), "old-pass");
    ui.popupServerPublicKey->chooseItem(1);
    retype(ui.textPassword, "new-pass");
    retype(ui.textPasswordConfirm, "new-pass");
    e.OKBtnPressed();
  });
  const FCL_RS_PROFILE_SFTP_SETTING& s = slot(0).sSFTPSetting;
  EXPECT_EQ(s.byAuthMethod, 0);
  EXPECT_EQ(s.wSeverPublicKeyIndex, 1);
  EXPECT_EQ(s.wClientKeyPairIndex, 1);
  EXPECT_EQ(platform::textFromField(s.szPassword), "new-pass");
}

// A stored kind outside 0-2, or a key index beyond its list, shows no selection and is kept.
TEST_F(ScanProfilePageTest, ValuesWithoutAnItemShowNoSelectionAndAreKept) {
  FCL_RS_PROFILE odd = ftpProfile();
  odd.dwProfileType = 7;
  platform::textToField(odd.sShareFolderSetting.szShareFolderUTF16, "");
  editProfile(odd, [&](Editor& e) {
    EXPECT_EQ(e.controls().popupProfileType->indexOfSelectedItem(), -1);
    EXPECT_FALSE(e.controls().textPortNum->isEnabled());
    EXPECT_FALSE(e.controls().textPassword->isEnabled());
    retype(e.controls().textURI, "somewhere");
    retype(e.controls().textUserName, "someone");
    e.OKBtnPressed();
  });
  EXPECT_EQ(slot(0).dwProfileType, 7u);

  FCL_RS_PROFILE far = sftpProfile(1);
  far.sSFTPSetting.wSeverPublicKeyIndex = 5;
  far.sSFTPSetting.wClientKeyPairIndex = 9;
  editProfile(far, [&](Editor& e) {
    EXPECT_EQ(e.controls().popupServerPublicKey->indexOfSelectedItem(), -1);
    EXPECT_EQ(e.controls().popupClientKeyPair->indexOfSelectedItem(), -1);
    e.OKBtnPressed();
  });
  EXPECT_EQ(slot(0).sSFTPSetting.wSeverPublicKeyIndex, 5);
  EXPECT_EQ(slot(0).sSFTPSetting.wClientKeyPairIndex, 9);
}

// The FTP port: digits only while typing; OK wants 1..65535 right after the empty-entries check.
TEST_F(ScanProfilePageTest, FtpPortTakesDigitsAndMustBeInRange) {
  struct Case {
    const char* typed;
    const char* shown;
    QString alert;  // empty: accepted
    uint16_t stored;
  };
  const QString range = text("IDS_PF_PORT_RANGE_ERR_MSG");
  const Case cases[] = {
      {"2121", "2121", QString(), 2121}, {"65535", "65535", QString(), 65535}, {"1", "1", QString(), 1},
      {"70000", "70000", range, 21},     {"0", "0", range, 21},                  {"1e5", "1", QString(), 1},
      {"-", "", emptyAlert("IDS_PF_PORT"), 21}, {"25.9", "25", QString(), 25},  {"", "", emptyAlert("IDS_PF_PORT"), 21},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    editProfile(ftpProfile(), [&](Editor& e) {
      paste(e.controls().textPortNum, QString::fromLatin1(c.typed));
      EXPECT_EQ(e.controls().textPortNum->text(), QString::fromLatin1(c.shown));
      if (!c.alert.isEmpty()) dialogs.expectAlert(0, text("IDS_CM_WARNING"));
      e.OKBtnPressed();
      EXPECT_EQ(e.isVisible(), !c.alert.isEmpty());
      if (!c.alert.isEmpty()) {
        EXPECT_EQ(dialogs.alerts().back().information, c.alert);
      }
    });
    EXPECT_EQ(slot(0).sFTPSetting.wPort, c.stored);
  }
}

// ---- Typing ---------------------------------------------------------------------------------------------

// The strip of "&", ">" and "<", by kind and field.
TEST_F(ScanProfilePageTest, TypingStripsByKindAndField) {
  enum Field { Name, Address, Account, Password, Folder };
  struct Case {
    uint32_t kind;
    Field field;
    QString pasted;
    QString shown;
  };
  const Case cases[] = {
      {1, Name, "a&b<c>d", "abcd"},
      {0, Address, "\\\\nas\\a&b", "\\\\nas\\ab"},
      {2, Account, "a>b", "ab"},
      {1, Password, "p&<>", "p&<>"},
      {2, Folder, "/a&b", "/ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.field));
    FCL_RS_PROFILE p = sftpProfile(0);
    p.dwProfileType = c.kind;
    editProfile(p, [&](Editor& e) {
      const auto& ui = e.controls();
      QLineEdit* fields[] = {ui.textProfileName, ui.textURI, ui.textUserName, ui.textPassword, ui.textStoreDirectory};
      paste(fields[c.field], c.pasted);
      EXPECT_EQ(fields[c.field]->text(), c.shown);
      e.CancelBtnPressed();
    });
  }
}

// The server address (FTP, SFTP): a refused text goes back to the last accepted one, so the field
// cannot be emptied by typing; host names with "-" are accepted.
TEST_F(ScanProfilePageTest, ServerAddressCheckAndLastHost) {
  editProfile(ftpProfile(), [&](Editor& e) {
    QLineEdit* uri = e.controls().textURI;
    EXPECT_EQ(e.lastHost(), "ftp.example.com");
    retype(uri, "nas-01.example.com");
    EXPECT_EQ(uri->text(), "nas-01.example.com");
    EXPECT_EQ(e.lastHost(), "nas-01.example.com");
    QTest::keyClicks(uri, " x");  // a blank is refused: the text before it stays
    EXPECT_EQ(uri->text(), "nas-01.example.comx");
    paste(uri, "bad host");
    EXPECT_EQ(uri->text(), "nas-01.example.comx");
    uri->selectAll();
    QTest::keyClick(uri, Qt::Key_Backspace);
    EXPECT_EQ(uri->text(), "nas-01.example.comx");
    e.OKBtnPressed();
  });
  EXPECT_EQ(platform::textFromField(slot(0).sFTPSetting.szHost), "nas-01.example.comx");

  // A stored empty address cannot be typed away from; OK keeps it as it was.
  FCL_RS_PROFILE empty = ftpProfile();
  platform::textToField(empty.sFTPSetting.szHost, "");
  editProfile(empty, [&](Editor& e) {
    QTest::keyClicks(e.controls().textURI, ":");
    EXPECT_EQ(e.controls().textURI->text(), "");
    e.OKBtnPressed();
    EXPECT_FALSE(e.isVisible());
  });
  EXPECT_TRUE(dialogs.alerts().empty());
  EXPECT_EQ(std::memcmp(&slot(0), &empty, sizeof empty), 0);
  // The same address is refused once the user chose FTP for the profile.
  empty.dwProfileType = 0;
  editProfile(empty, [&](Editor& e) {
    ASSERT_TRUE(e.controls().popupProfileType->chooseItem(1));
    dialogs.expectAlert(0, text("IDS_CM_WARNING"));
    e.OKBtnPressed();
    EXPECT_EQ(dialogs.alerts().back().information, emptyAlert("IDS_PF_HOST_ADDRESS"));
    e.CancelBtnPressed();
  });
}

// Switching the kind, or the log-in method, refills the fields from the copy.
TEST_F(ScanProfilePageTest, KindSwitchAndBackShowsTheStoredValues) {
  editProfile(ftpProfile(), [&](Editor& e) {
    const auto& ui = e.controls();
    EXPECT_TRUE(ui.radioPassiveOff->isChecked());
    retype(ui.textURI, "typed.example.com");
    ui.popupProfileType->chooseItem(0);
    EXPECT_EQ(ui.textURI->text(), "\\\\nas\\share");
    EXPECT_EQ(ui.textUserName->text(), "shareuser");
    EXPECT_FALSE(ui.textPortNum->isEnabled());
    EXPECT_FALSE(ui.labelPortNum->isEnabled());
    EXPECT_FALSE(ui.textStoreDirectory->isEnabled());
    ui.popupProfileType->chooseItem(1);
    EXPECT_EQ(ui.textURI->text(), "ftp.example.com");
    EXPECT_EQ(ui.textPortNum->text(), "21");
    EXPECT_EQ(ui.textStoreDirectory->text(), "/in");
    EXPECT_TRUE(ui.textPortNum->isEnabled());
    // SFTP: a typed address is replaced when the log-in method changes.
    ui.popupProfileType->chooseItem(2);
    EXPECT_EQ(ui.textURI->text(), "sftp.example.com");
    retype(ui.textURI, "typed.example.com");
    QTest::mouseClick(ui.radioPublicKey, Qt::LeftButton, {}, QPoint(6, ui.radioPublicKey->height() / 2));
    EXPECT_EQ(ui.textURI->text(), "sftp.example.com");
    EXPECT_TRUE(ui.radioPublicKey->isChecked());
    EXPECT_FALSE(ui.radioPassword->isChecked());
    EXPECT_TRUE(ui.popupClientKeyPair->isEnabled());
    e.CancelBtnPressed();
  });
}

// ---- Texts and their arrays ---------------------------------------------------------------------------------

enum TextField { Name, Address, Account, Password, Confirm, Folder };
const char* const kTextLabelKeys[] = {"IDS_PS_PROFILE_NAME", "IDS_PF_HOST_ADDRESS", "IDS_PF_USER_NAME",
                                      "IDS_PF_PASSWORD",     "IDS_PF_RETYPE_PASSWORD", "IDS_PF_STORE_DIRECTORY"};

QLineEdit* textField(const Editor& e, TextField f) {
  const auto& ui = e.controls();
  QLineEdit* const fields[] = {ui.textProfileName, ui.textURI,             ui.textUserName,
                               ui.textPassword,    ui.textPasswordConfirm, ui.textStoreDirectory};
  return fields[f];
}

// All N bytes of the array that field `f` edits in a profile of `kind` (the confirmation: the
// password's, which it never writes).
QByteArray arrayBytes(const FCL_RS_PROFILE& p, uint32_t kind, TextField f) {
  auto bytes = [](const auto& array) { return QByteArray(array, qsizetype(sizeof array)); };
  if (f == Name) return bytes(p.szProfileName);
  switch (kind) {
    case 0: {
      const auto& s = p.sShareFolderSetting;
      return f == Address ? bytes(s.szShareFolderUTF16) : f == Account ? bytes(s.szUsername) : bytes(s.szPassword);
    }
    case 1: {
      const auto& s = p.sFTPSetting;
      return f == Address   ? bytes(s.szHost)
             : f == Account ? bytes(s.szUsername)
             : f == Folder  ? bytes(s.szRemoteDirectoryUTF16)
                            : bytes(s.szPassword);
    }
    default: {
      const auto& s = p.sSFTPSetting;
      return f == Address   ? bytes(s.szHost)
             : f == Account ? bytes(s.szUsername)
             : f == Folder  ? bytes(s.szRemoteDirectoryUTF16)
                            : bytes(s.szPassword);
    }
  }
}
// The N bytes an array holds after `text` was stored: its UTF-8, then zeros.
QByteArray storedBytes(const QString& text, qsizetype n) {
  const QByteArray utf8 = text.toUtf8();
  return utf8 + QByteArray(n - utf8.size(), '\0');
}
QString tooLongMessage(TextField f, qsizetype capacity) {
  return platform::formatText(text("IDS_CM_TEXT_TOO_LONG_MSG"), {text(kTextLabelKeys[f]), int(capacity)});
}

// A profile of `kind` whose sub-records all hold texts (the folder kind's password too).
FCL_RS_PROFILE profileOfKind(uint32_t kind) {
  FCL_RS_PROFILE p = sftpProfile(0);
  p.dwProfileType = kind;
  platform::textToField(p.sShareFolderSetting.szPassword, "share-pass");
  return p;
}

// The limits count the bytes of the array the field writes in the kind shown (the address: 319
// for a folder path, 127 for a server): a text that fits is stored whole, byte for byte; an edit
// beyond the limit is refused with an alert naming the field and its limit, the field keeps its
// last accepted text, and nothing cut reaches the profile.
TEST_F(ScanProfilePageTest, TextsAreStoredWholeOrRefusedWithAnAlert) {
  enum class How { Typed, Pasted };
  struct Case {
    const char* what;
    uint32_t kind;
    TextField field;
    How how;
    QString input;
    bool taken;
  };
  const QString e2 = QString(QChar(0x00E9));  // é, two bytes
  const QString e3 = QString(QChar(0x20AC));  // €, three bytes
  const QString share = QStringLiteral("\\\\nas\\");
  const Case cases[] = {
      {"name, ASCII at 31", 0, Name, How::Typed, QString(31, u'n'), true},
      {"name, one byte over", 0, Name, How::Typed, QString(32, u'n'), false},
      {"name, 31 two-byte characters", 1, Name, How::Pasted, e2.repeated(31), false},
      {"name, 15 two-byte characters and a letter", 2, Name, How::Typed, e2.repeated(15) + "a", true},
      {"folder address, ASCII at 319", 0, Address, How::Pasted, share + QString(319 - 6, u'x'), true},
      {"folder address, one byte over", 0, Address, How::Pasted, share + QString(320 - 6, u'x'), false},
      {"FTP host, ASCII at 127", 1, Address, How::Pasted, QString(127, u'h'), true},
      {"FTP host, 128 bytes", 1, Address, How::Pasted, QString(128, u'h'), false},
      {"SFTP host, one byte over", 2, Address, How::Typed, QString(128, u'h'), false},
      {"account, 21 three-byte characters", 1, Account, How::Pasted, e3.repeated(21), true},
      {"account, one byte over", 2, Account, How::Typed, QString(64, u'u'), false},
      {"password, 40 two-byte characters", 1, Password, How::Pasted, e2.repeated(40), false},
      {"password, 31 two-byte characters and a letter", 0, Password, How::Typed, e2.repeated(31) + "p", true},
      {"confirmation, one byte over", 2, Confirm, How::Pasted, QString(64, u'c'), false},
      {"remote folder, 85 three-byte characters", 1, Folder, How::Pasted, e3.repeated(85), true},
      {"remote folder, one byte over", 2, Folder, How::Typed, "/" + e3.repeated(85), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FCL_RS_PROFILE before = profileOfKind(c.kind);
    const qsizetype size = arrayBytes(before, c.kind, c.field).size();
    QString after;
    editProfile(before, [&](Editor& e) {
      QLineEdit* field = textField(e, c.field);
      const QString shown = field->text();
      if (!c.taken) dialogs.expectAlert(0, tooLongMessage(c.field, size - 1));
      if (c.how == How::Pasted) paste(field, c.input);
      else typeOver(field, c.input);
      // A password the user changes is confirmed, or OK refuses it.
      if (c.taken && c.field == Password) paste(e.controls().textPasswordConfirm, c.input);

      EXPECT_EQ(dialogs.pendingAlerts(), 0u);
      if (c.taken) {
        EXPECT_TRUE(dialogs.alerts().empty());
      } else {
        ASSERT_EQ(dialogs.alerts().size(), 1u);
        EXPECT_EQ(dialogs.alerts()[0].information, text("IDS_CM_TEXT_TOO_LONG_INFO"));
      }
      // Refused: a paste leaves the text before it, typing keeps what came before the last key.
      after = c.taken ? c.input : c.how == How::Pasted ? shown : c.input.chopped(1);
      EXPECT_EQ(field->text(), after);
      // What the field holds now is accepted by OK.
      e.OKBtnPressed();
      EXPECT_FALSE(e.isVisible());
    });
    const QByteArray was = arrayBytes(before, c.kind, c.field);
    const bool asRead = c.field == Confirm || after == platform::textFromField(was.constData(), std::size_t(size));
    EXPECT_EQ(arrayBytes(slot(0), c.kind, c.field).toHex().toStdString(),
              (asRead ? was : storedBytes(after, size)).toHex().toStdString());
    dialogs.clear();
  }
}

// OK refuses a changed text its array cannot hold, however it got there (set without typing, a
// stored text longer than its array edited down but not enough); the window stays open, the
// focus in the field. A disabled field is not stored, so whatever it shows holds nothing back.
TEST_F(ScanProfilePageTest, OkRefusesAChangedTextThatDoesNotFit) {
  auto notUtf8Password = [](uint32_t kind) {
    FCL_RS_PROFILE p = profileOfKind(kind);
    char* pw = kind == 1 ? p.sFTPSetting.szPassword : p.sSFTPSetting.szPassword;
    std::memset(pw, 0xFF, sizeof p.sFTPSetting.szPassword);  // 64 replacement characters, 192 bytes
    return p;
  };
  auto deleteLast = [](QLineEdit* field) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClick(field, Qt::Key_Backspace);
  };
  struct Case {
    const char* what;
    FCL_RS_PROFILE profile;
    std::function<void(Editor&)> act;
    bool refused;
    TextField field;  // the field refused
  };
  const Case cases[] = {
      {"name set without typing", profileOfKind(1),
       [](Editor& e) { e.controls().textProfileName->setText(QString(32, u'n')); }, true, Name},
      {"stored FTP password not UTF-8, one character deleted", notUtf8Password(1),
       [&](Editor& e) { deleteLast(e.controls().textPassword); }, true, Password},
      {"the same with SFTP, then public-key log-in", notUtf8Password(2),
       [&](Editor& e) {
         deleteLast(e.controls().textPassword);
         QTest::mouseClick(e.controls().radioPublicKey, Qt::LeftButton, {},
                           QPoint(6, e.controls().radioPublicKey->height() / 2));
         ASSERT_FALSE(e.controls().textPassword->isEnabled());
       },
       false, Password},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs.clear();
    editProfile(c.profile, [&](Editor& e) {
      c.act(e);
      EXPECT_TRUE(dialogs.alerts().empty());  // typing shorter is always taken
      e.controls().textUserName->setFocus();
      QLineEdit* field = textField(e, c.field);
      const qsizetype size = arrayBytes(c.profile, c.profile.dwProfileType, c.field).size();
      if (c.refused) dialogs.expectAlert(0, tooLongMessage(c.field, size - 1));
      e.OKBtnPressed();
      EXPECT_EQ(dialogs.pendingAlerts(), 0u);
      EXPECT_EQ(e.isVisible(), c.refused);
      if (c.refused) {
        ASSERT_EQ(dialogs.alerts().size(), 1u);
        EXPECT_EQ(dialogs.alerts()[0].information, text("IDS_CM_TEXT_TOO_LONG_INFO"));
        EXPECT_EQ(e.focusWidget(), field);
        e.CancelBtnPressed();
      } else {
        EXPECT_TRUE(dialogs.alerts().empty());
      }
    });
    // Nothing cut reached the profile: refused, nothing was handed back; taken with public-key
    // log-in, the password stays as it was read.
    EXPECT_EQ(arrayBytes(slot(0), c.profile.dwProfileType, c.field).toHex().toStdString(),
              arrayBytes(c.profile, c.profile.dwProfileType, c.field).toHex().toStdString());
    EXPECT_EQ(slot(0).sSFTPSetting.byAuthMethod, c.refused ? c.profile.sSFTPSetting.byAuthMethod : 1);
  }
}

// Texts as a scanner may hold them (no NUL within the array, bytes that are not UTF-8, each longer
// than its array once shown) go back byte for byte when OK is pressed without touching them, in
// every kind, also after switching the kind and back; the page then sees no change.
TEST_F(ScanProfilePageTest, UntouchedTextsGoBackByteForByte) {
  auto fill = [](auto& array) {
    std::memset(array, 'a', sizeof array);
    array[0] = char(0xFF);
    array[sizeof array - 1] = char(0xC3);
  };
  struct Case {
    uint32_t kind;
    int switchTo;  // a kind chosen and left again before OK; -1: none
  };
  const Case cases[] = {{0, -1}, {1, -1}, {2, -1}, {1, 0}, {0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + " via " + std::to_string(c.switchTo));
    FCL_RS_PROFILE p = profileOfKind(c.kind);
    fill(p.szProfileName);
    fill(p.sShareFolderSetting.szShareFolderUTF16);
    fill(p.sShareFolderSetting.szUsername);
    fill(p.sShareFolderSetting.szPassword);
    for (auto* s : {&p.sFTPSetting.szHost, &p.sSFTPSetting.szHost}) fill(*s);
    for (auto* s : {&p.sFTPSetting.szUsername, &p.sFTPSetting.szPassword, &p.sSFTPSetting.szUsername,
                    &p.sSFTPSetting.szPassword})
      fill(*s);
    fill(p.sFTPSetting.szRemoteDirectoryUTF16);
    fill(p.sSFTPSetting.szRemoteDirectoryUTF16);
    editProfile(p, [&](Editor& e) {
      if (c.switchTo >= 0) {
        ASSERT_TRUE(e.controls().popupProfileType->chooseItem(c.switchTo));
        ASSERT_TRUE(e.controls().popupProfileType->chooseItem(int(c.kind)));
      }
      e.OKBtnPressed();
      EXPECT_FALSE(e.isVisible());
    });
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_EQ(std::memcmp(&p, &slot(0), sizeof p), 0);
    EXPECT_FALSE(page.isDataChanged(&io));
  }
}

// A profile as a scanner may hold it, OK pressed without a change: no alert, and every byte goes
// back as it came, whatever it holds.
TEST_F(ScanProfilePageTest, OkOnAnUntouchedProfileHandsItBackAsItCame) {
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PROFILE&)> change;
  };
  const Case cases[] = {
      {"network folder without account and password", [](FCL_RS_PROFILE& p) {
         p.dwProfileType = 0;
         std::memset(&p.sShareFolderSetting, 0, sizeof p.sShareFolderSetting);
       }},
      {"FTP without password, port 0, passive 0xFF", [](FCL_RS_PROFILE& p) {
         std::memset(p.sFTPSetting.szPassword, 0, sizeof p.sFTPSetting.szPassword);
         p.sFTPSetting.wPort = 0;
         p.sFTPSetting.byPassiveMode = 0xFF;
       }},
      {"FTP without host and account, passive 2", [](FCL_RS_PROFILE& p) {
         std::memset(p.sFTPSetting.szHost, 0, sizeof p.sFTPSetting.szHost);
         std::memset(p.sFTPSetting.szUsername, 0, sizeof p.sFTPSetting.szUsername);
         p.sFTPSetting.byPassiveMode = 2;
       }},
      {"SFTP, log-in 5, no password, key indexes beyond the lists", [](FCL_RS_PROFILE& p) {
         p = sftpProfile(5);
         std::memset(p.sSFTPSetting.szPassword, 0, sizeof p.sSFTPSetting.szPassword);
         p.sSFTPSetting.wSeverPublicKeyIndex = 0xFFFF;
         p.sSFTPSetting.wClientKeyPairIndex = 0xFFFF;
       }},
      {"SFTP with public key, no server key", [](FCL_RS_PROFILE& p) {
         p = sftpProfile(1);
         p.sSFTPSetting.wSeverPublicKeyIndex = 7;
       }},
      {"unknown kind, empty address", [](FCL_RS_PROFILE& p) {
         p.dwProfileType = 7;
         std::memset(p.sShareFolderSetting.szShareFolderUTF16, 0, sizeof p.sShareFolderSetting.szShareFolderUTF16);
       }},
      {"empty name", [](FCL_RS_PROFILE& p) { std::memset(p.szProfileName, 0, sizeof p.szProfileName); }},
      {"scan options the rules would not produce", [](FCL_RS_PROFILE& p) {
         p.sScan2Network.byDocumentSize = 24;
         p.sScan2Network.byScanType = 3;
         p.sScan2Network.byDuplexScan = 1;
         p.sScan2Network.bySkipBlankPage = 1;
         p.sScan2Network.wResolution_Auto = 600;
         p.sScan2Network.byFileType_Auto = 9;
       }},
      {"every byte 0xFF", [](FCL_RS_PROFILE& p) { std::memset(&p, 0xFF, sizeof p); }},
      {"every byte 0x80", [](FCL_RS_PROFILE& p) { std::memset(&p, 0x80, sizeof p); }},
      {"every byte 0x01", [](FCL_RS_PROFILE& p) { std::memset(&p, 0x01, sizeof p); }},
      {"every byte 0x02", [](FCL_RS_PROFILE& p) { std::memset(&p, 0x02, sizeof p); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FCL_RS_PROFILE p = ftpProfile();
    c.change(p);
    editProfile(p, [&](Editor& e) {
      e.OKBtnPressed();
      EXPECT_FALSE(e.isVisible());
    });
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_EQ(std::memcmp(&p, &slot(0), sizeof p), 0);
    EXPECT_FALSE(page.isDataChanged(&io));
  }
}

// On a profile the user changed, OK checks what the user changed and what that brings into use;
// the change is handed back beside the untouched odd values.
TEST_F(ScanProfilePageTest, OkChecksWhatTheUserChangedAndWhatThatBringsIntoUse) {
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PROFILE&)> stored;
    std::function<void(Editor&)> act;
    QString alert;  // empty: accepted
    std::function<void(FCL_RS_PROFILE&)> expect;
  };
  const auto noFtpPassword = [](FCL_RS_PROFILE& p) {
    std::memset(p.sFTPSetting.szPassword, 0, sizeof p.sFTPSetting.szPassword);
    p.sFTPSetting.byPassiveMode = 0xFF;
  };
  const Case cases[] = {
      {"port changed, stored password empty", noFtpPassword,
       [](Editor& e) { paste(e.controls().textPortNum, "2121"); }, QString(),
       [](FCL_RS_PROFILE& p) { p.sFTPSetting.wPort = 2121; }},
      {"passive mode chosen", noFtpPassword, [](Editor& e) { e.controls().radioPassiveOn->click(); }, QString(),
       [](FCL_RS_PROFILE& p) { p.sFTPSetting.byPassiveMode = 1; }},
      {"port changed to 0", noFtpPassword, [](Editor& e) { paste(e.controls().textPortNum, "0"); },
       text("IDS_PF_PORT_RANGE_ERR_MSG"), nullptr},
      {"password emptied", [](FCL_RS_PROFILE&) {},
       [](Editor& e) {
         retype(e.controls().textPassword, "");
         retype(e.controls().textPasswordConfirm, "");
       },
       emptyAlert("IDS_PF_PASSWORD"), nullptr},
      {"FTP chosen for a folder profile, FTP password empty", [](FCL_RS_PROFILE& p) {
         p.dwProfileType = 0;
         std::memset(p.sFTPSetting.szPassword, 0, sizeof p.sFTPSetting.szPassword);
       },
       [](Editor& e) { ASSERT_TRUE(e.controls().popupProfileType->chooseItem(1)); }, emptyAlert("IDS_PF_PASSWORD"),
       nullptr},
      {"folder chosen for an FTP profile, folder account empty", [](FCL_RS_PROFILE& p) {
         platform::textToField(p.sShareFolderSetting.szPassword, "pw");
         std::memset(p.sShareFolderSetting.szUsername, 0, sizeof p.sShareFolderSetting.szUsername);
       },
       [](Editor& e) { ASSERT_TRUE(e.controls().popupProfileType->chooseItem(0)); }, emptyAlert("IDS_PF_USER_NAME"),
       nullptr},
      {"kind chosen and left again", noFtpPassword,
       [](Editor& e) {
         ASSERT_TRUE(e.controls().popupProfileType->chooseItem(2));
         ASSERT_TRUE(e.controls().popupProfileType->chooseItem(1));
       },
       QString(), [](FCL_RS_PROFILE&) {}},
      {"SFTP password log-in chosen, stored password empty", [](FCL_RS_PROFILE& p) {
         p = sftpProfile(1);
         std::memset(p.sSFTPSetting.szPassword, 0, sizeof p.sSFTPSetting.szPassword);
       },
       [](Editor& e) { e.controls().radioPassword->click(); }, emptyAlert("IDS_PF_PASSWORD"), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FCL_RS_PROFILE p = ftpProfile();
    c.stored(p);
    editProfile(p, [&](Editor& e) {
      c.act(e);
      if (!c.alert.isEmpty()) dialogs.expectAlert(0, text("IDS_CM_WARNING"));
      e.OKBtnPressed();
      EXPECT_EQ(e.isVisible(), !c.alert.isEmpty());
      if (!c.alert.isEmpty()) {
        ASSERT_FALSE(dialogs.alerts().empty());
        EXPECT_EQ(dialogs.alerts().back().information, c.alert);
        e.CancelBtnPressed();
      }
    });
    FCL_RS_PROFILE expected = p;
    if (c.expect) c.expect(expected);
    EXPECT_EQ(std::memcmp(&expected, &slot(0), sizeof p), 0);
  }
}

// Every byte no control shows travels as it came; the scan options are read back.
TEST_F(ScanProfilePageTest, OkWithoutEditsKeepsEveryCarriedByte) {
  const FCL_RS_PROFILE p = ftpProfile();
  editProfile(p, [&](Editor& e) { e.OKBtnPressed(); });
  EXPECT_EQ(std::memcmp(&p, &slot(0), sizeof p), 0);
  EXPECT_FALSE(page.isDataChanged(&io));
}

// The editor offers continuous scan and signed PDF (no module flag); a margin typed beyond the
// range shows the value that is stored, and that value reaches the scanner.
TEST_F(ScanProfilePageTest, MarginFieldShowsTheStoredValueAndThatReachesTheScanner) {
  editProfile(ftpProfile(), [&](Editor& e) {
    const ScanOptionEditor::Controls& o = e.controls().options->controls();
    EXPECT_FALSE(o.popupContinuousScan->isHidden());
    EXPECT_FALSE(o.popupFileType->isItemHidden(5));
    EXPECT_FALSE(o.popupFileType->isItemHidden(6));
    struct Case {
      QLineEdit* field;
      const char* typed;
      const char* shown;
    };
    const Case cases[] = {{o.textLeft, "20", "12.7"}, {o.textTop, "-20", "-12.8"}, {o.textRight, "13", "12.7"},
                          {o.textBottom, "12", "12"}};
    for (const Case& c : cases) {
      retype(c.field, QString::fromLatin1(c.typed));
      EXPECT_EQ(c.field->text(), QString::fromLatin1(c.shown)) << c.typed;
    }
    e.OKBtnPressed();
  });
  ASSERT_TRUE(page.getParam(&io));
  const FCL_RS_PARAM_SCANPROFILE stored = sim.model().profiles().sProfile[0].sScan2Network;
  EXPECT_EQ(stored.byMarginLeft, 127);
  EXPECT_EQ(stored.byMarginTop, -128);
  EXPECT_EQ(stored.byMarginRight, 127);
  EXPECT_EQ(stored.byMarginBottom, 120);
}

// ---- Pictures ----------------------------------------------------------------------------------------------

// The list with the simulator's profiles, and the editor for each kind; the visible texts and
// enabled controls are checked before saving.
TEST_F(ScanProfilePageTest, ScreenshotsOfTheListAndTheEditorOfEachKind) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  load();
  page.show();
  QApplication::processEvents();
  EXPECT_EQ(page.controls().labelName[0]->text(), "Office share");
  EXPECT_EQ(page.controls().labelType[2]->text(), text("IDS_PF_PROFILE_TO_FTP"));
  EXPECT_EQ(page.controls().labelType[5]->text(), text("IDS_PS_PROFILE_TO_SFTP"));
  EXPECT_EQ(page.controls().btnProfile[24]->text(), text("IDS_SP_PROFILE") + " 25");
  EXPECT_TRUE(page.grab().toImage().save(QStringLiteral(ZR_SCREENSHOT_DIR "/scan-profile-list.png")));

  struct Shot {
    int row;
    const char* file;
    const char* host;
    bool port, password, clientKey;
  };
  const Shot shots[] = {{1, "scan-profile-editor-folder.png", "\\\\192.0.2.10\\scans", false, true, false},
                        {3, "scan-profile-editor-ftp.png", "192.0.2.21", true, true, false},
                        {5, "scan-profile-editor-sftp.png", "192.0.2.22", false, false, true}};
  for (const Shot& s : shots) {
    SCOPED_TRACE(s.file);
    edit(s.row, [&](Editor& e) {
      const auto& ui = e.controls();
      EXPECT_EQ(ui.textURI->text(), QString::fromLatin1(s.host));
      EXPECT_EQ(ui.textPortNum->isEnabled(), s.port);
      EXPECT_EQ(ui.textPassword->isEnabled(), s.password);
      EXPECT_EQ(ui.popupClientKeyPair->isEnabled(), s.clientKey);
      // The demo content shows in every pop-up the user can use.
      for (const platform::PopUpButton* popup : e.findChildren<platform::PopUpButton*>())
        if (popup->isEnabled()) {
          EXPECT_FALSE(popup->titleOfSelectedItem().isEmpty()) << popup->toolTip().toStdString();
        }
      EXPECT_EQ(ui.textProfileTitle->text(), text("IDS_SP_PROFILE") + QStringLiteral(" %1").arg(s.row));
      EXPECT_TRUE(e.grab().toImage().save(QStringLiteral(ZR_SCREENSHOT_DIR "/") + QString::fromLatin1(s.file)));
      e.CancelBtnPressed();
    });
  }
}

// The page factory builds the page and the editor.
TEST(ScanProfileRegistration, PageAndEditorAreRegistered) {
  auto page = PageFactory::standard().create(QStringLiteral("ScanProfileViewController"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->objectName(), "scanProfile");
  EXPECT_NE(dynamic_cast<ScanProfileControllerObjC*>(page.get()), nullptr);
  auto editor = PageFactory::standard().createEditor(QString::fromLatin1(kScanProfileEditorId));
  EXPECT_NE(qobject_cast<ScanProfileSettingControllerObjC*>(editor.get()), nullptr);
}

}  // namespace
