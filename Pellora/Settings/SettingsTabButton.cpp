#include "SettingsTabButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QPainterPath>

#include "Pellora/Settings/SettingsStyle.h"
#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {
namespace {

class AccessibleTab : public QAccessibleWidget {
public:
    explicit AccessibleTab(SettingsTabButton* button)
        : QAccessibleWidget(button, QAccessible::PageTab, button->text()) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        const auto* button = static_cast<const SettingsTabButton*>(widget());
        state.selectable = true;
        state.selected = button->isChecked();
        state.focusable = true;
        return state;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction())
            static_cast<SettingsTabButton*>(widget())->click();
    }
};

QAccessibleInterface* accessibleTab(const QString& className, QObject* object) {
    if (className == QLatin1String("pellora::SettingsTabButton") && object && object->isWidgetType())
        return new AccessibleTab(static_cast<SettingsTabButton*>(object));
    return nullptr;
}

} // namespace

SettingsTabButton::SettingsTabButton(SettingsTabID tab, QWidget* parent) : QAbstractButton(parent), tab_(tab) {
    static const bool installed = (QAccessible::installFactory(accessibleTab), true);
    (void)installed;
    setText(QString::fromUtf8(tab.title().data(), qsizetype(tab.title().size())));
    setAccessibleName(text());
    setCheckable(true);
    // Arrow keys move along the bar and select, as in a row of tabs.
    setAutoExclusive(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(buttonWidth, buttonHeight);
    connect(this, &QAbstractButton::toggled, this, [this] {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    });
}

QSize SettingsTabButton::sizeHint() const { return {buttonWidth, buttonHeight}; }

bool SettingsTabButton::hitButton(const QPoint& position) const { return rect().contains(position); }

void SettingsTabButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colors = palette();
    const QColor accent = Brand::accent(colors);
    const QColor ink = isChecked() ? accent : SettingsStyle::color(SettingsStyle::Tint::secondary, colors);
    if (isChecked()) {
        QPainterPath plate;
        plate.addRoundedRect(QRectF(rect()), 9, 9);
        painter.fillPath(plate, Brand::withOpacity(accent, 0.13));
    }
    // Only a focus the keyboard moved gets a ring; a click or the window opening does not.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setPen(QPen(Brand::withOpacity(accent, 0.7), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    }
    const QFontMetrics metrics(font());
    const int gap = 4;
    const int top = (height() - symbolSize - gap - metrics.height()) / 2;
    const QPixmap symbol = Symbols::tinted(tab_.symbol(), symbolSize, ink, devicePixelRatioF());
    painter.drawPixmap((width() - symbolSize) / 2, top, symbol);
    painter.setPen(ink);
    painter.drawText(QRect(0, top + symbolSize + gap, width(), metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                     text());
}

} // namespace pellora
