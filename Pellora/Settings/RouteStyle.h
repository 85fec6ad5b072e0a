#pragma once

#include <string_view>

#include <QColor>
#include <QPalette>
#include <QString>

class QLabel;
class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace pellora {

// The small pieces of look that the route form and the Routes tab share.
namespace RouteStyle {

QString text(std::string_view utf8);

// A wrapped note in a smaller, secondary style.
QLabel* note(const QString& text, QWidget* parent);
// A wrapped label for a bold section or example title.
QLabel* heading(const QString& text, QWidget* parent);
// A wrapped in-place validation message in the error colour; hidden until it has a text.
QLabel* message(QWidget* parent);
// Shows `text` in a message label, or hides it when empty.
void setMessage(QLabel* label, const QString& text);

// A frameless area on `parent` that scrolls vertically; its page is laid out by the column
// returned, which the area shows once the caller has filled it.
QScrollArea* scrollingPage(QWidget* parent, QVBoxLayout*& column);
// A column without margins for `box`.
QVBoxLayout* column(QWidget* box, int spacing);

// System red and orange, lighter on a dark palette.
QColor errorColor(const QPalette& palette);
QColor warningColor(const QPalette& palette);

} // namespace RouteStyle
} // namespace pellora
