#include "Spinner.h"

#include <QPainter>

namespace pellora {

Spinner::Spinner(int size, QWidget* parent) : QWidget(parent), size_(size) {
    setFixedSize(size, size);
    setAccessibleName(QStringLiteral("In progress"));
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 30) % 360;
        update();
    });
}

QSize Spinner::sizeHint() const { return {size_, size_}; }

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate(angle_);
    const QColor ink = palette().color(QPalette::WindowText);
    // Twelve spokes, fading behind the leading one.
    for (int spoke = 0; spoke < 12; ++spoke) {
        QColor color = ink;
        color.setAlphaF(0.15 + 0.85 * (spoke / 11.0));
        painter.setPen(QPen(color, size_ / 8.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -size_ * 0.22), QPointF(0, -size_ * 0.42));
        painter.rotate(30);
    }
}

void Spinner::showEvent(QShowEvent*) { timer_.start(); }
void Spinner::hideEvent(QHideEvent*) { timer_.stop(); }

} // namespace pellora
