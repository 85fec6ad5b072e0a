#pragma once

#include <functional>
#include <string>

namespace pellora {

class MenuBarIcon;
class MenuPanelModel;

// The application's face in the system's status bar: one status item whose button opens a
// popover holding the menu panel. The Qt implementation is a tray icon with a popup panel.
class StatusBar {
public:
    virtual ~StatusBar() = default;

    // Creates the status item in the system status bar.
    virtual void createStatusItem() = 0;
    // The button's image and tool tip; clicking the button calls `action`.
    virtual void setButton(const MenuBarIcon& image, const std::string& toolTip, std::function<void()> action) = 0;
    // Puts the menu panel into the popover; the panel observes `model` for the run.
    virtual void setPopoverContent(MenuPanelModel& model) = 0;

    // Whether the status item has a button the popover can be shown below.
    virtual bool hasButton() const = 0;
    virtual bool isPopoverShown() const = 0;
    // Shows the popover below the button.
    virtual void showPopover() = 0;
    virtual void closePopover() = 0;
};

} // namespace pellora
