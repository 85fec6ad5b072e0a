#include "MenuBarIcon.h"

#include <QPainter>

#include "Pellora/Shell/Symbols.h"

namespace pellora {
namespace {

QImage loadScaled(const std::filesystem::path& file, int pixels) {
    QImage image;
    if (!image.load(QString::fromStdString(file.string()), "PNG"))
        return {};
    if (image.width() != pixels || image.height() != pixels)
        image = image.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The shape's alpha filled with `color`, then the whole at `opacity`.
QPixmap drawShape(const QImage& shape, const QColor& color, double opacity, qreal devicePixelRatio) {
    QImage tinted(shape.size(), QImage::Format_ARGB32_Premultiplied);
    tinted.fill(Qt::transparent);
    {
        QPainter painter(&tinted);
        painter.fillRect(tinted.rect(), color);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, shape);
    }
    QImage result(shape.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setOpacity(opacity);
        painter.drawImage(0, 0, tinted);
    }
    QPixmap pixmap = QPixmap::fromImage(result);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

} // namespace

MenuBarIcon MenuBarIcon::load(const std::optional<Bundle>& bundle) {
    MenuBarIcon icon;
    if (!bundle)
        return icon;
    icon.image_ = loadScaled(bundle->resources() / "MenuBarIcon.png", size);
    if (!icon.image_.isNull())
        icon.image2x_ = loadScaled(bundle->resources() / "MenuBarIcon@2x.png", 2 * size);
    return icon;
}

std::string MenuBarIcon::accessibilityDescription() const { return isTemplate() ? "" : "Tovrin"; }

QPixmap MenuBarIcon::pixmap(const QColor& color, double opacity, qreal devicePixelRatio) const {
    const int pixels = qRound(size * devicePixelRatio);
    if (!isTemplate()) {
        const QPixmap symbol = Symbols::tinted(fallbackSymbol, size, Qt::black, devicePixelRatio);
        if (symbol.isNull())
            return {};
        return drawShape(symbol.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), color, opacity,
                         devicePixelRatio);
    }
    const QImage& source = devicePixelRatio > 1.0 && !image2x_.isNull() ? image2x_ : image_;
    const QImage shape = source.width() == pixels
                             ? source
                             : source.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return drawShape(shape, color, opacity, devicePixelRatio);
}

QIcon MenuBarIcon::icon(const QColor& color, double opacity) const {
    QIcon icon;
    icon.addPixmap(pixmap(color, opacity, 1.0));
    icon.addPixmap(pixmap(color, opacity, 2.0));
    return icon;
}

} // namespace pellora
