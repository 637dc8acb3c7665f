#include "Views/PageLayout.h"

#include <QFont>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

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

}  // namespace pagelayout
