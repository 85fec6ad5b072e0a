#pragma once

#include <optional>
#include <string>

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "Pellora/Platform/Bundle.h"

namespace pellora {

// The status item's image: the bundle's "MenuBarIcon" template image (20 × 20 points, with an
// @2x version), or the "envelope.arrow.triangle.branch" symbol when the bundle has none that
// loads. A template image is a shape: only its alpha counts, drawn in the colour of the
// current appearance.
class MenuBarIcon {
public:
    static constexpr int size = 20;
    static constexpr const char* fallbackSymbol = "envelope.arrow.triangle.branch";

    static MenuBarIcon load(const std::optional<Bundle>& bundle);

    // True for the bundle's image, false for the symbol fallback.
    bool isTemplate() const { return !image_.isNull(); }
    // "Tovrin" for the symbol fallback; empty for the template image.
    std::string accessibilityDescription() const;

    // The icon at `size` points in `color` at `opacity` (0…1).
    QPixmap pixmap(const QColor& color, double opacity, qreal devicePixelRatio = 1.0) const;
    // The same at 1x and 2x.
    QIcon icon(const QColor& color, double opacity) const;

private:
    QImage image_;   // 20 × 20
    QImage image2x_; // 40 × 40; null when the bundle has no @2x version
};

} // namespace pellora
