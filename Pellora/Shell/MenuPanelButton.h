#pragma once

#include <QAbstractButton>

#include "Pellora/Shell/MenuPanelModel.h"

namespace pellora {

// A footer button of the menu panel: a symbol in a 32 × 28 frame, its label as the tool tip;
// hovering lays the text colour at 10 % behind it.
class MenuPanelButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int buttonWidth = 32;
    static constexpr int buttonHeight = 28;
    static constexpr int cornerRadius = 8;
    static constexpr double hoverOpacity = 0.10;

    explicit MenuPanelButton(const MenuPanelModel::FooterButton& button, QWidget* parent = nullptr);

    MenuPanelModel::Button button() const { return button_; }
    QSize sizeHint() const override { return {buttonWidth, buttonHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    MenuPanelModel::Button button_;
};

} // namespace pellora
