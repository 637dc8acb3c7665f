// Renders the general setup page of each model at the main window's page size into
// <build dir>/screenshots/, for looking at the layout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <cstring>

#include "Views/GeneralSetupControllerObjC.h"
#include "Views/PageLayout.h"

TEST(GeneralSetupScreenshot, EachModelOnlySavesAPictureForReview) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  for (bool usbOnly : {false, true}) {
    MainWindowState state;
    FCL_RS_PARAM_GENERAL& g = state.sParamAll.sGeneral;
    g.sPanel.byBacklightLevel = 1;
    g.sPanel.wDimTimer = 10;
    g.sPanel.u64PanelLangCap = 0x3FF;
    g.sPanel.dwPanelLangCur = 2;
    g.sEdgeCorrection = {0, 5, -5, 10, -15, 20};
    g.sDateTime.byEnableDST = 1;
    g.sDateTime.dwTimeDiffSecs = 3600;
    state.sParamAll.sNetSetting.byIntrface = 3;
    state.sLampState.dwCrg1Lamp2 = 15;
    state.sLampState.dwCrg2Lamp2 = 120;
    state.sFactoryDef.dwCountryCode = 1;
    state.bIsB = usbOnly;

    GeneralSetupControllerObjC page;
    page.resize(pagelayout::kPageSize);
    page.setParam(state);
    page.show();
    QApplication::processEvents();  // let the layouts settle
    const QImage image = page.grab().toImage();
    EXPECT_EQ(image.size(), pagelayout::kPageSize);
    const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/general-setup-%1.png").arg(usbOnly ? "QMX-7305" : "QMX-7315W");
    EXPECT_TRUE(image.save(path)) << path.toStdString();
  }
}
