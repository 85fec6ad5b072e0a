#pragma once

#include <memory>

#include "Pellora/Settings/SettingsContext.h"

class QWidget;

namespace pellora {

// Owns the settings window: created with the delegate's stores and update manager, the window
// itself made on the first show() and kept, with its selected tab, for the whole run.
class SettingsWindowController {
public:
    explicit SettingsWindowController(SettingsContext context);
    ~SettingsWindowController();

    // Creates the window on first use, centres it, brings the application to the front and
    // shows the window in front.
    void show();
    // The window, once show() has made it.
    QWidget* window() const;

private:
    SettingsContext context_;
    std::unique_ptr<QWidget> window_;
};

} // namespace pellora
