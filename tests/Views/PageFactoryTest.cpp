// Creating pages by storyboard identifier.
#include <gtest/gtest.h>

#include <QSet>

#include "Views/PageFactory.h"
#include "Views/PageTable.h"

namespace {

class StubPage : public PageController {
 public:
  explicit StubPage(QWidget* parent) : PageController(QStringLiteral("wrongName"), parent) {}
  void setParam(const MainWindowState&) override {}
  bool getParam(MainWindowState&) override { return true; }
  bool isDataChanged(const MainWindowState&) override { return false; }
  int32_t isDataError() override { return 0; }
};

PageFactory::Creator stubCreator() {
  return [](QWidget* parent) { return std::make_unique<StubPage>(parent); };
}

}  // namespace

TEST(PageFactory, RegisteredPageCarriesItsViewIdentifier) {
  PageFactory factory;
  for (const pages::PageInfo& page : pages::kPages) ASSERT_TRUE(factory.registerPage(page.storyboardId, stubCreator()));
  QWidget container;
  for (const pages::PageInfo& page : pages::kPages) {
    std::unique_ptr<PageController> created = factory.create(page.storyboardId, &container);
    ASSERT_NE(created, nullptr) << page.storyboardId;
    EXPECT_EQ(created->objectName(), page.viewId);
    EXPECT_EQ(created->parentWidget(), &container);
    EXPECT_FALSE(created->isFromPCClockON());
  }
}

TEST(PageFactory, UnknownOrUnregisteredAnswersNothing) {
  PageFactory factory;
  EXPECT_EQ(factory.create(pages::kGeneralSetupStoryboard), nullptr);  // nothing registered yet
  EXPECT_FALSE(factory.registerPage("MainViewController", stubCreator()));
  EXPECT_FALSE(factory.registerPage(pages::kMachineInfoStoryboard, PageFactory::Creator()));
  EXPECT_EQ(factory.create("MainViewController"), nullptr);
  EXPECT_EQ(factory.create(""), nullptr);
  ASSERT_TRUE(factory.registerPage(pages::kMachineInfoStoryboard,
                                   [](QWidget*) { return std::unique_ptr<PageController>(); }));
  EXPECT_EQ(factory.create(pages::kMachineInfoStoryboard), nullptr);
  // The network node has no page: no storyboard identifier belongs to it.
  EXPECT_EQ(factory.create(pages::kNetworkTitle), nullptr);
}

TEST(PageTable, IdentifiersAreDistinctAndFindTheirRow) {
  QSet<QString> storyboards, views, titles;
  for (const pages::PageInfo& page : pages::kPages) {
    storyboards.insert(page.storyboardId);
    views.insert(page.viewId);
    titles.insert(page.titleKey);
    EXPECT_EQ(pages::pageByStoryboardId(page.storyboardId), &page);
    EXPECT_EQ(pages::pageByViewId(page.viewId), &page);
  }
  EXPECT_EQ(storyboards.size(), qsizetype(pages::kPages.size()));
  EXPECT_EQ(views.size(), qsizetype(pages::kPages.size()));
  EXPECT_EQ(titles.size(), qsizetype(pages::kPages.size()));
  EXPECT_EQ(pages::pageByTitle("Wireless LAN"), pages::pageByViewId(pages::kWLANView));
  EXPECT_EQ(pages::pageByTitle("Network"), nullptr);
  EXPECT_EQ(pages::pageByTitle("QMX-7315W"), nullptr);
}
