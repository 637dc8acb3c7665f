#include "Views/PageLayout.h"

#include <QFont>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <vector>

#include "platform/Localizer.h"

namespace pagelayout {

QString labelText(const QString& text) { return text + u':'; }

QString labelText(const char* key) { return labelText(platform::tr_(QString::fromLatin1(key))); }

QLabel* plainLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLabel* titleLabel(QWidget* parent) {
  QLabel* title = plainLabel(parent);
  QFont font = title->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.25);
  title->setFont(font);
  return title;
}

QVBoxLayout* scrollingContent(QWidget* page, int spacing) {
  auto* outer = new QVBoxLayout(page);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(page);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  outer->addWidget(scroll);

  auto* content = new QWidget(scroll);
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(12, 10, 12, 10);
  layout->setSpacing(spacing);
  scroll->setWidget(content);
  return layout;
}

QWidget* content(QWidget* page) {
  // The pages' scrolling area is their only direct child area (scrollingContent above).
  for (QScrollArea* scroll : page->findChildren<QScrollArea*>(Qt::FindDirectChildrenOnly)) {
    if (scroll->widget() != nullptr) return scroll->widget();
  }
  return page;
}

QSize neededSize(QWidget* page, const QList<QWidget*>& shown) {
  std::vector<QWidget*> hidden;
  for (QWidget* w : shown) {
    if (w == nullptr || !w->isHidden()) continue;
    hidden.push_back(w);
    w->setVisible(true);
  }
  QWidget* inner = content(page);
  QSize size = inner->sizeHint().expandedTo(inner->minimumSizeHint());
  if (inner->hasHeightForWidth()) size.setHeight(qMax(size.height(), inner->heightForWidth(size.width())));
  if (inner != page) {
    // The scrolling area adds its frame (none for the pages) around the content.
    const auto* scroll = qobject_cast<const QScrollArea*>(inner->parentWidget()->parentWidget());
    if (scroll != nullptr) size += QSize(2 * scroll->frameWidth(), 2 * scroll->frameWidth());
    size = size.expandedTo(page->minimumSizeHint());
  }
  for (QWidget* w : hidden) w->setVisible(false);
  return size;
}

}  // namespace pagelayout
