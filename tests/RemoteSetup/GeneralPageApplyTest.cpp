// The general setup page inside the main window, against the simulated scanner: what the user
// types reaches the scanner's records through Apply, and nothing else changes.

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <cstring>

#include "MainWindowFixture.h"
#include "Views/GeneralSetupControllerObjC.h"
#include "platform/Localizer.h"

namespace {

void typeInto(QLineEdit* field, const QString& text) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(field, text);
}

TEST_F(MainWindowTest, GeneralPageEditsReachTheScannerThroughApply) {
  link = std::make_unique<TcpLink>(sim::ScannerModel::Kind::Qmx7315w);
  vc = std::make_unique<ViewController>();  // the program's own pages
  vc->setTerminateHandler([this] { ++terminations; });
  vc->setupInfo(link->ip(), "BNT", "Zerelta QMX-7315W [SIM]", "Wired LAN", "UUID-1", "TWAIN-1");
  appear();
  auto* page = qobject_cast<GeneralSetupControllerObjC*>(vc->containerViews().value(0));
  ASSERT_NE(page, nullptr);
  const FCL_RS_PARAM_ALL before = link->model().paramAll();
  const uint32_t powerOffBefore = link->model().autoPowerOffTime();

  const auto& ui = page->controls();
  ui.chkFromPCClock->setChecked(false);
  typeInto(ui.textSleepTime, "45");
  typeInto(ui.textTopY, "1.5");
  dialogs.expectAlert(0, platform::Localizer::text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  settledCommands();
  EXPECT_EQ(dialogs.alerts().back().information, platform::Localizer::text("IDS_APPLY_SUCCESS_MSG"));

  EXPECT_EQ(link->model().sleepTime(), 45u);
  EXPECT_EQ(link->model().autoPowerOffTime(), powerOffBefore);
  FCL_RS_PARAM_ALL expected = before;
  expected.sGeneral.sEdgeCorrection.nTop_YOffset = 15;
  expected.sGeneral.sDateTime.dwTimeFromePC = 0;
  const FCL_RS_PARAM_ALL after = link->model().paramAll();
  EXPECT_EQ(std::memcmp(&after.sGeneral, &expected.sGeneral, sizeof after.sGeneral), 0);
  EXPECT_EQ(std::memcmp(&after.sNetSetting, &expected.sNetSetting, sizeof after.sNetSetting), 0);
}

}  // namespace
