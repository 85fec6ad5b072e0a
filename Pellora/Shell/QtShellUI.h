#pragma once

#include "Pellora/Shell/AppServices.h"
#include "Pellora/Shell/ShellUI.h"

namespace pellora {

class QtStatusBar;

// The shell's modal pieces on Qt: message boxes, the route chooser, the donation and consent
// windows, the system beep, and the status item's opacity.
class QtShellUI : public ShellUI {
public:
    QtShellUI(AppServices services, QtStatusBar& statusBar);

    void beep() override;
    void activateApplication() override;
    void showAlert(const std::string& message, const std::string& informativeText) override;
    int runAlert(const std::string& message, const std::string& informativeText,
                 const std::vector<std::string>& buttons) override;
    ChooserResult askForRoute(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt) override;
    void showDonateDialog() override;
    AnalyticsChoice askPrivacyChoice() override;
    void setStatusItemOpacity(double opacity) override;

private:
    AppServices services_;
    QtStatusBar& statusBar_;
};

} // namespace pellora
