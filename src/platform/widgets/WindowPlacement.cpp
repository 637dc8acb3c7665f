#include "platform/widgets/WindowPlacement.h"

#include <QGuiApplication>
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

void openCentredOn(QWidget& window, const QWidget& beside) {
  if (!placesOwnWindows() || beside.screen() == nullptr) return;
  const QRect outer = beside.frameGeometry();
  const QRect inner = beside.geometry();
  const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                       outer.bottom() - inner.bottom());
  const QRect placed =
      centredFrame(window.size().grownBy(frame), outer.center(), beside.screen()->availableGeometry());
  window.move(placed.topLeft());  // a window's position is that of its frame
}

}  // namespace platform
