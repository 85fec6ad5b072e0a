#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/ScriptedShellUI.h"
#include "Pellora/Shell/Donate.h"

namespace pellora {
namespace {

TEST(Donate, OpensTheLinkOnlyOnTheFirstButton) {
    const testing::ScriptedShellUI::Choice dialog{
        "Enjoying the app?",
        "If you like the app: it's free for now, but to keep it free I'd appreciate your donation. Thank you very "
        "much!\n\nFollow this link to send me money on Revolut:\nhttps://revolut.me/tovrin\n\nThe link opens in "
        "your browser. The app sends nothing to Revolut.",
        {"Donate on Revolut", "Not Now"}};
    for (const auto& [answer, opened] : {std::pair(0, std::vector<std::string>{"https://revolut.me/tovrin"}),
                                         std::pair(1, std::vector<std::string>{}), std::pair(-1, std::vector<std::string>{})}) {
        SCOPED_TRACE(answer);
        testing::Desk desk;
        testing::ScriptedShellUI ui;
        ui.choiceAnswers = {answer};
        Donate::showDialog(ui, desk.desktop);
        EXPECT_EQ(ui.choices, std::vector{dialog});
        EXPECT_EQ(ui.activations, 1);
        EXPECT_EQ(desk.desktop.openedURLs(), opened);
    }
}

} // namespace
} // namespace pellora
