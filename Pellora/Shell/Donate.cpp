#include "Donate.h"

#include <vector>

#include "Pellora/Platform/Workspace.h"
#include "Pellora/Shell/ShellUI.h"

namespace pellora::Donate {

std::string url() { return PELLORA_DONATE_URL; }

std::string dialogText() {
    return "If you like the app: it's free for now, but to keep it free I'd appreciate your donation. "
           "Thank you very much!\n\nFollow this link to send me money on Revolut:\n" +
           url() + "\n\nThe link opens in your browser. The app sends nothing to Revolut.";
}

void showDialog(ShellUI& ui, Workspace& workspace) {
    const std::vector<std::string> buttons{"Donate on Revolut", "Not Now"};
    ui.activateApplication();
    if (ui.runAlert("Enjoying the app?", dialogText(), buttons) == 0)
        workspace.openURL(url());
}

} // namespace pellora::Donate
