#pragma once

#include <string>
#include <vector>

#include "Pellora/Shell/ChooserResult.h"
#include "PelloraCore/AnalyticsChoice.h"
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
    // A modal alert with these buttons, the first the default; returns the index of the one
    // chosen, or -1 when the alert ended without a choice.
    virtual int runAlert(const std::string& message, const std::string& informativeText,
                         const std::vector<std::string>& buttons) = 0;
    // The route chooser: asks where an email without a route goes. Modal.
    virtual ChooserResult askForRoute(const Router::RouteSuggestion& suggestion,
                                      const std::string& previewPrompt) = 0;
    // The donation dialog. Modal.
    virtual void showDonateDialog() = 0;
    // The first-run consent window. Modal; `notShared` when it ends without a choice.
    virtual AnalyticsChoice askPrivacyChoice() = 0;
    // The menu-bar icon's opacity.
    virtual void setStatusItemOpacity(double opacity) = 0;
};

} // namespace pellora
