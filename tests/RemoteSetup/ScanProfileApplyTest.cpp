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

// The profiles cannot be read when the page is shown: the not-read alert; Apply and leaving the
// page go through without a question and without writing the profiles.
TEST_F(ScanProfileApplyTest, UnreadProfilesBlockNothingAndAreNeverWritten) {
  loaded();
  const auto before = std::make_unique<FCL_RS_PROFILE_ALL>(link->model().profiles());
  sim::Fault refused;
  refused.opcode = FOP_READ;
  refused.dtc = FCLC_RS_PROFILE;
  refused.lastErr = 0x2005;
  link->faults().add(refused);
  dialogs.expectAlert(0, text("IDS_RS_NOT_READ_MSG"));
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

}  // namespace
