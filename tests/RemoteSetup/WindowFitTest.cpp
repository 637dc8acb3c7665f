// The main window (and the device window) as users meet them on three screens; the test
// program's offscreen screen comes from a platform configuration file, one per test suite:
// - WindowFitTest, a 1400x1000 desktop with the desktop's default font: the main window opens at
//   the size that shows every page of both models whole, in every state a page can show, with no
//   scroll bar and nothing outside the area the page shows; the address book shows the demo book
//   whole; and the window can be made larger, its page growing with it.
// - SmallScreenTest, a 1024x600 screen: both windows fit its free area and can be made as small as
//   the screen; their buttons show, and what a page does not show it scrolls to.
// - LargeTextTest, a 1280x720 screen with text 1.5 times its default size: the same, and pages
//   that need more room than the screen gives scroll.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
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
#include "Views/DevicesViewController.h"
#include "Views/MachineInfoControllerObjC.h"
#include "Views/NetworkEmailControllerObjC.h"
#include "Views/NetworkLANControllerBase.h"
#include "Views/PageLayout.h"
#include "Views/ScanOptionEditor.h"
#include "Views/ScanProfileControllerObjC.h"
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

// A control of a page (the parts of a compound control go with it).
bool isControl(const QWidget* w) {
  const bool control = qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
                       qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
                       qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const platform::Stepper*>(w);
  return control && !qobject_cast<const QComboBox*>(w->parentWidget()) &&
         !qobject_cast<const platform::Stepper*>(w->parentWidget());
}

// A text narrower or lower than it needs is cut (a size the window fixes itself is its choice).
bool squeezed(const QWidget* w) {
  const QSize needs = w->minimumSizeHint();
  return (w->width() < needs.width() && w->minimumWidth() != w->maximumWidth()) ||
         (w->height() < needs.height() && w->minimumHeight() != w->maximumHeight());
}

// What a user would miss on `page` as it stands. Without `mayScroll`: a scroll bar that shows, or
// a visible control that lies (partly) outside the area the page shows. With it: a control the
// scroll bars cannot bring into the area (outside the scrolled content, or the content larger
// than the area in a direction without a scroll bar that reaches its end). Either way, a control
// squeezed below the size its text needs.
std::vector<std::string> cutOff(PageController* page, bool mayScroll = false) {
  std::vector<std::string> found;
  QWidget* content = pagelayout::content(page);
  auto* scroll = content != page ? qobject_cast<QAbstractScrollArea*>(content->parentWidget()->parentWidget()) : nullptr;
  if (scroll == nullptr) return {"the page does not scroll"};
  const QSize viewport = scroll->viewport()->size();
  if (!mayScroll) {
    for (const QScrollBar* bar : page->findChildren<QScrollBar*>()) {
      if (bar->isVisibleTo(page) && !insideOtherScrollArea(bar, scroll, page))
        found.push_back("scroll bar shown in " + describe(bar->parentWidget()->parentWidget()).toStdString());
    }
  } else {
    const struct {
      const char* name;
      const QScrollBar* bar;
      int content, shown;
    } directions[] = {{"vertical", scroll->verticalScrollBar(), content->height(), viewport.height()},
                      {"horizontal", scroll->horizontalScrollBar(), content->width(), viewport.width()}};
    for (const auto& d : directions) {
      if (d.content <= d.shown) continue;
      if (!d.bar->isVisibleTo(page) || d.bar->maximum() < d.content - d.shown)
        found.push_back(std::string("no ") + d.name + " scroll bar reaches the end of the content");
    }
    if (content->width() < content->minimumSizeHint().width() || content->height() < content->minimumSizeHint().height())
      found.push_back("the scrolled content is smaller than it needs");
  }
  // The area a control may lie in: the one on show, or the whole content the bars scroll through.
  const QRect area = mayScroll ? QRect(content->mapTo(page, QPoint(0, 0)), content->size())
                               : QRect(scroll->viewport()->mapTo(page, QPoint(0, 0)), viewport);
  for (QWidget* w : content->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(page) || insideOtherScrollArea(w, scroll, page) || !isControl(w)) continue;
    const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
    if (!area.contains(r)) found.push_back(describe(w).toStdString() + " outside the shown area");
    else if (squeezed(w)) found.push_back(describe(w).toStdString() + " squeezed");
  }
  return found;
}

// What a user would miss of `window` itself on its screen: a frame that leaves the screen's free
// area, a least size larger than 1024x600 (for a window the user may resize), or one of its own
// buttons hidden, outside the window or squeezed.
std::vector<std::string> windowCutOff(QWidget* window, const QStringList& buttons) {
  std::vector<std::string> found;
  const QRect screen = window->screen()->availableGeometry();
  const auto text = [](const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
  };
  if (!screen.contains(window->frameGeometry()))
    found.push_back("frame " + text(window->frameGeometry()) + " leaves the free area " + text(screen));
  const bool resizable = window->minimumSize() != window->maximumSize();
  if (resizable && (window->minimumWidth() > 1024 || window->minimumHeight() > 600))
    found.push_back("least size " + text(QRect(QPoint(), window->minimumSize())) + " above 1024x600");
  for (const QString& name : buttons) {
    const auto* button = window->findChild<QPushButton*>(name);
    if (button == nullptr || !button->isVisibleTo(window)) {
      found.push_back(name.toStdString() + " not on show");
      continue;
    }
    const QRect r(button->mapTo(window, QPoint(0, 0)), button->size());
    if (!window->rect().contains(r)) found.push_back(describe(button).toStdString() + " outside the window");
    else if (squeezed(button)) found.push_back(describe(button).toStdString() + " squeezed");
  }
  return found;
}

const QStringList kMainWindowButtons{"btnImport", "btnExport", "btnDevices", "btnOK", "btnCancel", "btnApply"};

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

  // The test's screen, which its platform configuration file gives.
  static void expectScreen(const QSize& size, double dpi) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_EQ(screen->availableGeometry().size(), size) << "the test's screen comes from its platform configuration file";
    ASSERT_EQ(screen->logicalDotsPerInch(), dpi);
    ASSERT_EQ(screen->devicePixelRatio(), 1.0);
  }

  struct Model {
    const char* name;
    Transport transport;
    Kind kind;
  };
  static constexpr Model kModels[] = {{"QMX-7315W", Transport::Tcp, Kind::Qmx7315w},
                                      {"QMX-7305", Transport::Usb, Kind::Qmx7305}};

  // Loads the window for `model` and shows each of its pages in each of its states, with `check`
  // run on each; answers the number of pages shown. A picture of each goes to the screenshot
  // folder as "<prefix>-<model>-<page>-<state>.png", for a reviewer.
  int everyPageState(const Model& model, const QString& prefix,
                     const std::function<void(PageController*, const std::string& state)>& check) {
    loaded(model.transport, model.kind);
    EXPECT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
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
      EXPECT_NE(page, nullptr);
      if (page == nullptr) continue;
      EXPECT_EQ(page->objectName(), QLatin1String(info.viewId));
      ++shownPages;
      EXPECT_EQ(page->size(), vc->container()->size());
      for (const State& s : statesOf(page->objectName())) {
        SCOPED_TRACE(s.name);
        MainWindowState state = vc->state();
        if (s.enter) s.enter(*page, state);
        settle();
        check(page, s.name);
        const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/%1-%2-%3-%4.png")
                                 .arg(prefix, QLatin1String(model.name), page->objectName(),
                                      QString::fromStdString(s.name).replace(u' ', u'-').remove(u','));
        EXPECT_TRUE(vc->grab().toImage().save(path)) << path.toStdString();
      }
      page->setParam(vc->state());  // the page as the scanner has it, so leaving it asks nothing
    }
    EXPECT_EQ(shownPages, model.kind == Kind::Qmx7305 ? 5 : 11);
    return shownPages;
  }

  // The profile editor of the first profile, opened from the loaded window of the network model
  // (its text `textScale` times the screen's) and on show; `check` sees it; a picture goes to
  // "<prefix>-profile-editor.png".
  void profileEditor(const QString& prefix, const std::function<void(QDialog&)>& check, double textScale = 1) {
    loaded();
    EXPECT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
    auto* list = qobject_cast<ScanProfileControllerObjC*>(show(pages::kScanProfileTitle));
    ASSERT_NE(list, nullptr);
    bool opened = false;
    list->setEditorPresenter([&](QDialog& editor) {
      QFont font = editor.font();
      font.setPointSizeF(font.pointSizeF() * textScale);
      editor.setFont(font);
      editor.show();
      settle();
      opened = true;
      check(editor);
      EXPECT_TRUE(editor.grab().toImage().save(QStringLiteral(ZR_SCREENSHOT_DIR "/%1-profile-editor.png").arg(prefix)));
      editor.hide();
    });
    QTest::mouseClick(list->controls().btnProfile[0], Qt::LeftButton);
    EXPECT_TRUE(opened);
  }

  // The device window of the USB-only build (no search starts: nothing on this screen needs it),
  // on show; `check` sees it; a picture goes to "<prefix>-devices.png".
  static void deviceWindow(const QString& prefix, const std::function<void(DevicesViewController&)>& check) {
    DevicesViewController devices(false);
    devices.setTimings(std::chrono::hours(1), std::chrono::hours(1));
    devices.setTerminateHandler([] {});
    devices.show();
    settle();
    check(devices);
    EXPECT_TRUE(devices.grab().toImage().save(QStringLiteral(ZR_SCREENSHOT_DIR "/%1-devices.png").arg(prefix)));
    devices.close();
  }
};

using SmallScreenTest = WindowFitTest;
using LargeTextTest = WindowFitTest;

const QStringList kDeviceWindowButtons{"btnRefresh", "btnConnect", "btnCancel"};
const QStringList kEditorButtons{"btnOK", "btnCancel"};

// What a user would miss of an editor whose body scrolls: a scroll bar where the window shows the
// body whole (`whole`), or a control the scroll bars cannot bring into view.
std::vector<std::string> editorBodyCutOff(QDialog& editor, bool whole) {
  std::vector<std::string> found;
  auto* scroll = editor.findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
  if (scroll == nullptr) return {"the editor's body does not scroll"};
  const QWidget* body = scroll->widget();
  for (const QScrollBar* bar : {scroll->horizontalScrollBar(), scroll->verticalScrollBar()}) {
    if (whole && bar->isVisibleTo(&editor)) found.push_back("scroll bar shown");
  }
  if (body->width() < body->minimumSizeHint().width() || body->height() < body->minimumSizeHint().height())
    found.push_back("the scrolled body is smaller than it needs");
  const QSize shown = scroll->viewport()->size();
  if (body->width() > shown.width() && scroll->horizontalScrollBar()->maximum() < body->width() - shown.width())
    found.push_back("no horizontal scroll bar reaches the end of the body");
  if (body->height() > shown.height() && scroll->verticalScrollBar()->maximum() < body->height() - shown.height())
    found.push_back("no vertical scroll bar reaches the end of the body");
  return found;
}

}  // namespace

// Every page of both models, in each of its states, at the window's opening size on a desktop.
TEST_F(WindowFitTest, EveryPageFitsTheOpeningSizeInEveryState) {
  expectScreen(QSize(1400, 1000), 96);
  for (const Model& m : kModels) {
    SCOPED_TRACE(m.name);
    everyPageState(m, QStringLiteral("window"), [this](PageController* page, const std::string&) {
      // The opening size: the page area every page needs, within a 1366x768 screen with room for
      // the frame.
      EXPECT_EQ(vc->size(), vc->sizeHint());
      EXPECT_EQ(vc->container()->size(), vc->openingPageSize());
      EXPECT_LE(vc->frameGeometry().width(), 1366);
      EXPECT_LE(vc->frameGeometry().height(), 768 - 32);
      EXPECT_GE(vc->container()->width(), pagelayout::kPageSize.width());
      EXPECT_GE(vc->container()->height(), pagelayout::kPageSize.height());
      for (const std::string& problem : cutOff(page)) ADD_FAILURE() << problem;
    });
  }
}

// The profile editor, the largest editor window, opens showing its whole body on a desktop.
TEST_F(WindowFitTest, ProfileEditorOpensWhole) {
  profileEditor(QStringLiteral("window"), [](QDialog& editor) {
    for (const std::string& problem : windowCutOff(&editor, kEditorButtons)) ADD_FAILURE() << problem;
    for (const std::string& problem : editorBodyCutOff(editor, true)) ADD_FAILURE() << problem;
  });
}

// On a 1024x600 screen both windows fit the free area with their buttons on show, and can be made
// as small as the screen; every control of every page can be scrolled to.
TEST_F(SmallScreenTest, WindowsFitTheFreeAreaWithTheirButtonsOnShow) {
  expectScreen(QSize(1024, 600), 96);
  for (const Model& m : kModels) {
    SCOPED_TRACE(m.name);
    everyPageState(m, QStringLiteral("small-screen"), [this](PageController* page, const std::string&) {
      for (const std::string& problem : windowCutOff(vc.get(), kMainWindowButtons)) ADD_FAILURE() << problem;
      for (const std::string& problem : cutOff(page, true)) ADD_FAILURE() << problem;
    });
  }
  deviceWindow(QStringLiteral("small-screen"), [](DevicesViewController& devices) {
    for (const std::string& problem : windowCutOff(&devices, kDeviceWindowButtons)) ADD_FAILURE() << problem;
  });
}

// On a 1024x600 screen, and with text 1.5 times its size on a 1280x720 one, the profile editor fits
// the free area with OK and Cancel on show, and its body scrolls to every control.
TEST_F(SmallScreenTest, ProfileEditorFitsWithItsButtonsOnShow) {
  profileEditor(QStringLiteral("small-screen"), [](QDialog& editor) {
    for (const std::string& problem : windowCutOff(&editor, kEditorButtons)) ADD_FAILURE() << problem;
    for (const std::string& problem : editorBodyCutOff(editor, false)) ADD_FAILURE() << problem;
  });
}
// With its text larger still, the editor's body is larger than the screen: the window still fits
// and its body scrolls.
TEST_F(LargeTextTest, ProfileEditorFitsWithItsButtonsOnShow) {
  for (const double scale : {1.0, 1.5}) {
    SCOPED_TRACE(scale);
    profileEditor(QStringLiteral("large-text-%1").arg(scale), [scale](QDialog& editor) {
      for (const std::string& problem : windowCutOff(&editor, kEditorButtons)) ADD_FAILURE() << problem;
      for (const std::string& problem : editorBodyCutOff(editor, false)) ADD_FAILURE() << problem;
      if (scale > 1) {
        const auto* scroll = editor.findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_NE(scroll, nullptr);
        EXPECT_GT(scroll->widget()->width(), scroll->viewport()->width()) << "the body does not need to scroll";
      }
    }, scale);
  }
}

// With text 1.5 times its size on a 1280x720 screen, the main window's buttons show and the pages
// that need more room than the screen gives scroll to every control; the device window fits too.
TEST_F(LargeTextTest, ButtonsShowAndPagesScroll) {
  expectScreen(QSize(1280, 720), 144);
  for (const Model& m : kModels) {
    SCOPED_TRACE(m.name);
    int scrolling = 0;
    everyPageState(m, QStringLiteral("large-text"), [&](PageController* page, const std::string&) {
      for (const std::string& problem : windowCutOff(vc.get(), kMainWindowButtons)) ADD_FAILURE() << problem;
      for (const std::string& problem : cutOff(page, true)) ADD_FAILURE() << problem;
      QWidget* content = pagelayout::content(page);
      if (content->height() > content->parentWidget()->height()) ++scrolling;
    });
    EXPECT_GT(scrolling, 0) << "no page needs more room than the screen gives: the test shows nothing";
  }
  deviceWindow(QStringLiteral("large-text"), [](DevicesViewController& devices) {
    for (const std::string& problem : windowCutOff(&devices, kDeviceWindowButtons)) ADD_FAILURE() << problem;
  });
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
