#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "App/ScriptedShellUI.h"
#include "Pellora/Platform/HotKeys.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Shell/Donate.h"
#include "Pellora/Shell/HotKeyCenter.h"

namespace pellora {
namespace {

// A platform whose refusals are chosen by the test.
struct StandInHotKeys : HotKeys {
    std::function<void(std::uint32_t)> handler;
    int handlersInstalled = 0;
    std::set<int> refusedKeys;
    std::vector<std::uint32_t> ids;

    void installHandler(std::function<void(std::uint32_t)> h) override {
        ++handlersInstalled;
        handler = std::move(h);
    }
    bool registerHotKey(int keyCode, int modifiers, std::uint32_t id) override {
        ids.push_back(id);
        return modifiers == 0x900 && !refusedKeys.count(keyCode);
    }
};

TEST(HotKeyCenter, IdsAreUsedUpByFailuresAndPressesReachTheirHandler) {
    StandInHotKeys platform;
    platform.refusedKeys = {1};
    HotKeyCenter center(platform);
    std::vector<std::string> pressed;

    EXPECT_TRUE(center.registerHotKey(15, 0x900, [&] { pressed.push_back("R"); }));
    EXPECT_FALSE(center.registerHotKey(1, 0x900, [&] { pressed.push_back("S"); }));
    EXPECT_TRUE(center.registerHotKey(2, 0x900, [&] { pressed.push_back("D"); }));
    EXPECT_EQ(platform.ids, (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(center.nextID(), 4u);
    EXPECT_EQ(platform.handlersInstalled, 1);

    platform.handler(3);
    platform.handler(2); // refused: nobody answers
    platform.handler(99);
    platform.handler(1);
    EXPECT_EQ(pressed, (std::vector<std::string>{"D", "R"}));
}

TEST(HotKeyCenter, ActionKeysAreTheUSLayoutKeyCodes) {
    const std::vector<int> expected{15, 1, 2, 18, 19, 8};
    std::vector<int> codes;
    for (Action action : Action::allCases())
        codes.push_back(HotKeyCenter::keyCode(action));
    EXPECT_EQ(codes, expected);
}

TEST(HotKeyCenter, UnavailableTextListsTheShortcutsInTheSingular) {
    EXPECT_EQ(HotKeyCenter::unavailableText({"⌥⌘S", "⌥⌘C"}), "⌥⌘S, ⌥⌘C is already used by another app.");
    EXPECT_EQ(HotKeyCenter::unavailableText({"⌥⌘R"}), "⌥⌘R is already used by another app.");
}

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
