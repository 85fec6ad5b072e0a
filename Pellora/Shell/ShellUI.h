#pragma once

#include <string>

#include "Pellora/Shell/ChooserResult.h"
#include "PelloraCore/Router.h"

namespace pellora {

// The modal and visual pieces the send flow needs from the user interface. The Qt interface
// implements them; tests answer them from a script.
class ShellUI {
public:
    virtual ~ShellUI() = default;

    virtual void beep() = 0;
    // Brings this application to the front, ignoring other applications.
    virtual void activateApplication() = 0;
    // A modal alert; returns when it is closed.
    virtual void showAlert(const std::string& message, const std::string& informativeText) = 0;
    // The route chooser: asks where an email without a route goes. Modal.
    virtual ChooserResult askForRoute(const Router::RouteSuggestion& suggestion,
                                      const std::string& previewPrompt) = 0;
    // The donation dialog. Modal.
    virtual void showDonateDialog() = 0;
    // The menu-bar icon's opacity.
    virtual void setStatusItemOpacity(double opacity) = 0;
};

} // namespace pellora
