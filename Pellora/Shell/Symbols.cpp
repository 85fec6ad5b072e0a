#include "Symbols.h"

#include <string>
#include <utility>

#include <QApplication>
#include <QFile>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

// The drawings live in a static library: pull their resource in explicitly, or the linker
// drops it.
static void initSymbolResources() { Q_INIT_RESOURCE(symbols); }

namespace pellora::Symbols {
namespace {

QString resource(std::string_view symbol);

// One table: symbol name → icon-theme name ("" where the theme has nothing fitting).
constexpr std::pair<std::string_view, std::string_view> themeNames[] = {
    {"arrowshape.turn.up.left", "mail-reply-sender"},
    {"checklist", "view-list-details"},
    {"magnifyingglass", "edit-find"},
    {"sparkles", ""},
    {"doc.on.clipboard", "edit-paste"},
    {"arrow.triangle.2.circlepath", "view-refresh"},
    {"gearshape", "preferences-system"},
    {"heart", "emblem-favorite"},
    {"heart.fill", "emblem-favorite"},
    {"power", "application-exit"},
    {"envelope.arrow.triangle.branch", "mail-forward"},
    {"arrow.triangle.branch", ""},
    {"text.bubble", ""},
    {"clock.arrow.circlepath", "document-open-recent"},
    {"checkmark.circle.fill", "emblem-ok"},
    {"exclamationmark.triangle.fill", "dialog-warning"},
    {"tray.and.arrow.down", "mail-receive"},
    {"paperplane", "mail-send"},
    {"bubble.left.and.bubble.right", ""},
    {"folder", "folder"},
    {"square.and.pencil", "document-new"},
    {"eye.slash", ""},
    {"lock.shield.fill", "security-high"},
    {"hand.raised", ""},
    {"text.quote", ""},
    {"plus", "list-add"},
    {"minus", "list-remove"},
};

QString resource(std::string_view symbol) {
    static const bool loaded = (initSymbolResources(), true);
    (void)loaded;
    return QStringLiteral(":/symbols/") + QString::fromUtf8(symbol.data(), qsizetype(symbol.size())) +
           QStringLiteral(".svg");
}

// Draws the bundled symbol at any size in the palette's current text colour, so it follows
// light and dark appearances and disabled states.
class BundledEngine : public QIconEngine {
public:
    explicit BundledEngine(std::string symbol) : symbol_(std::move(symbol)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const QPalette palette = QApplication::palette();
        const QColor color = palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                                           mode == QIcon::Selected ? QPalette::HighlightedText
                                                                   : QPalette::WindowText);
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        painter->drawPixmap(QRect(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2,
                                  side, side),
                            tinted(symbol_, side, color, ratio));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap result(size);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return result;
    }
    QIconEngine* clone() const override { return new BundledEngine(symbol_); }

private:
    std::string symbol_;
};

} // namespace

std::string_view themeName(std::string_view symbol) {
    for (const auto& [name, theme] : themeNames)
        if (name == symbol)
            return theme;
    return {};
}

bool isBundled(std::string_view symbol) { return QFile::exists(resource(symbol)); }

QIcon icon(std::string_view symbol) {
    QIcon bundled;
    if (isBundled(symbol))
        bundled = QIcon(new BundledEngine(std::string(symbol)));
    const std::string_view theme = themeName(symbol);
    if (theme.empty())
        return bundled;
    return QIcon::fromTheme(QString::fromUtf8(theme.data(), qsizetype(theme.size())), bundled);
}

QPixmap tinted(std::string_view symbol, int size, const QColor& color, qreal devicePixelRatio) {
    QSvgRenderer renderer(resource(symbol));
    if (!renderer.isValid() || size <= 0)
        return {};
    const int pixels = qRound(size * devicePixelRatio);
    QImage drawing(pixels, pixels, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);
    QPainter painter(&drawing);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    // Black ink becomes the colour; white marks inside a filled shape become see-through.
    QImage result(pixels, pixels, QImage::Format_ARGB32);
    for (int y = 0; y < pixels; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(drawing.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < pixels; ++x) {
            const int ink = qAlpha(in[x]) * (255 - qGray(in[x])) / 255;
            out[x] = qRgba(color.red(), color.green(), color.blue(), ink * color.alpha() / 255);
        }
    }
    QPixmap pixmap = QPixmap::fromImage(result);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

} // namespace pellora::Symbols
