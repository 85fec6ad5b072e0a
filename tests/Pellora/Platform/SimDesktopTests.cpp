// The desktop stand-in where the product tests lean on it without checking, and the pasteboards.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Pellora/Platform/QtPasteboard.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/VirtualClock.h"

namespace pellora {
namespace {

using Seconds = Clock::Duration;

class KeyedApp : public SimApplication {
public:
    explicit KeyedApp(std::string bundleIdentifier) : bundleIdentifier_(std::move(bundleIdentifier)) {}
    std::string bundleIdentifier() const override { return bundleIdentifier_; }
    void keyStroke(std::uint16_t keyCode, std::uint64_t flags) override { keys.push_back(keyCode); }

    std::vector<std::uint16_t> keys;

private:
    std::string bundleIdentifier_;
};

TEST(SimDesktop, KeysReachOnlyTheFrontApplicationAndOnlyWithTrust) {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    auto front = std::make_shared<KeyedApp>("org.example.front");
    auto back = std::make_shared<KeyedApp>("org.example.back");
    desktop.install(front);
    desktop.install(back);
    desktop.postKeyStroke(KeyEvents::keyV, KeyEvents::command); // nobody in front
    desktop.launch("org.example.back");
    desktop.launch("org.example.front");
    desktop.setFrontmost("org.example.front");
    clock.advanceBy(Seconds(2));
    desktop.postKeyStroke(KeyEvents::keyV, KeyEvents::command);
    desktop.setTrusted(false);
    desktop.postKeyStroke(KeyEvents::keyReturn, 0);

    const std::vector<SimDesktop::KeyStroke> expected{
        {9, 0x100000, Seconds(0), ""}, {9, 0x100000, Seconds(2), "org.example.front"}, {36, 0, Seconds(2), ""}};
    EXPECT_EQ(desktop.keyStrokes(), expected);
    EXPECT_EQ(front->keys, std::vector<std::uint16_t>{9});
    EXPECT_TRUE(back->keys.empty());
}

TEST(MemoryPasteboard, EveryWriteReplacesTheContentsAndCountsAsAChange) {
    MemoryPasteboard pasteboard;
    pasteboard.setString("Grüße");
    EXPECT_EQ(pasteboard.items(), (std::vector<Pasteboard::Item>{{{"text/plain;charset=utf-8", "Grüße"}}}));
    pasteboard.writeFileURL("/tmp/Pellora-1/1-a b.pdf");
    EXPECT_EQ(pasteboard.items(), (std::vector<Pasteboard::Item>{{{"text/uri-list", "file:///tmp/Pellora-1/1-a%20b.pdf\r\n"}}}));
    pasteboard.clear();
    EXPECT_TRUE(pasteboard.items().empty());
    EXPECT_EQ(pasteboard.changeCount(), 3);
}

TEST(QtPasteboard, RoundTripsTextFilesAndSnapshots) {
    QtPasteboard pasteboard;
    pasteboard.setString("Grüße");
    auto items = pasteboard.items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].at("text/plain;charset=utf-8"), "Grüße");
    EXPECT_EQ(items[0].at("text/plain"), "Grüße");

    pasteboard.writeFileURL("/tmp/Pellora-1/1-a b.pdf");
    EXPECT_EQ(pasteboard.items().at(0).at("text/uri-list"), "file:///tmp/Pellora-1/1-a%20b.pdf\r\n");

    pasteboard.writeItems({{{"text/html", "<b>x</b>"}}, {{"text/html", "later"}, {"application/x-a", "A"}}});
    items = pasteboard.items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].at("text/html"), "<b>x</b>");
    EXPECT_EQ(items[0].at("application/x-a"), "A");

    pasteboard.clear();
    EXPECT_TRUE(pasteboard.items().empty());
}

} // namespace
} // namespace pellora
