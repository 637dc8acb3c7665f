#include "platform/widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace platform {

bool placesOwnWindows() { return !QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

QRect centredFrame(const QSize& frame, const QPoint& centre, const QRect& available) {
  QRect placed(QPoint(0, 0), frame);
  placed.moveCenter(centre);
  // Right and bottom edges first, so that a frame larger than the area keeps its top-left corner
  // (and its title bar) on it.
  if (placed.right() > available.right()) placed.moveRight(available.right());
  if (placed.bottom() > available.bottom()) placed.moveBottom(available.bottom());
  if (placed.left() < available.left()) placed.moveLeft(available.left());
  if (placed.top() < available.top()) placed.moveTop(available.top());
  return placed;
}

QSize openingSize(const QSize& wanted, const QSize& least, const QRect& available, const QMargins& frame) {
  const QSize room = available.size().shrunkBy(frame);
  return wanted.boundedTo(room).expandedTo(least);
}

QMargins expectedFrame() {
  // A title bar of the common desktops at their default font, and thin borders.
  return QMargins(4, 40, 4, 4);
}

namespace {

QSize leastSize(const QWidget& window) { return window.minimumSizeHint().expandedTo(window.minimumSize()); }

}  // namespace

void showNewChildren(QWidget& window) {
  if (!window.isVisible()) return;  // they show with the window
  for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!child->isWindow() && !child->testAttribute(Qt::WA_WState_ExplicitShowHide)) child->show();
  }
  if (window.layout() != nullptr) window.layout()->activate();
}

void fitToScreen(QWidget& window) {
  showNewChildren(window);
  const QScreen* screen = window.screen();
  if (screen == nullptr) return;
  window.resize(openingSize(window.sizeHint(), leastSize(window), screen->availableGeometry(), expectedFrame()));
}

void openCentredOn(QWidget& window, const QWidget& beside) {
  if (!placesOwnWindows() || beside.screen() == nullptr) {
    fitToScreen(window);
    return;
  }
  const QRect outer = beside.frameGeometry();
  const QRect inner = beside.geometry();
  const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                       outer.bottom() - inner.bottom());
  const QRect available = beside.screen()->availableGeometry();
  window.resize(openingSize(window.sizeHint(), leastSize(window), available, frame));
  const QRect placed = centredFrame(window.size().grownBy(frame), outer.center(), available);
  window.move(placed.topLeft());  // a window's position is that of its frame
}

}  // namespace platform
