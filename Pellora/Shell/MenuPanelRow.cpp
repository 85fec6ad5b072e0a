#include "MenuPanelRow.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>

#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {

MenuPanelRow::MenuPanelRow(const MenuPanelModel::Row& row, QWidget* parent)
    : QAbstractButton(parent), row_(row) {
    setText(QString::fromStdString(row.title));
    setIcon(Symbols::icon(row.symbol));
    setEnabled(!row.disabled);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QString::fromStdString(row.title));
    setAccessibleDescription(QString::fromStdString(row.shortcut));
    // The name is the user's own text; a tool tip would read markup in it.
    setToolTip(Qt::convertFromPlainText(QString::fromStdString(row.title + "  " + row.shortcut)));
}

QSize MenuPanelRow::sizeHint() const { return {276, rowHeight}; }

void MenuPanelRow::keyPressEvent(QKeyEvent* event) {
    // Return chooses the row, as Space does for any button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void MenuPanelRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(disabledOpacity);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (isEnabled() && (underMouse() || hasFocus())) {
        QPainterPath background;
        background.addRoundedRect(area, cornerRadius, cornerRadius);
        painter.fillPath(background, Brand::withOpacity(Brand::accent(palette()), hoverOpacity));
    }

    const int symbolSize = 16;
    const QRect symbolRect(10, (rowHeight - symbolSize) / 2, symbolSize, symbolSize);
    // A disabled row is the normal row at half opacity, not the style's greyed-out one.
    icon().paint(&painter, symbolRect, Qt::AlignCenter, QIcon::Normal);

    const QColor primary = palette().color(QPalette::Active, QPalette::WindowText);
    QColor secondary = primary;
    secondary.setAlphaF(0.55f);
    const QRect textRect = rect().adjusted(symbolRect.right() + 10, 0, -10, 0);
    const QString shortcut = QString::fromStdString(row_.shortcut);
    painter.setPen(secondary);
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignRight, shortcut);
    const int shortcutWidth = fontMetrics().horizontalAdvance(shortcut) + 12;
    painter.setPen(primary);
    painter.drawText(textRect.adjusted(0, 0, -shortcutWidth, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width() - shortcutWidth));
}

} // namespace pellora
