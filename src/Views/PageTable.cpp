#include "Views/PageTable.h"

#include "platform/Localizer.h"

namespace pages {

namespace {
template <typename Pred>
const PageInfo* findPage(Pred pred) {
  for (const PageInfo& page : kPages)
    if (pred(page)) return &page;
  return nullptr;
}
}  // namespace

const PageInfo* pageByStoryboardId(const QString& storyboardId) {
  return findPage([&](const PageInfo& p) { return storyboardId == QLatin1String(p.storyboardId); });
}

const PageInfo* pageByViewId(const QString& viewId) {
  return findPage([&](const PageInfo& p) { return viewId == QLatin1String(p.viewId); });
}

const PageInfo* pageByTitle(const QString& title) {
  return findPage([&](const PageInfo& p) {
    return title == platform::Localizer::text(QString::fromLatin1(p.titleKey));
  });
}

}  // namespace pages
