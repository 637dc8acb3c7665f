// The program's own pages inside the main window against the simulated scanner, as a new user
// meets them: the source list always highlights the page on show and its arrow keys switch pages
// as a click does; a file-name counter reset stays reset through later saves; the demo scanner's
// content fills every pop-up of the pages.

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <cstring>

#include "MainWindowFixture.h"
#include "Views/GeneralSetupControllerObjC.h"
#include "Views/NetworkEmailControllerObjC.h"
#include "Views/NetworkLANControllerBase.h"
#include "Views/ScanFileNameControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"

namespace {

using Kind = sim::ScannerModel::Kind;

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

class PagesInWindowTest : public MainWindowTest {
 public:
  // The demo scanner's content; a main window with the program's own pages opens it.
  void open(const std::function<void(FCL_RS_PARAM_ALL&)>& edit = {}) {
    vc.reset();
    link.reset();
    dialogs.clear();
    link = std::make_unique<TcpLink>(Kind::Qmx7315w);
    if (edit) {
      FCL_RS_PARAM_ALL block = link->model().paramAll();
      edit(block);
      link->model().setParamAll(block);
    }
    vc = std::make_unique<ViewController>();
    vc->setTerminateHandler([this] { ++terminations; });
    vc->setupInfo(link->ip(), "BNT", "Zerelta QMX-7315W [SIM]", link->interface(), "UUID-1", "TW-Office");
    appear();
    ASSERT_EQ(vc->containerViews().size(), 1);
  }

  QTreeView& tree() { return *vc->sourceListView(); }

  // The source-list row titled with the text of `key`.
  QModelIndex row(const char* key) {
    QAbstractItemModel* model = tree().model();
    const QModelIndexList found =
        model->match(model->index(0, 0), Qt::DisplayRole, text(key), 1, Qt::MatchExactly | Qt::MatchRecursive);
    EXPECT_EQ(found.size(), 1) << key;
    return found.value(0);
  }

  // The row the user sees highlighted.
  QString highlighted() {
    const QModelIndexList selected = tree().selectionModel()->selectedIndexes();
    return selected.size() == 1 ? selected.front().data().toString() : QStringLiteral("(%1 rows)").arg(selected.size());
  }

  // A mouse click on the row titled `key`, as the user does it (the selection moves with it).
  void clickRow(const char* key) {
    const QModelIndex index = row(key);
    tree().scrollTo(index);
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, tree().visualRect(index).center());
    settle();
  }

  void key(Qt::Key k) {
    tree().setFocus();
    QTest::keyClick(&tree(), k);
    settle();
  }

  template <typename PageClass>
  PageClass* shownPage() {
    const auto views = vc->containerViews();
    return views.size() == 1 ? qobject_cast<PageClass*>(views.front()) : nullptr;
  }
};

}  // namespace

// On opening, after a click on the network row (which has no page) and after a refused switch,
// the highlighted row is the page on show.
TEST_F(PagesInWindowTest, HighlightedRowIsAlwaysThePageOnShow) {
  open();
  EXPECT_EQ(shown(), pages::kGeneralSetupView);
  EXPECT_EQ(highlighted(), text(pages::kGeneralSetupTitle));

  clickRow(pages::kNetworkTitle);
  EXPECT_EQ(shown(), pages::kGeneralSetupView);
  EXPECT_EQ(highlighted(), text(pages::kGeneralSetupTitle));

  clickRow(pages::kEmailServerTitle);
  ASSERT_EQ(shown(), pages::kEmailServerView);
  EXPECT_EQ(highlighted(), text(pages::kEmailServerTitle));
  auto* email = shownPage<NetworkEmailControllerObjC>();
  ASSERT_NE(email, nullptr);
  QLineEdit* port = email->controls().textPort;
  port->setFocus();
  port->selectAll();
  QTest::keyClicks(port, "0");  // no port: the switch is refused
  dialogs.expectAlert(0, text("IDS_CM_ERROR"));
  clickRow(pages::kGeneralSetupTitle);
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(shown(), pages::kEmailServerView);
  EXPECT_EQ(highlighted(), text(pages::kEmailServerTitle));
}

// The arrow keys switch pages through the same cycle as a click, passing over the network row
// (and any row this build has no page for).
TEST_F(PagesInWindowTest, ArrowKeysMoveBetweenPagesAsAClickDoes) {
  open();
  clickRow(pages::kWiredLANTitle);
  ASSERT_EQ(shown(), pages::kWiredLANView);
  key(Qt::Key_Down);
  EXPECT_EQ(shown(), pages::kWLANView);
  EXPECT_EQ(highlighted(), text(pages::kWLANTitle));
  key(Qt::Key_Up);
  EXPECT_EQ(shown(), pages::kWiredLANView);
  key(Qt::Key_Up);  // over the network row to the page above it
  const QString above = shown();
  EXPECT_NE(above, pages::kWiredLANView);
  EXPECT_NE(highlighted(), text(pages::kNetworkTitle));
  EXPECT_EQ(highlighted(), text(pages::pageByViewId(above)->titleKey));
  key(Qt::Key_Down);  // from there into the network's first page
  EXPECT_EQ(shown(), pages::kWiredLANView);
  EXPECT_EQ(highlighted(), text(pages::kWiredLANTitle));
  clickRow(pages::kGeneralSetupTitle);
  key(Qt::Key_Up);  // nothing above the first page but the model's own row
  EXPECT_EQ(shown(), pages::kGeneralSetupView);
  EXPECT_EQ(highlighted(), text(pages::kGeneralSetupTitle));
  key(Qt::Key_Down);
  EXPECT_EQ(shown(), pages::kAddressBookView);
  EXPECT_TRUE(dialogs.alerts().empty());
}

// 37 scans, Reset, another page and back, a new name, Apply: the scanner keeps the reset count,
// so no later file repeats an earlier name.
TEST_F(PagesInWindowTest, CounterResetStaysResetThroughALaterSave) {
  open([](FCL_RS_PARAM_ALL& block) { block.sFilename.byCountType = 0; });  // a continuous counter
  ASSERT_EQ(link->model().paramAll().sFilename.dwBALLScanCount, 37u);
  clickRow(pages::kScanFileNameTitle);
  auto* page = shownPage<ScanFileNameControllerObjC>();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(page->controls().btnReset->isEnabled());
  dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));  // reset? OK
  dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));  // reset done
  QTest::mouseClick(page->controls().btnReset, Qt::LeftButton);
  ASSERT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_SFN_RESET_SUCCESSFULLY"));
  EXPECT_EQ(link->model().paramAll().sFilename.dwBALLScanCount, 0u);
  EXPECT_EQ(vc->state().sParamAll.sFilename.dwBALLScanCount, 0u);

  clickRow(pages::kGeneralSetupTitle);  // nothing changed: no question
  ASSERT_EQ(shown(), pages::kGeneralSetupView);
  clickRow(pages::kScanFileNameTitle);
  page = shownPage<ScanFileNameControllerObjC>();
  ASSERT_NE(page, nullptr);
  QLineEdit* name = page->controls().textFileName;
  name->setFocus();
  QTest::keyClick(name, Qt::Key_End);
  QTest::keyClicks(name, "2");
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  settledCommands();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));
  const FCL_RS_PARAM_FILENAME after = link->model().paramAll().sFilename;
  EXPECT_EQ(platform::textFromField(after.szName), "OFFICE2");
  EXPECT_EQ(after.dwBALLScanCount, 0u);
}

// The DHCP poll starts only when the scanner accepted the switch: a refused write ends in the
// failure alert and no poll read; an accepted one is followed by the poll.
TEST_F(PagesInWindowTest, DhcpPollOnlyAfterTheScannerAcceptedTheSwitch) {
  using namespace std::chrono_literals;
  for (const bool refuse : {true, false}) {
    SCOPED_TRACE(refuse ? "refused" : "accepted");
    open();
    clickRow(pages::kWiredLANTitle);
    auto* lan = shownPage<NetworkLANControllerBase>();
    ASSERT_NE(lan, nullptr);
    lan->setDHCPPollInterval(1ms);
    ASSERT_TRUE(lan->controls().popupBootMethod->chooseItem(1));  // the demo's wired LAN is static
    if (refuse) {
      sim::Fault refused;
      refused.opcode = FOP_WRITE;
      refused.dtc = FCLC_RS_NETWORK;
      refused.dtq = FCLD_RS_NETWORK_WIRED;
      refused.lastErr = 0x2005;
      link->faults().add(refused);
    }
    const std::size_t before = settledCommands().size();
    dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
    vc->ApplyBtnPressed();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().back().information.startsWith(text("IDS_APPLY_SUCCESS_MSG")), !refuse);
    QElapsedTimer guard;
    guard.start();
    while (lan->isPollingDHCP() && guard.elapsed() < 10000) QTest::qWait(5);
    EXPECT_FALSE(lan->isPollingDHCP());
    int pollReads = 0;
    const auto entries = settledCommands();
    for (std::size_t i = before; i < entries.size(); ++i)
      if (entries[i].cmd.byOPCode == FOP_READ && entries[i].cmd.byDTC == FCLC_RS_NETWORK) ++pollReads;
    if (refuse) {
      EXPECT_EQ(pollReads, 0);
    } else {
      EXPECT_GT(pollReads, 0);
    }
  }
}

// The demo scanner's values lie inside the items the pages offer: no pop-up of these pages shows
// an empty title, and the general page's network interface is the link the demo uses. The pages
// are also saved as pictures for review.
TEST_F(PagesInWindowTest, DemoContentFillsEveryPopUpOfThePages) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  open();
  const struct {
    const char* title;
    const char* view;
  } shownPages[] = {
      {pages::kGeneralSetupTitle, pages::kGeneralSetupView}, {pages::kScanFileNameTitle, pages::kScanFileNameView},
      {pages::kWiredLANTitle, pages::kWiredLANView},         {pages::kWLANTitle, pages::kWLANView},
      {pages::kEmailServerTitle, pages::kEmailServerView},
  };
  for (const auto& p : shownPages) {
    SCOPED_TRACE(p.view);
    clickRow(p.title);
    ASSERT_EQ(shown(), p.view);
    PageController* page = vc->containerViews().front();
    int popups = 0;
    for (const platform::PopUpButton* popup : page->findChildren<platform::PopUpButton*>()) {
      if (!popup->isVisibleTo(page)) continue;
      ++popups;
      EXPECT_FALSE(popup->titleOfSelectedItem().isEmpty()) << popup->objectName().toStdString();
    }
    EXPECT_GT(popups, 0);
    if (auto* general = qobject_cast<GeneralSetupControllerObjC*>(page)) {
      EXPECT_EQ(general->controls().popupNetwork->titleOfSelectedItem(), text("IDS_N_WIRED_LAN"));
    }
    const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/demo-%1.png").arg(QLatin1String(p.view));
    EXPECT_TRUE(page->grab().toImage().save(path)) << path.toStdString();
  }
  EXPECT_TRUE(dialogs.alerts().empty());
}

// Every label that names a control in a page's forms ends with one colon, on every page; the
// forms' headings (a row of their own) do not.
TEST_F(PagesInWindowTest, FormLabelsEndWithAColon) {
  open();
  for (const pages::PageInfo& info : pages::kPages) {
    SCOPED_TRACE(info.viewId);
    clickRow(info.titleKey);
    ASSERT_EQ(shown(), info.viewId);
    PageController* page = vc->containerViews().front();
    for (const QFormLayout* form : page->findChildren<QFormLayout*>()) {
      for (int row = 0; row < form->rowCount(); ++row) {
        const QLayoutItem* labelItem = form->itemAt(row, QFormLayout::LabelRole);
        const auto* label = labelItem ? qobject_cast<const QLabel*>(labelItem->widget()) : nullptr;
        if (label != nullptr && !label->text().isEmpty()) {
          EXPECT_TRUE(label->text().endsWith(u':') && !label->text().endsWith(QStringLiteral("::")))
              << label->text().toStdString();
        }
        const QLayoutItem* headingItem = form->itemAt(row, QFormLayout::SpanningRole);
        if (const auto* heading = headingItem ? qobject_cast<const QLabel*>(headingItem->widget()) : nullptr)
          EXPECT_FALSE(heading->text().endsWith(u':')) << heading->text().toStdString();
      }
    }
  }
  EXPECT_TRUE(dialogs.alerts().empty());
}
