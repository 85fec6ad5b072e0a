#pragma once

#include <QRect>
#include <QWidget>

class QLabel;
class QProgressBar;
class QVBoxLayout;

namespace pellora {

class MenuPanelModel;

// The panel below the status item: a frameless popup, 300 wide, drawn from its model and
// redrawn whenever the model changes. It closes when the user clicks elsewhere (a click on
// the icon only closes it), on Escape, or when the delegate closes it after a choice.
class MenuPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int panelWidth = 300;

    explicit MenuPanel(MenuPanelModel& model, QWidget* parent = nullptr);

    // Shows the panel below `anchor` (global coordinates), or above it when the screen ends
    // first, kept on its screen; with no anchor, at the top edge of the screen, on the right.
    void popUp(const QRect& anchor);
    // Where the panel goes for `anchor` on a screen with this available area.
    static QPoint placement(const QRect& anchor, const QRect& screen, const QSize& size);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuild();

    MenuPanelModel& model_;
    QLabel* icon_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QVBoxLayout* rows_ = nullptr;
    QWidget* footer_ = nullptr;
};

} // namespace pellora
