#pragma once

#include <QAbstractButton>

#include "Pellora/Shell/MenuPanelModel.h"

namespace pellora {

// One action in the menu panel: its symbol, its name and, on the right, its shortcut. The
// whole row is the button; hovering (or keyboard focus) lays the accent colour behind it.
class MenuPanelRow : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int rowHeight = 30;
    static constexpr int cornerRadius = 9;
    static constexpr double hoverOpacity = 0.12;
    static constexpr double disabledOpacity = 0.5;

    explicit MenuPanelRow(const MenuPanelModel::Row& row, QWidget* parent = nullptr);

    Action action() const { return row_.action; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    MenuPanelModel::Row row_;
};

} // namespace pellora
