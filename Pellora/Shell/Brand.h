#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>

namespace pellora {

// The application's colours.
namespace Brand {

// sRGB 66, 165, 245 when the palette is closer to dark than to light, otherwise sRGB 13, 71,
// 161; fully opaque.
QColor accent(const QPalette& palette);
// The same for the application's current palette.
QColor accent();

// Whether the palette reads as dark: its window colour is darker than mid-grey.
bool isDark(const QPalette& palette);

// The application's icon: the one the composition root gave the application, else the
// "envelope.arrow.triangle.branch" symbol.
QIcon applicationIcon();

// `color` at `opacity` (0…1).
QColor withOpacity(QColor color, double opacity);

} // namespace Brand
} // namespace pellora
