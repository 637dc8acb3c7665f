// The main window as a new user meets it on a 1400x1000 screen with the desktop's default font
// (the test program's offscreen screen comes from a platform configuration file): at its opening
// size every page of both models shows all its controls, in every state a page can show, with no
// scroll bar and nothing outside the area the page shows; the address book shows the demo book
// whole; and the window can be made larger, its page growing with it.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/MachineInfoControllerObjC.h"
#include "Views/NetworkEmailControllerObjC.h"
#include "Views/NetworkLANControllerBase.h"
#include "Views/PageLayout.h"
#include "Views/ScanOptionEditor.h"
#include "Views/ScanToUSBControllerObjC.h"
#include "Views/TableDataSource.h"
#include "platform/widgets/Widgets.h"

namespace {

using Kind = sim::ScannerModel::Kind;

QString describe(const QWidget* w) {
  QString text;
  if (const auto* label = qobject_cast<const QLabel*>(w)) text = label->text();
  else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) text = button->text();
  return QStringLiteral("%1 '%2' \"%3\"").arg(QLatin1String(w->metaObject()->className()), w->objectName(), text);
}

// Whether `w` lies inside a scrolling area other than `own` (a table's cells and headers): those
// are that area's business.
bool insideOtherScrollArea(const QWidget* w, const QWidget* own, const QWidget* page) {
  for (const QWidget* p = w->parentWidget(); p != nullptr && p != page; p = p->parentWidget()) {
    if (p != own && qobject_cast<const QAbstractScrollArea*>(p) != nullptr) return true;
  }
  return false;
}

// What a user would miss on `page` as it stands: a scroll bar that shows, a visible control that
// lies (partly) outside the area the page shows, or one squeezed below the size its text needs.
std::vector<std::string> cutOff(PageController* page) {
  std::vector<std::string> found;
  QWidget* content = pagelayout::content(page);
  QAbstractScrollArea* scroll = content != page ? qobject_cast<QAbstractScrollArea*>(content->parentWidget()->parentWidget()) : nullptr;
  const QRect shownArea = scroll != nullptr ? QRect(scroll->viewport()->mapTo(page, QPoint(0, 0)), scroll->viewport()->size())
                                            : page->rect();
  for (const QScrollBar* bar : page->findChildren<QScrollBar*>()) {
    if (bar->isVisibleTo(page)) found.push_back("scroll bar shown in " + describe(bar->parentWidget()->parentWidget()).toStdString());
  }
  for (QWidget* w : content->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(page) || insideOtherScrollArea(w, scroll, page)) continue;
    const bool control = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                         qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                         qobject_cast<platform::Stepper*>(w);
    if (!control) continue;
    // The parts of a compound control go with it.
    if (qobject_cast<QComboBox*>(w->parentWidget()) || qobject_cast<platform::Stepper*>(w->parentWidget())) continue;
    const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
    // A text narrower or lower than it needs is cut (a size the page fixes itself is its choice).
    const QSize needs = w->minimumSizeHint();
    const bool squeezed = (w->width() < needs.width() && w->minimumWidth() != w->maximumWidth()) ||
                          (w->height() < needs.height() && w->minimumHeight() != w->maximumHeight());
    if (!shownArea.contains(r)) {
      found.push_back(describe(w).toStdString() + " outside the shown area");
    } else if (squeezed) {
      found.push_back(describe(w).toStdString() + " squeezed");
    }
  }
  return found;
}

// One state of a page: `enter` puts the page into it (null: the page as filled).
struct State {
  std::string name;
  std::function<void(PageController&, MainWindowState&)> enter;
};

// Chooses item `index` of `popup` as the user does.
std::function<void(PageController&, MainWindowState&)> choose(
    std::function<platform::PopUpButton*(PageController&)> popup, int index) {
  return [popup, index](PageController& page, MainWindowState&) {
    platform::PopUpButton* p = popup(page);
    if (p->isItemHidden(index)) return;  // a model without the item
    ASSERT_TRUE(p->chooseItem(index));
  };
}

platform::PopUpButton* fileType(PageController& page) {
  return static_cast<ScanToUSBControllerObjC&>(page).editor()->controls().popupFileType;
}
platform::PopUpButton* bootMethod(PageController& page) {
  return static_cast<NetworkLANControllerBase&>(page).controls().popupBootMethod;
}
platform::PopUpButton* authentication(PageController& page) {
  return static_cast<NetworkEmailControllerObjC&>(page).controls().popupAuth;
}

// The states each page can show beyond the one it opens in (by view identifier).
std::vector<State> statesOf(const QString& viewId) {
  std::vector<State> states{{"as filled", nullptr}};
  if (viewId == pages::kScanToUSBView) {
    // Secure PDF, single and multi-page: the password rows (USB-only model).
    states.push_back({"secure PDF", choose(fileType, 3)});
    states.push_back({"secure PDF, multi-page", choose(fileType, 4)});
  } else if (viewId == pages::kWiredLANView || viewId == pages::kWLANView) {
    states.push_back({"fixed address", choose(bootMethod, 0)});
    states.push_back({"DHCP", choose(bootMethod, 1)});
  } else if (viewId == pages::kEmailServerView) {
    states.push_back({"no authentication", choose(authentication, 0)});
    states.push_back({"SMTP-AUTH", choose(authentication, 1)});
  } else if (viewId == pages::kMachineInfoView) {
    // Both counters due for their reset: the reset buttons show.
    states.push_back({"resets due", [](PageController& page, MainWindowState& state) {
                        FCL_RS_MACHINE_INFO& info = state.sMachineInfo;
                        info.dwScanCount = 500000;
                        info.dwCountAtRoller = info.dwCountAtClean = 0;
                        info.dwRollerReplaceVal = info.dwMaintCleanVal = 1000;
                        page.setParam(state);
                        auto& machine = static_cast<MachineInfoControllerObjC&>(page);
                        ASSERT_TRUE(machine.controls().btnResetRoller->isVisibleTo(&page));
                      }});
  }
  return states;
}

class WindowFitTest : public MainWindowTest {
 public:
  WindowFitTest() { realPages = [](PageFactory& f) { registerStandardPages(f); }; }

  // The page titled with the text of `titleKey`, clicked in the source list.
  PageController* show(const char* titleKey) {
    click(titleKey);
    settle();
    const auto views = vc->containerViews();
    return views.size() == 1 ? views.front() : nullptr;
  }
};

}  // namespace

// Every page of both models, in each of its states, at the window's opening size.
TEST_F(WindowFitTest, EveryPageFitsTheOpeningSizeInEveryState) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_EQ(screen.size(), QSize(1400, 1000)) << "the test's screen comes from its platform configuration file";
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  const struct {
    const char* name;
    Transport transport;
    Kind kind;
  } models[] = {{"network model", Transport::Tcp, Kind::Qmx7315w}, {"USB-only model", Transport::Usb, Kind::Qmx7305}};
  for (const auto& m : models) {
    SCOPED_TRACE(m.name);
    loaded(m.transport, m.kind);
    // The opening size: the least size, within a 1366x768 screen with room for the frame.
    const QSize opening = vc->size();
    EXPECT_EQ(vc->minimumSize(), opening);
    EXPECT_LE(vc->frameGeometry().width(), 1366);
    EXPECT_LE(vc->frameGeometry().height(), 768 - 32);
    EXPECT_GE(vc->container()->width(), pagelayout::kPageSize.width());
    EXPECT_GE(vc->container()->height(), pagelayout::kPageSize.height());
    int shownPages = 0;
    for (const pages::PageInfo& info : pages::kPages) {
      if (vc->page(QString::fromLatin1(info.storyboardId)) == nullptr) continue;
      const bool inTree = vc->sourceListView()->model()->match(vc->sourceListView()->model()->index(0, 0),
                                                                Qt::DisplayRole, platform::Localizer::text(QString::fromLatin1(info.titleKey)),
                                                                1, Qt::MatchExactly | Qt::MatchRecursive)
                              .size() == 1;
      if (!inTree) continue;  // not a page of this model
      SCOPED_TRACE(info.viewId);
      PageController* page = show(info.titleKey);
      ASSERT_NE(page, nullptr);
      ASSERT_EQ(page->objectName(), QLatin1String(info.viewId));
      ++shownPages;
      EXPECT_EQ(page->size(), vc->container()->size());
      for (const State& s : statesOf(page->objectName())) {
        SCOPED_TRACE(s.name);
        MainWindowState state = vc->state();
        if (s.enter) s.enter(*page, state);
        settle();
        for (const std::string& problem : cutOff(page)) ADD_FAILURE() << problem;
        // The window as the user sees it, for a reviewer.
        const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/window-%1-%2-%3.png")
                                 .arg(m.kind == Kind::Qmx7305 ? "QMX-7305" : "QMX-7315W", page->objectName(),
                                      QString::fromStdString(s.name).replace(u' ', u'-').remove(u','));
        EXPECT_TRUE(vc->grab().toImage().save(path)) << path.toStdString();
      }
      page->setParam(vc->state());  // the page as the scanner has it, so leaving it asks nothing
    }
    EXPECT_EQ(shownPages, m.kind == Kind::Qmx7305 ? 5 : 11);
    EXPECT_EQ(vc->size(), opening);
  }
}

// The demo book's cells fit their columns; a cell whose text is longer than its column is cut
// short there and offers its whole text.
TEST_F(WindowFitTest, AddressBookShowsTheDemoBookWhole) {
  loaded();
  auto* book = qobject_cast<AddressBookControllerObjC*>(show(pages::kAddressBookTitle));
  ASSERT_NE(book, nullptr);
  for (QTableView* table : {book->controls().groupTable, book->controls().contactTable}) {
    SCOPED_TRACE(table->objectName().toStdString());
    ASSERT_GT(table->model()->rowCount(), 2);
    for (int row = 0; row < table->model()->rowCount(); ++row) {
      for (int column = 0; column < table->model()->columnCount(); ++column) {
        const QModelIndex index = table->model()->index(row, column);
        EXPECT_FALSE(TableDataSource::isCutShort(table, index)) << index.data().toString().toStdString();
      }
    }
  }
  // Narrowed to half its width the page cuts the contacts of a group short.
  QTableView* groups = book->controls().groupTable;
  const int last = groups->model()->columnCount() - 1;
  vc->setMinimumSize(0, 0);
  vc->container()->setMinimumSize(0, 0);
  vc->resize(vc->width() / 2, vc->height());
  settle();
  // The pointer resting on a cell: a cut-short one shows its whole text, a whole one nothing.
  const auto tipOver = [groups](const QModelIndex& index) {
    QToolTip::hideText();
    const QPoint at = groups->visualRect(index).center();
    QHelpEvent help(QEvent::ToolTip, at, groups->viewport()->mapToGlobal(at));
    QApplication::sendEvent(groups->viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  const QModelIndex index = groups->model()->index(0, 0);
  ASSERT_FALSE(TableDataSource::isCutShort(groups, index));
  EXPECT_EQ(tipOver(index), QString());
  int cut = 0;
  for (int row = 0; row < groups->model()->rowCount(); ++row) {
    const QModelIndex contacts = groups->model()->index(row, last);
    if (!TableDataSource::isCutShort(groups, contacts)) continue;
    ++cut;
    EXPECT_EQ(tipOver(contacts), contacts.data().toString());
  }
  EXPECT_GT(cut, 0);
  QToolTip::hideText();
}

// Made larger, the window gives the page on show the room.
TEST_F(WindowFitTest, PagesGrowWithTheWindow) {
  loaded();
  const QSize page = vc->container()->size();
  vc->resize(vc->size() + QSize(200, 150));
  settle();
  EXPECT_EQ(vc->container()->size(), page + QSize(200, 150));
  EXPECT_EQ(vc->containerViews().front()->size(), page + QSize(200, 150));
}
