#pragma once
// Layout pieces every settings page shares, so the pages look alike.

class QLabel;
class QString;
class QVBoxLayout;
class QWidget;

namespace pagelayout {

// A label that shows its text as plain text (never as rich text).
QLabel* plainLabel(QWidget* parent);
// A label's text: `text` followed by the colon every label that names a control ends with. The
// string table holds the names without it (the alerts name fields too).
QString labelText(const QString& text);
// The same for the text of the string-table key `key`.
QString labelText(const char* key);
// The page's title at its top: plain, bold, a quarter larger than the body text.
QLabel* titleLabel(QWidget* parent);
// Fills `page` with a borderless, vertically scrolling area and answers the layout of the area's
// content (the pages' margins, `spacing` between rows). The content widget is the layout's
// parentWidget().
QVBoxLayout* scrollingContent(QWidget* page, int spacing);

}  // namespace pagelayout
