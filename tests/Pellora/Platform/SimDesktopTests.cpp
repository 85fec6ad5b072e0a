#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Pellora/Platform/QtPasteboard.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimElement.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "App/VirtualTime.h"

namespace pellora {
namespace {

using Seconds = Clock::Duration;
using testing::runInVirtualTime;

// Records what the desktop tells it, with the virtual time.
class RecordingApp : public SimApplication {
public:
    explicit RecordingApp(std::string bundleIdentifier, double activation = 0)
        : bundleIdentifier_(std::move(bundleIdentifier)), activation_(activation) {}
    std::string bundleIdentifier() const override { return bundleIdentifier_; }
    Clock::Duration activationDelay() const override { return Seconds(activation_); }
    void didLaunch() override { note("launch"); }
    void didQuit() override { note("quit"); }
    void didBecomeFrontmost() override { note("front"); }
    void didResignFrontmost() override { note("back"); }
    void openURLs(const std::vector<std::string>& urls) override { note("urls " + urls.front()); }
    void keyStroke(std::uint16_t keyCode, std::uint64_t flags) override { note("key " + std::to_string(keyCode)); }
    std::shared_ptr<SimElement> accessibilityRoot() override { return root; }
    std::optional<ScriptRunner::Outcome> runScript(const std::string& source) override {
        if (source != "ping")
            return std::nullopt;
        return ScriptRunner::Outcome{ScriptRunner::Descriptor::text("pong"), std::nullopt};
    }

    std::vector<std::string> events;
    std::shared_ptr<SimElement> root = SimElement::make("AXApplication");

private:
    void note(const std::string& event) {
        events.push_back(event + " @" + std::to_string(desktop()->clock().now().count()).substr(0, 3));
    }
    std::string bundleIdentifier_;
    double activation_;
};

struct Desktop : ::testing::Test {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<RecordingApp> claude = std::make_shared<RecordingApp>("com.anthropic.claudefordesktop", 0.5);
    std::shared_ptr<RecordingApp> other = std::make_shared<RecordingApp>("org.example.other");

    void SetUp() override {
        desktop.install(claude);
        desktop.install(other, "/Applications/Other.app");
    }
};

TEST_F(Desktop, OpeningLaunchesAnswersLaterAndComesToTheFrontAfterTheActivationDelay) {
    desktop.launch("org.example.other");
    desktop.setFrontmost("org.example.other");
    const auto location = desktop.applicationLocation("com.anthropic.claudefordesktop");
    ASSERT_EQ(location, std::filesystem::path("/Applications/com.anthropic.claudefordesktop.app"));

    auto opening = desktop.openURLs({"claude://claude.ai/new"}, *location);
    EXPECT_FALSE(desktop.isRunning("com.anthropic.claudefordesktop")); // answers later
    runInVirtualTime(clock, std::move(opening));

    const auto running = desktop.runningApplications("com.anthropic.claudefordesktop");
    ASSERT_EQ(running.size(), 1u);
    EXPECT_GT(running[0].processIdentifier, 0);
    EXPECT_EQ(desktop.frontmostApplication(), "org.example.other");
    clock.runUntilIdle();
    EXPECT_EQ(desktop.frontmostApplication(), "com.anthropic.claudefordesktop");
    EXPECT_EQ(claude->events, (std::vector<std::string>{"launch @0.0", "urls claude://claude.ai/new @0.0", "front @0.5"}));
    EXPECT_EQ(other->events.back(), "back @0.5");
    EXPECT_EQ(desktop.openedURLs(), (std::vector<std::string>{"claude://claude.ai/new"}));
}

TEST_F(Desktop, OpenFailsForAMissingApplicationOrWhenToldTo) {
    try {
        runInVirtualTime(clock, desktop.openApplication("/Applications/Nothing.app"));
        FAIL() << "expected Workspace::Error";
    } catch (const Workspace::Error& error) {
        EXPECT_EQ(error.description(), "The application “Nothing.app” can’t be opened because it can’t be found.");
    }
    desktop.setOpenFailure("org.example.other", "The application is damaged.");
    try {
        runInVirtualTime(clock, desktop.openApplication("/Applications/Other.app"));
        FAIL() << "expected Workspace::Error";
    } catch (const Workspace::Error& error) {
        EXPECT_EQ(error.description(), "The application is damaged.");
    }
    EXPECT_FALSE(desktop.isRunning("org.example.other"));
    desktop.setOpenFailure("org.example.other", std::nullopt);
    runInVirtualTime(clock, desktop.openApplication("/Applications/Other.app"));
    EXPECT_EQ(desktop.frontmostApplication(), "org.example.other");
}

TEST_F(Desktop, KeyStrokesReachTheFrontApplicationOnlyWhenTrusted) {
    desktop.postKeyStroke(KeyEvents::keyV, KeyEvents::command); // nobody in front
    desktop.launch("org.example.other");
    desktop.setFrontmost("org.example.other");
    clock.advanceBy(Seconds(2));
    desktop.postKeyStroke(KeyEvents::keyV, KeyEvents::command);
    desktop.setTrusted(false);
    desktop.postKeyStroke(KeyEvents::keyReturn, 0);

    const std::vector<SimDesktop::KeyStroke> expected{
        {9, 0x100000, Seconds(0), ""},
        {9, 0x100000, Seconds(2), "org.example.other"},
        {36, 0, Seconds(2), ""},
    };
    EXPECT_EQ(desktop.keyStrokes(), expected);
    EXPECT_EQ(other->events.back(), "key 9 @2.0");
}

TEST_F(Desktop, HeldModifiersAreReleasedOnTheClock) {
    desktop.holdModifiers(KeyEvents::option | KeyEvents::command, Seconds(0.25));
    EXPECT_EQ(desktop.modifierFlags(), 0x180000u);
    clock.runUntilIdle();
    EXPECT_EQ(desktop.modifierFlags(), 0u);
    EXPECT_EQ(clock.now(), Seconds(0.25));
}

TEST_F(Desktop, AccessibilityResolvesTheRunningApplicationsTree) {
    auto window = SimElement::make("AXWindow");
    window->setAttribute("AXTitle", std::string("Claude"));
    window->setActionHandler("AXRaise", [] { return true; });
    claude->root->addChild(window);

    EXPECT_FALSE(desktop.applicationElement(1)); // nothing with that id
    desktop.launch("com.anthropic.claudefordesktop");
    const auto pid = desktop.runningApplications("com.anthropic.claudefordesktop").at(0).processIdentifier;
    const auto root = desktop.applicationElement(pid);
    ASSERT_TRUE(root);

    const auto children = desktop.attribute(root, "AXChildren");
    ASSERT_TRUE(children);
    const auto& elements = std::get<std::vector<Accessibility::Element>>(*children);
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements[0], window->handle());
    EXPECT_EQ(desktop.attribute(elements[0], "AXTitle"), Accessibility::Value(std::string("Claude")));
    EXPECT_EQ(desktop.attribute(elements[0], "AXRole"), Accessibility::Value(std::string("AXWindow")));
    EXPECT_FALSE(desktop.attribute(elements[0], "AXValue"));
    EXPECT_TRUE(desktop.performAction(elements[0], "AXRaise"));
    EXPECT_FALSE(desktop.performAction(elements[0], "AXPress"));
    EXPECT_TRUE(desktop.setAttribute(root, "AXManualAccessibility", true));
    EXPECT_EQ(claude->root->attribute("AXManualAccessibility"), Accessibility::Value(true));

    window->setWriteHook([](const std::string&, const Accessibility::Value&) { return false; });
    EXPECT_FALSE(desktop.setAttribute(elements[0], "AXTitle", std::string("Other")));
    EXPECT_FALSE(desktop.attribute(Accessibility::Element(), "AXRole"));
    EXPECT_FALSE(desktop.performAction(Accessibility::Element(), "AXPress"));

    desktop.setTrusted(false);
    EXPECT_FALSE(desktop.attribute(root, "AXChildren"));
    EXPECT_FALSE(desktop.isTrusted(true));
    EXPECT_FALSE(desktop.isTrusted(false));
    EXPECT_EQ(desktop.trustChecks(), 2);
    EXPECT_EQ(desktop.trustPrompts(), 1);
}

TEST_F(Desktop, ScriptsGoToRunningApplicationsOnly) {
    const auto notRunning = desktop.run("tell application \"Mail\"\nend tell");
    EXPECT_EQ(notRunning, (ScriptRunner::Outcome{std::nullopt, "Mail got an error: Application isn’t running."}));
    EXPECT_FALSE(desktop.run("ping").result);
    desktop.launch("org.example.other");
    EXPECT_EQ(desktop.run("ping").result, ScriptRunner::Descriptor::text("pong"));
}

TEST(MemoryPasteboard, EveryWriteReplacesTheContents) {
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
