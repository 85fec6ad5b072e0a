#pragma once

#include <string_view>

#include <QColor>
#include <QFont>
#include <QPalette>

class QLabel;
class QWidget;

namespace pellora {

// The few looks the settings screens share: text colours and sizes of the platform's grouped
// forms, kept in step with the light or dark palette.
namespace SettingsStyle {

enum class Tint {
    primary,
    secondary,  // dimmed text: placeholders, shortcuts, footers
    faded,      // the primary colour at 78 % (the prompts tab's explanation)
    orange,     // warnings
    green,      // a granted permission
    accent,     // Brand::accent
    prominent,  // a button filled with the accent colour
};

QColor color(Tint tint, const QPalette& palette);

// Gives the widget's text (or a button's face) the tint, now and after every palette change.
void tint(QWidget* widget, Tint tint);

// Shows the system symbol in the label at `size` points in the tint, redrawn after every
// palette change.
void symbol(QLabel* label, std::string_view name, int size, Tint tint);

// The platform's smaller text styles, relative to the body font.
QFont caption(const QFont& body);
QFont callout(const QFont& body);
QFont headline(const QFont& body);

// The body font's own digits when they are all equally wide, else the fixed-pitch system
// font at its size, so columns of dates and times line up.
QFont tabularDigits(const QFont& body);

} // namespace SettingsStyle
} // namespace pellora
