#pragma once
// Where this program puts a window it opens beside another one.
//
// Under X11 (and the offscreen platform of the tests) the program places its windows itself;
// under Wayland the compositor places every window and a program's own position is ignored, so
// nothing is moved there.

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace platform {

// False under Wayland, whose compositor places the windows.
bool placesOwnWindows();

// The frame of size `frame` centred on `centre`, then moved (never resized) so that it lies on
// `available`; a frame larger than `available` keeps its top-left corner on it.
QRect centredFrame(const QSize& frame, const QPoint& centre, const QRect& available);

// Moves `window` (about to be shown) so that its frame is centred on the frame of `beside` and
// lies on the available area of `beside`'s screen. Its frame is taken to be as thick as the frame
// of `beside`, which is on show. Does nothing where the program does not place its windows.
void openCentredOn(QWidget& window, const QWidget& beside);

}  // namespace platform
