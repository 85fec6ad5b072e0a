#include "SettingsStyle.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QWidget>

#include "Pellora/Settings/RouteStyle.h"
#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora::SettingsStyle {
namespace {

constexpr const char* tintProperty = "pelloraTint";
constexpr const char* symbolProperty = "pelloraSymbol";
constexpr const char* symbolSizeProperty = "pelloraSymbolSize";

// The palette a widget inherits, before its own tint is applied.
QPalette inherited(const QWidget* widget) {
    return widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette(widget);
}

void apply(QWidget* widget, Tint tint) {
    const QPalette base = inherited(widget);
    if (const QVariant symbol = widget->property(symbolProperty); symbol.isValid()) {
        const QByteArray name = symbol.toByteArray();
        static_cast<QLabel*>(widget)->setPixmap(Symbols::tinted(std::string_view(name.constData(), std::size_t(name.size())),
                                                                widget->property(symbolSizeProperty).toInt(),
                                                                color(tint, base), widget->devicePixelRatioF()));
        return;
    }
    QPalette palette = widget->palette();
    const QColor text = color(tint, base);
    if (tint == Tint::prominent) {
        // A filled button in the accent colour, as the platform draws a prominent one. The dark
        // appearance's light blue is too pale for white lettering, so it takes the window's.
        const QColor lettering = Brand::isDark(base) ? base.color(QPalette::Window) : QColor(Qt::white);
        const QString sheet = QStringLiteral("QPushButton { background: %1; color: %4; border: none; "
                                             "border-radius: 6px; padding: 5px 14px; }"
                                             "QPushButton:pressed { background: %2; }"
                                             "QPushButton:focus { border: 2px solid %3; }")
                                  .arg(text.name(), text.darker(120).name(), text.lighter(150).name(),
                                       lettering.name());
        if (widget->styleSheet() != sheet)
            widget->setStyleSheet(sheet);
        return;
    }
    for (auto group : {QPalette::Active, QPalette::Inactive})
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, text);
    if (palette != widget->palette())
        widget->setPalette(palette);
}

// Re-tints a widget when the palette it inherits changes (light and dark appearances).
class Retinter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* object, QEvent* event) override {
        const auto type = event->type();
        if ((type == QEvent::ParentChange || type == QEvent::ApplicationPaletteChange || type == QEvent::PaletteChange) &&
            !busy_) {
            auto* widget = static_cast<QWidget*>(object);
            busy_ = true;
            apply(widget, Tint(widget->property(tintProperty).toInt()));
            busy_ = false;
        }
        return false;
    }

private:
    bool busy_ = false;
};

} // namespace

QColor color(Tint tint, const QPalette& palette) {
    const bool dark = Brand::isDark(palette);
    const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
    switch (tint) {
    case Tint::primary: return text;
    case Tint::secondary: return Brand::withOpacity(text, 0.55);
    case Tint::faded: return Brand::withOpacity(text, 0.78);
    // The same orange as the route screens' warnings; the green likewise readable as text.
    case Tint::orange: return RouteStyle::warningColor(palette);
    case Tint::green: return dark ? QColor(48, 219, 91) : QColor(0, 125, 27);
    case Tint::accent:
    case Tint::prominent: return Brand::accent(palette);
    }
    return text;
}

void tint(QWidget* widget, Tint tint) {
    static Retinter* retinter = new Retinter(qApp);
    const bool first = !widget->property(tintProperty).isValid();
    widget->setProperty(tintProperty, int(tint));
    if (first)
        widget->installEventFilter(retinter);
    apply(widget, tint);
}

void symbol(QLabel* label, std::string_view name, int size, Tint tint) {
    label->setProperty(symbolProperty, QByteArray(name.data(), qsizetype(name.size())));
    label->setProperty(symbolSizeProperty, size);
    SettingsStyle::tint(label, tint);
}

namespace {

// A smaller style, but never below what stays readable with the desktop's own smaller body
// fonts (the platform's 10-on-13 caption would be tiny at 9 points).
QFont scaled(const QFont& body, double ratio) {
    QFont font = body;
    if (body.pointSizeF() > 0)
        font.setPointSizeF(std::max(body.pointSizeF() * ratio, std::min(body.pointSizeF(), 8.0)));
    else
        font.setPixelSize(std::max(1, int(body.pixelSize() * ratio + 0.5)));
    return font;
}

} // namespace

QFont caption(const QFont& body) { return scaled(body, 0.9); }

QFont callout(const QFont& body) { return scaled(body, 0.95); }

QFont headline(const QFont& body) {
    QFont font = body;
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont tabularDigits(const QFont& body) {
    const QFontMetricsF metrics(body);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        if (metrics.horizontalAdvance(QLatin1Char(digit)) != zero) {
            QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            fixed.setPointSizeF(body.pointSizeF());
            return fixed;
        }
    return body;
}

} // namespace pellora::SettingsStyle
