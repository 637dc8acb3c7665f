#include "Views/PageLayout.h"

#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <vector>

#include "platform/Localizer.h"
#include "platform/widgets/WindowPlacement.h"

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

void fixEditorSize(QWidget* editor) {
  auto* scroll = editor->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
  QLayout* layout = editor->layout();
  if (scroll == nullptr || layout == nullptr) return;
  // The body's area asks for the room of its whole content (a scrolling area's own size hint is
  // capped), so that the editor's size hint is the size that needs no scrolling.
  QWidget* body = scroll->widget();
  const int border = 2 * scroll->frameWidth();
  scroll->setMinimumSize(body->sizeHint().expandedTo(body->minimumSizeHint()) + QSize(border, border));
  layout->activate();
  const QSize whole = editor->sizeHint();
  scroll->setMinimumSize(0, 0);
  layout->activate();
  // It opens over the window it belongs to, on that window's screen, and lies on its free area.
  const QWidget* owner = editor->parentWidget() != nullptr ? editor->parentWidget()->window() : nullptr;
  const QScreen* screen = owner != nullptr && owner->screen() != nullptr ? owner->screen() : editor->screen();
  if (screen == nullptr) {
    editor->setFixedSize(whole);
    return;
  }
  const QRect available = screen->availableGeometry();
  const QMargins frame = platform::expectedFrame();
  const QSize size = platform::openingSize(whole, editor->minimumSizeHint(), available, frame);
  editor->setFixedSize(size);
  if (owner != nullptr && owner->isVisible() && platform::placesOwnWindows()) {
    const QRect placed = platform::centredFrame(size.grownBy(frame), owner->frameGeometry().center(), available);
    editor->move(placed.topLeft());  // a window's position is that of its frame
  }
}

namespace {

// Watches the widget `grid` lays out (its layout has placed every child when a resize or a layout
// request reaches a filter) and `leader` (which moves on its own when its group's label column
// changes), and gives the grid's label column the width that puts its fields under `leader`.
class FieldLineUp : public QObject {
 public:
  FieldLineUp(QGridLayout* grid, QWidget* leader) : QObject(grid), m_grid(grid), m_leader(leader) {
    leader->installEventFilter(this);
    if (grid->parentWidget() != nullptr) grid->parentWidget()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::LayoutRequest: update(); break;
      default: break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void update() {
    QWidget* area = m_grid->parentWidget();
    if (m_leader == nullptr || area == nullptr || !area->isAncestorOf(m_leader)) return;
    // A grid whose layout was invalidated (by the last change here, too) has no geometry until
    // it is laid out again; the layout request that follows brings this back.
    if (!m_grid->geometry().isValid()) return;
    const int spacing = qMax(0, m_grid->horizontalSpacing());
    const int labels = m_leader->mapTo(area, QPoint(0, 0)).x() - m_grid->geometry().left() - spacing;
    if (labels >= 0 && labels != m_grid->columnMinimumWidth(0)) m_grid->setColumnMinimumWidth(0, labels);
  }

  QGridLayout* m_grid;
  QPointer<QWidget> m_leader;
};

}  // namespace

void lineUpFields(QGridLayout* grid, QWidget* leader) { new FieldLineUp(grid, leader); }

}  // namespace pagelayout
