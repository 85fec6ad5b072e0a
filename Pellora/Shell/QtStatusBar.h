#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QObject>

#include "Pellora/Shell/MenuBarIcon.h"
#include "Pellora/Shell/StatusBar.h"

class QSystemTrayIcon;

namespace pellora {

class MenuPanel;

// The status bar on Qt: a system tray icon drawn from the menu-bar icon in the current
// appearance's text colour (at the busy opacity), and the menu panel as a popup below it.
class QtStatusBar : public QObject, public StatusBar {
    Q_OBJECT
public:
    explicit QtStatusBar(QObject* parent = nullptr);
    ~QtStatusBar() override;

    void createStatusItem() override;
    void setButton(const MenuBarIcon& image, const std::string& toolTip, std::function<void()> action) override;
    void setPopoverContent(MenuPanelModel& model) override;
    bool hasButton() const override;
    bool isPopoverShown() const override;
    void showPopover() override;
    void closePopover() override;

    // The icon's opacity: 0.45 while a send runs, 1.0 otherwise.
    void setOpacity(double opacity);

    QSystemTrayIcon* trayIcon() const { return tray_.get(); }
    MenuPanel* panel() const { return panel_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void redrawIcon();

    std::unique_ptr<QSystemTrayIcon> tray_;
    std::optional<MenuBarIcon> image_;
    std::function<void()> action_;
    std::unique_ptr<MenuPanel> panel_;
    double opacity_ = 1.0;
};

} // namespace pellora
