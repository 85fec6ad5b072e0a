#pragma once

#include <string_view>

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace pellora {

// The system symbols the screens name (SF Symbols on a Mac), drawn with the icon theme's
// counterpart where there is one and a bundled drawing otherwise.
namespace Symbols {

// The freedesktop icon-theme name standing for the symbol; empty when none fits.
std::string_view themeName(std::string_view symbol);

// The theme's icon, or the bundled drawing in the palette's text colour. A symbol nobody
// drew gives a null icon.
QIcon icon(std::string_view symbol);

// The bundled drawing at `size` device-independent pixels, in one colour (for tinted
// symbols such as a selected tab). Null when the symbol has no drawing.
QPixmap tinted(std::string_view symbol, int size, const QColor& color, qreal devicePixelRatio = 1.0);

// Whether the project ships a drawing for the symbol.
bool isBundled(std::string_view symbol);

} // namespace Symbols
} // namespace pellora
