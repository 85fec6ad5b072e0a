#include "SwitchButton.h"

#include <QPainter>
#include <QPainterPath>

#include "Pellora/Shell/Brand.h"

namespace pellora {
namespace {

constexpr int trackWidth = 38;
constexpr int trackHeight = 22;
constexpr int gap = 12;

} // namespace

SwitchButton::SwitchButton(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SwitchButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + gap + trackWidth + 4, std::max(trackHeight, metrics.height()) + 4};
}

QSize SwitchButton::minimumSizeHint() const { return {trackWidth + 4, sizeHint().height()}; }

bool SwitchButton::hitButton(const QPoint& position) const { return rect().contains(position); }

void SwitchButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colors = palette();
    const QRect track(width() - trackWidth - 2, (height() - trackHeight) / 2, trackWidth, trackHeight);

    const QRect label(0, 0, track.left() - gap, height());
    painter.setPen(colors.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(label, Qt::AlignVCenter | Qt::AlignLeading,
                     QFontMetrics(font()).elidedText(text(), Qt::ElideRight, label.width()));

    QPainterPath shape;
    shape.addRoundedRect(QRectF(track), trackHeight / 2.0, trackHeight / 2.0);
    const QColor on = Brand::accent(colors);
    const QColor off = Brand::withOpacity(colors.color(QPalette::WindowText), 0.22);
    painter.fillPath(shape, isChecked() ? on : off);
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setPen(QPen(Brand::withOpacity(on, 0.6), 2));
        painter.drawRoundedRect(QRectF(track).adjusted(-2, -2, 2, 2), trackHeight / 2.0 + 2, trackHeight / 2.0 + 2);
    }
    const int knob = trackHeight - 4;
    const int x = isChecked() ? track.right() - knob - 1 : track.left() + 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(Qt::white));
    painter.drawEllipse(QRect(x, track.top() + 2, knob, knob));
}

} // namespace pellora
