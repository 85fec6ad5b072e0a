#include "Callout.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "Pellora/Shell/Brand.h"

namespace pellora {

Callout::Callout(QWidget* content, QWidget* parent) : QFrame(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    // No alignment flag here: with one, a layout caps the content at its size hint, and
    // wrapped text inside stays narrow. Filling the box, the content lays itself out from the
    // leading edge.
    layout->addWidget(content);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void Callout::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), 10, 10);
    painter.fillPath(box, Brand::withOpacity(Brand::accent(palette()), 0.10));
}

} // namespace pellora
