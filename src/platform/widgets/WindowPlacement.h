#pragma once
// How large this program opens a window (never larger than the screen's free area), and where it
// puts a window it opens beside another one.
//
// Under X11 (and the offscreen platform of the tests) the program places its windows itself;
// under Wayland the compositor places every window and a program's own position is ignored, so
// nothing is moved there.

#include <QMargins>
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

// The size a window opens at: `wanted`, made smaller where the window with its frame (`frame`
// thick) would not fit on `available` (the screen's free area), but never smaller than `least`.
QSize openingSize(const QSize& wanted, const QSize& least, const QRect& available, const QMargins& frame);

// The frame a window that is not on show yet is taken to have: a desktop's title bar and borders
// (the window manager draws them; their size is known only once the window is on show).
QMargins expectedFrame();

// Shows the children of `window` that are hidden only because they were made while the window was
// on show (a layout shows them later, from the event loop), so that the window's size hints count
// them. Children hidden on purpose stay hidden.
void showNewChildren(QWidget& window);

// Sizes `window` (about to be shown, not yet placed) for the screen it opens on: its size hint, or
// less where that does not fit the screen's free area with room for the frame, never less than
// its least size. Its size hint is the size it opens at when the screen has the room. Runs
// showNewChildren first.
void fitToScreen(QWidget& window);

// Sizes `window` (about to be shown) as fitToScreen does for the screen of `beside`, then moves
// it so that its frame is centred on the frame of `beside` and lies on the available area of that
// screen. Its frame is taken to be as thick as the frame of `beside`, which is on show. Where the
// program does not place its windows, it is only sized (for its own screen).
void openCentredOn(QWidget& window, const QWidget& beside);

}  // namespace platform
