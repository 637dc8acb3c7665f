#pragma once
// Layout pieces every settings page shares, so the pages look alike.

#include <QList>
#include <QSize>

class QGridLayout;
class QLabel;
class QString;
class QVBoxLayout;
class QWidget;

namespace pagelayout {

// The page area the main window opens with at the least, and the size the pages' own tests lay a
// page out at. The main window opens its page area at this size or at what its pages ask for
// (PageController::neededSize), whichever is larger and the screen allows: with the desktop's
// default font (DejaVu Sans 9 pt at 96 dpi) every page fits this size in every state it can show.
inline constexpr QSize kPageSize{680, 600};
// The least page area: the window can be made this small (or opens so on a small screen), and a
// page that needs more room scrolls.
inline constexpr QSize kLeastPageSize{360, 280};

// A label that shows its text as plain text (never as rich text).
QLabel* plainLabel(QWidget* parent);
// A label's text: `text` followed by the colon every label that names a control ends with. The
// string table holds the names without it (the alerts name fields too).
QString labelText(const QString& text);
// The same for the text of the string-table key `key`.
QString labelText(const char* key);
// The page's title at its top: plain, bold, a quarter larger than the body text.
QLabel* titleLabel(QWidget* parent);
// Fills `page` with a borderless scrolling area and answers the layout of the area's content (the
// pages' margins, `spacing` between rows). The content widget is the layout's parentWidget(). The
// content fills the area; where the area is smaller than the content needs (large text, a small
// screen), scroll bars show.
QVBoxLayout* scrollingContent(QWidget* page, int spacing);
// The widget that holds the controls of `page`: the content of its scrolling area, or the page
// itself when it does not scroll.
QWidget* content(QWidget* page);
// The size `page` needs to show all of its content without scrolling or cutting a control off,
// with the widgets `shown` (which the page shows only in some states) counted as shown: each is
// shown for the measurement and then put back as it was. A content whose height follows its
// width (wrapped text) is measured at the width it asks for.
QSize neededSize(QWidget* page, const QList<QWidget*>& shown = {});
// Fixes the size of `editor`, an editor window the user does not resize whose body is a scrolling
// area (scrollingContent) with its buttons below: the size that shows the whole body where the
// free area of its screen has the room for it and a frame, else the size that fits there (the
// body then scrolls; the buttons always show). It opens centred over the window it belongs to,
// on that window's screen, within the screen's free area.
void fixEditorSize(QWidget* editor);
// Keeps column 1 of `grid` (its fields) starting where `leader` starts, so that the fields of a
// grid below another group of label / field rows line up with that group's fields at any font:
// column 0 (the labels, aligned right) takes up the difference. Labels that need more room keep
// it, and the fields then sit further right. `leader` lies in the widget `grid` lays out.
void lineUpFields(QGridLayout* grid, QWidget* leader);

}  // namespace pagelayout
