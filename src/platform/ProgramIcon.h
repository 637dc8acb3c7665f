#pragma once
// The programs' own icon: the sheet-fed scanner drawn in resources/icons/zerelta-remote-setup.svg,
// the same file the desktop entries name (installed under the hicolor icon theme). It is compiled
// into the program as a Qt resource and drawn with Qt SVG, so the window and its alerts show it
// wherever the program runs from (build tree or any prefix) and whatever icon plugins are
// installed.

#include <QIcon>

namespace platform {

// The icon, drawn at the sizes a desktop asks for (16 to 256 pixels). Null only when the resource
// cannot be drawn, which the tests rule out.
QIcon programIcon();

// Its name in the icon theme (the desktop entries' Icon= value).
inline constexpr const char* kProgramIconName = "zerelta-remote-setup";

}  // namespace platform
