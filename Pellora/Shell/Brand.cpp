#include "Brand.h"

#include <QGuiApplication>

#include "Pellora/Shell/Symbols.h"

namespace pellora::Brand {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

QColor accent(const QPalette& palette) { return isDark(palette) ? QColor(66, 165, 245) : QColor(13, 71, 161); }

QColor accent() { return accent(QGuiApplication::palette()); }

QIcon applicationIcon() {
    const QIcon icon = QGuiApplication::windowIcon();
    return icon.isNull() ? Symbols::icon("envelope.arrow.triangle.branch") : icon;
}

QColor withOpacity(QColor color, double opacity) {
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

} // namespace pellora::Brand
