#include "MenuPanelButton.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "Pellora/Shell/Brand.h"
#include "Pellora/Shell/Symbols.h"

namespace pellora {

MenuPanelButton::MenuPanelButton(const MenuPanelModel::FooterButton& button, QWidget* parent)
    : QAbstractButton(parent), button_(button.button) {
    const QString label = QString::fromStdString(button.label);
    setIcon(Symbols::icon(button.symbol));
    setToolTip(label);
    setAccessibleName(label);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(buttonWidth, buttonHeight);
}

void MenuPanelButton::keyPressEvent(QKeyEvent* event) {
    // Return presses it, as it chooses an action row.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void MenuPanelButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (underMouse() || hasFocus()) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
        painter.fillPath(background, Brand::withOpacity(palette().color(QPalette::WindowText), hoverOpacity));
    }
    const int symbolSize = 18;
    icon().paint(&painter, QRect((buttonWidth - symbolSize) / 2, (buttonHeight - symbolSize) / 2, symbolSize, symbolSize));
}

} // namespace pellora
