#include "Callout.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "Pellora/Shell/Brand.h"

namespace pellora {

Callout::Callout(QWidget* content, QWidget* parent) : QFrame(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    // The content fills the box, so text that wraps gets the whole width and its full height;
    // an aligned item would keep only its preferred width and clip what wraps.
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
