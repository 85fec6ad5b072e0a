#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "App/ActionShortcuts.h"
#include "Pellora/Platform/HotKeys.h"
#include "Pellora/Platform/UnavailableHotKeys.h"
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

TEST(HotKeyCenter, APressAfterTheRegistryIsGoneDoesNothing) {
    StandInHotKeys platform;
    std::vector<std::string> pressed;
    {
        HotKeyCenter center(platform);
        ASSERT_TRUE(center.registerHotKey(15, 0x900, [&] { pressed.push_back("R"); }));
    }
    platform.handler(1);
    EXPECT_TRUE(pressed.empty());
}

TEST(HotKeyCenter, ActionKeysAreTheUSLayoutKeyCodes) {
    const std::vector<int> expected{15, 1, 2, 18, 19, 8};
    std::vector<int> codes;
    for (Action action : Action::allCases())
        codes.push_back(HotKeyCenter::keyCode(action));
    EXPECT_EQ(codes, expected);
}

TEST(HotKeyCenter, UnavailableTextListsTheShortcutsInTheSingular) {
    EXPECT_EQ(HotKeyCenter::unavailableText({"⌥⌘S", "⌥⌘C"}),
              "⌥⌘S, ⌥⌘C is already used by another app.");
    EXPECT_EQ(HotKeyCenter::unavailableText({"⌥⌘R"}), "⌥⌘R is already used by another app.");
}

TEST(HotKeyCenter, WithoutGlobalShortcutsEveryActionIsListed) {
    UnavailableHotKeys platform;
    HotKeyCenter center(platform);
    std::vector<std::string> pressed;
    const auto refused = pellora::testing::registerActionShortcuts(center, pressed);
    EXPECT_EQ(HotKeyCenter::unavailableText(refused),
              "⌥⌘R, ⌥⌘S, ⌥⌘D, ⌥⌘1, ⌥⌘2, ⌥⌘C is already used by another app.");
    EXPECT_EQ(center.nextID(), 7u);
}

} // namespace
} // namespace pellora
