#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "App/ActionShortcuts.h"
#include "App/StandInShell.h"
#include "Pellora/Platform/UnavailableHotKeys.h"
#include "Pellora/Shell/HotKeyCenter.h"

namespace pellora {
namespace {

// Counts the handlers the registry installs.
struct CountingHotKeys : pellora::testing::ScriptedHotKeys {
    std::function<void(std::uint32_t)> handler;
    int handlersInstalled = 0;
    void installHandler(std::function<void(std::uint32_t)> h) override {
        ++handlersInstalled;
        handler = std::move(h);
    }
};

TEST(HotKeyCenter, IdsAreUsedUpByFailuresAndPressesReachTheirHandler) {
    CountingHotKeys platform;
    platform.refusedKeys = {1};
    auto center = std::make_unique<HotKeyCenter>(platform);
    std::vector<std::string> pressed;

    EXPECT_TRUE(center->registerHotKey(15, 0x900, [&] { pressed.push_back("R"); }));
    EXPECT_FALSE(center->registerHotKey(1, 0x900, [&] { pressed.push_back("S"); }));
    EXPECT_TRUE(center->registerHotKey(2, 0x900, [&] { pressed.push_back("D"); }));
    EXPECT_EQ(platform.ids, (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(platform.handlersInstalled, 1);

    for (std::uint32_t id : {3, 2 /* refused */, 99, 1})
        platform.handler(id);
    EXPECT_EQ(pressed, (std::vector<std::string>{"D", "R"}));

    center.reset();
    platform.handler(1); // the registry is gone: nothing happens
    EXPECT_EQ(pressed.size(), 2u);
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
