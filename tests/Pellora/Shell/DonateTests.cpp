#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "App/ScriptedShellUI.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Shell/Donate.h"

namespace pellora {
namespace {

TEST(Donate, OpensTheLinkOnlyOnTheFirstButton) {
    const std::string text =
        "If you like the app: it's free for now, but to keep it free I'd appreciate your donation. "
        "Thank you very much!\n\nFollow this link to send me money on Revolut:\n"
        "https://revolut.me/tovrin\n\nThe link opens in your browser. The app sends nothing to Revolut.";
    struct Case {
        int answer;
        std::vector<std::string> opened;
    };
    for (const Case& c : {Case{0, {"https://revolut.me/tovrin"}}, Case{1, {}}, Case{-1, {}}}) {
        SCOPED_TRACE(c.answer);
        VirtualClock clock;
        MemoryPasteboard pasteboard;
        SimDesktop desktop(clock, pasteboard);
        pellora::testing::ScriptedShellUI ui;
        ui.choiceAnswers = {c.answer};
        Donate::showDialog(ui, desktop);
        ASSERT_EQ(ui.choices.size(), 1u);
        EXPECT_EQ(ui.choices[0].message, "Enjoying the app?");
        EXPECT_EQ(ui.choices[0].informativeText, text);
        EXPECT_EQ(ui.choices[0].buttons, (std::vector<std::string>{"Donate on Revolut", "Not Now"}));
        EXPECT_EQ(ui.activations, 1);
        EXPECT_EQ(desktop.openedURLs(), c.opened);
    }
}

} // namespace
} // namespace pellora
