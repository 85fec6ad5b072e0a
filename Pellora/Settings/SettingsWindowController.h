#pragma once

#include <memory>
#include <optional>

#include "Pellora/Settings/SettingsContext.h"

class QWidget;

namespace pellora {

class SettingsView;

// Owns the settings window: created with the delegate's stores and update manager, the window
// itself made on the first show() and kept, with its selected tab, for the whole run.
class SettingsWindowController {
public:
    static constexpr int contentWidth = 780;

    explicit SettingsWindowController(SettingsContext context);
    ~SettingsWindowController();

    // Creates the window on first use, centres it, brings the application to the front and
    // shows the window in front.
    void show();
    // The window, once show() has made it.
    QWidget* window() const;
    SettingsView* view() const { return view_.get(); }

    // The content's height: 700, or less on a screen whose available height less 60 is
    // smaller; 700 without a screen.
    static int contentHeight(std::optional<int> availableHeight);

private:
    SettingsContext context_;
    std::unique_ptr<SettingsView> view_;
};

} // namespace pellora
