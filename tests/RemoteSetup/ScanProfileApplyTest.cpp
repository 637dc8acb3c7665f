// The scan-profile page in the main window, against the simulated scanner: an edited FTP profile
// and an edited SFTP profile go through the apply cycle to the scanner in their slots, byte for
// byte, the other 23 slots as they were; profiles that could not be read block nothing and are
// never written.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstring>

#include "MainWindowFixture.h"
#include "Views/ScanProfileControllerObjC.h"
#include "Views/ScanProfileSettingControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/PopUpButton.h"

using platform::Localizer;

namespace {

using Runs = std::vector<std::string>;

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

void retype(QLineEdit* field, const QString& typed) {
  field->setFocus();
  field->selectAll();
  QTest::keyClicks(field, typed);
}

sim::Fault refusedProfiles(uint8_t opcode) {
  sim::Fault f;
  f.opcode = opcode;
  f.dtc = FCLC_RS_PROFILE;
  f.lastErr = 0x2005;
  return f;
}

FCL_RS_PROFILE_ALL received(const sim::Bytes& write) {
  FCL_RS_PROFILE_ALL all;
  std::memcpy(&all, write.data(), sizeof all);
  return all;
}

class ScanProfileApplyTest : public MainWindowTest {
 public:
  ScanProfileApplyTest() {
    realPages = [](PageFactory& f) {
      f.registerPage(QString::fromLatin1(pages::kScanProfileStoryboard),
                     [](QWidget* p) { return std::make_unique<ScanProfileControllerObjC>(p); });
    };
  }
  ScanProfileControllerObjC* profiles() const {
    return dynamic_cast<ScanProfileControllerObjC*>(vc->page(QString::fromLatin1(pages::kScanProfileStoryboard)));
  }
  // Apply, answering the result alert; answers its information text.
  QString apply() {
    dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
    vc->ApplyBtnPressed();
    settledCommands();
    return dialogs.alerts().empty() ? QString() : dialogs.alerts().back().information;
  }
  // The whole-list writes the scanner received, in order.
  std::vector<sim::Bytes> profileWrites() {
    std::vector<sim::Bytes> out;
    for (const auto& c : settledCommands())
      if (c.cmd.byDTC == FCLC_RS_PROFILE && c.cmd.byOPCode != FOP_READ) out.push_back(c.dataIn);
    return out;
  }
  // Opens the editor from button `row` and lets `work` operate the shown editor.
  void edit(int row, const std::function<void(ScanProfileSettingControllerObjC&)>& work) {
    ScanProfileControllerObjC* page = profiles();
    page->setEditorPresenter([&](QDialog& d) {
      auto& editor = dynamic_cast<ScanProfileSettingControllerObjC&>(d);
      editor.show();
      settle();
      work(editor);
      editor.hide();
    });
    QTest::mouseClick(page->controls().btnProfile[row - 1], Qt::LeftButton);
  }
};

// A user edits the FTP profile of row 3 and the SFTP profile of row 5, and presses Apply: the
// scanner receives all 25 profiles in one command, the two edited as the user left them, every
// other byte as it was.
TEST_F(ScanProfileApplyTest, EditedFtpAndSftpProfilesReachTheScannerInTheirSlots) {
  loaded();
  const auto before = std::make_unique<FCL_RS_PROFILE_ALL>(link->model().profiles());
  click("IDS_SP_SCAN_PROFILE");
  ASSERT_EQ(shown(), "scanProfile");
  ASSERT_EQ(profiles()->controls().labelName[2]->text(), "FTP upload");

  edit(3, [](ScanProfileSettingControllerObjC& e) {
    const auto& ui = e.controls();
    retype(ui.textProfileName, "FTP to NAS");
    retype(ui.textURI, "nas-01.example.com");
    retype(ui.textPortNum, "2121");
    retype(ui.textStoreDirectory, "/scans/in");
    QTest::mouseClick(ui.radioPassiveOff, Qt::LeftButton, {}, QPoint(6, ui.radioPassiveOff->height() / 2));
    retype(ui.textPassword, "n3w");
    retype(ui.textPasswordConfirm, "n3w");
    e.OKBtnPressed();
  });
  edit(5, [](ScanProfileSettingControllerObjC& e) {
    const auto& ui = e.controls();
    EXPECT_EQ(ui.popupClientKeyPair->titleOfSelectedItem(), "scanner-ed25519");
    ui.popupClientKeyPair->chooseItem(0);
    retype(ui.textUserName, "uploader");
    e.OKBtnPressed();
  });
  EXPECT_EQ(profiles()->controls().labelName[2]->text(), "FTP to NAS");

  sent();
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID", "dtc158"}));
  ASSERT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));

  auto want = std::make_unique<FCL_RS_PROFILE_ALL>(*before);
  FCL_RS_PROFILE_FTP_SETTING& ftp = want->sProfile[2].sFTPSetting;
  platform::textToField(want->sProfile[2].szProfileName, "FTP to NAS");
  platform::textToField(ftp.szHost, "nas-01.example.com");
  ftp.wPort = 2121;
  platform::textToField(ftp.szRemoteDirectoryUTF16, "/scans/in");
  ftp.byPassiveMode = 0;
  platform::textToField(ftp.szPassword, "n3w");
  FCL_RS_PROFILE_SFTP_SETTING& sftp = want->sProfile[4].sSFTPSetting;
  sftp.wClientKeyPairIndex = 0;
  platform::textToField(sftp.szUsername, "uploader");

  const auto writes = profileWrites();
  ASSERT_EQ(writes.size(), 1u);
  ASSERT_EQ(writes[0].size(), sizeof(FCL_RS_PROFILE_ALL));
  auto received = std::make_unique<FCL_RS_PROFILE_ALL>();
  std::memcpy(received.get(), writes[0].data(), sizeof *received);
  for (int i = 0; i < FCL_PROFILE_COUNT; ++i) {
    const auto* a = reinterpret_cast<const uint8_t*>(&want->sProfile[i]);
    const auto* b = reinterpret_cast<const uint8_t*>(&received->sProfile[i]);
    for (std::size_t k = 0; k < sizeof(FCL_RS_PROFILE); ++k)
      if (a[k] != b[k]) ADD_FAILURE() << "slot " << i << " byte " << k << ": " << int(a[k]) << " != " << int(b[k]);
  }
  const auto now = std::make_unique<FCL_RS_PROFILE_ALL>(link->model().profiles());
  EXPECT_EQ(std::memcmp(want.get(), now.get(), sizeof *want), 0);

  // Apply again: nothing changed, nothing written.
  vc->ApplyBtnPressed();
  EXPECT_EQ(profileWrites().size(), 1u);
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// The profiles cannot be read when the page is shown: the read-failure alert; Apply and leaving
// the page go through without a question and without writing the profiles.
TEST_F(ScanProfileApplyTest, UnreadProfilesBlockNothingAndAreNeverWritten) {
  loaded();
  const auto before = std::make_unique<FCL_RS_PROFILE_ALL>(link->model().profiles());
  sim::Fault refused;
  refused.opcode = FOP_READ;
  refused.dtc = FCLC_RS_PROFILE;
  refused.lastErr = 0x2005;
  link->faults().add(refused);
  dialogs.expectAlert(0, text("IDS_SP_READ_FAIL_MSG"));
  click("IDS_SP_SCAN_PROFILE");
  ASSERT_EQ(shown(), "scanProfile");
  EXPECT_FALSE(profiles()->controls().btnProfile[0]->isEnabled());

  sent();
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID"}));
  click("IDS_GS_GENERAL_SETUP");
  EXPECT_EQ(shown(), "generalSetup");
  EXPECT_TRUE(profileWrites().empty());
  const auto now = std::make_unique<FCL_RS_PROFILE_ALL>(link->model().profiles());
  EXPECT_EQ(std::memcmp(before.get(), now.get(), sizeof *before), 0);
  EXPECT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// A rename saved (accepted), another page, then a profile read refused on coming back: the page
// says so once and shows the saved name; leaving the untouched page asks nothing; Apply of another
// edit sends the saved profiles with that edit.
TEST_F(ScanProfileApplyTest, SavedProfilesAreWhatTheUnreadablePageFallsBackTo) {
  loaded();
  click("IDS_SP_SCAN_PROFILE");
  ASSERT_EQ(shown(), "scanProfile");
  edit(1, [](ScanProfileSettingControllerObjC& e) {
    retype(e.controls().textProfileName, "Renamed");
    e.OKBtnPressed();
  });
  EXPECT_EQ(apply(), text("IDS_APPLY_SUCCESS_MSG"));
  const auto saved = std::make_unique<FCL_RS_PROFILE_ALL>(link->model().profiles());
  ASSERT_EQ(platform::textFromField(saved->sProfile[0].szProfileName), "Renamed");
  click("IDS_GS_GENERAL_SETUP");
  ASSERT_EQ(shown(), "generalSetup");

  dialogs.clear();
  link->faults().add(refusedProfiles(FOP_READ));
  dialogs.expectAlert(0, text("IDS_SP_READ_FAIL_MSG"));
  click("IDS_SP_SCAN_PROFILE");
  ASSERT_EQ(shown(), "scanProfile");
  EXPECT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_EQ(profiles()->controls().labelName[0]->text(), "Renamed");
  EXPECT_TRUE(profiles()->controls().btnProfile[0]->isEnabled());

  // Leaving the untouched page, its change-check read refused too: no question, nothing written.
  const std::size_t writesBefore = profileWrites().size();
  link->faults().add(refusedProfiles(FOP_READ));
  click("IDS_GS_GENERAL_SETUP");
  EXPECT_EQ(shown(), "generalSetup");
  EXPECT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_EQ(profileWrites().size(), writesBefore);

  // Back, the read refused again; another edit and Apply: the saved profiles plus that edit.
  link->faults().add(refusedProfiles(FOP_READ));
  dialogs.expectAlert(0, text("IDS_SP_READ_FAIL_MSG"));
  click("IDS_SP_SCAN_PROFILE");
  edit(3, [](ScanProfileSettingControllerObjC& e) {
    retype(e.controls().textProfileName, "Third");
    e.OKBtnPressed();
  });
  link->faults().add(refusedProfiles(FOP_READ));
  EXPECT_EQ(apply(), text("IDS_APPLY_SUCCESS_MSG"));
  const auto writes = profileWrites();
  ASSERT_EQ(writes.size(), writesBefore + 1);
  auto want = std::make_unique<FCL_RS_PROFILE_ALL>(*saved);
  platform::textToField(want->sProfile[2].szProfileName, "Third");
  const auto got = std::make_unique<FCL_RS_PROFILE_ALL>(received(writes.back()));
  EXPECT_EQ(std::memcmp(want.get(), got.get(), sizeof *want), 0);
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// An import that wrote the profiles is what the page shows when its next read fails; an import
// whose profile write was refused leaves the page not read.
TEST_F(ScanProfileApplyTest, ImportIsThePagesLastAcceptedContent) {
  struct Case {
    const char* what;
    bool refuseProfileWrite;
  };
  for (const Case& c : {Case{"profiles imported", false}, Case{"profile write refused", true}}) {
    SCOPED_TRACE(c.what);
    loaded();
    // The page read once, then the general page again.
    click("IDS_SP_SCAN_PROFILE");
    click("IDS_GS_GENERAL_SETUP");
    const QString path = home.file("backup.bin");
    dialogs.expectAlert(1, text("IDS_EID_EXPORT_CAUTION"));
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    vc->ExportBtnPressed();
    ASSERT_EQ(dialogs.alerts().back().information, text("IDS_RS_EXPORT_SUCCESS"));
    const auto exported = std::make_unique<FCL_RS_PROFILE_ALL>(link->model().profiles());
    // The scanner's profiles change before the import.
    auto changed = std::make_unique<FCL_RS_PROFILE_ALL>(*exported);
    platform::textToField(changed->sProfile[0].szProfileName, "Changed since");
    link->model().setProfiles(*changed);

    if (c.refuseProfileWrite) link->faults().add(refusedProfiles(FOP_WRITE2));
    dialogs.expectAlert(1, text("IDS_EID_IMPORT_CAUTION"));
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    vc->ImportBtnPressed();
    EXPECT_EQ(dialogs.alerts().back().information.startsWith(text("IDS_RS_IMPORT_FAIL")), c.refuseProfileWrite);

    link->faults().add(refusedProfiles(FOP_READ));
    dialogs.expectAlert(0, text("IDS_SP_READ_FAIL_MSG"));
    click("IDS_SP_SCAN_PROFILE");
    ASSERT_EQ(shown(), "scanProfile");
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    if (c.refuseProfileWrite) {
      EXPECT_FALSE(profiles()->isProfileRead());
      EXPECT_FALSE(profiles()->controls().btnProfile[0]->isEnabled());
    } else {
      EXPECT_TRUE(profiles()->isProfileRead());
      EXPECT_EQ(std::memcmp(&profiles()->profileAll(), exported.get(), sizeof *exported), 0);
      EXPECT_EQ(profiles()->controls().labelName[0]->text(),
                platform::textFromField(exported->sProfile[0].szProfileName));
    }
  }
}

}  // namespace
