#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/FakeCheckin.h"
#include "App/ScriptedShellUI.h"
#include "App/VirtualTime.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/DeviceID.h"
#include "Pellora/Shell/Log.h"

namespace pellora {
namespace {

using testing::FakeServer;
using Choice = testing::ScriptedShellUI::Choice;
using Event = CheckinRequest::Event;

// 2026-01-01 00:00:00 UTC, the virtual clock's wall time at 0, in seconds since 2001.
constexpr double startOfTest = 788918400.0;
constexpr double day = 86400.0;
const std::string garbled = "The data couldn't be read because it isn't in the correct format.";

UpdateInfo offer(std::string version, std::optional<std::string> notes = {}, std::optional<std::string> minimum = {}) {
    return {std::move(version), std::move(notes), "ab12", std::move(minimum), "https://example.com/Tovrin.dmg"};
}

struct UpdateManagerTest : ::testing::Test {
    VirtualClock clock;
    testing::ScriptedShellUI ui;
    testing::FakeInstaller installer;
    FakeServer server{clock};
    ConfigStore store;
    std::optional<Bundle> bundle = Bundle{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.2.0"};
    std::unique_ptr<UpdateManager> manager;

    UpdateManager& make(std::optional<double> lastCheck) {
        testing::configure(store, [&](Config& config) { config.lastUpdateCheck = lastCheck; });
        UpdateManager::Services services{clock, ui, installer, bundle};
        services.systemVersion = "14.5.0";
        services.send = server.sender();
        manager = std::make_unique<UpdateManager>(store, std::move(services));
        installer.manager = manager.get();
        return *manager;
    }
    std::vector<std::string> events() const {
        std::vector<std::string> raw;
        for (const auto& request : server.requests)
            raw.emplace_back(request.event.rawValue());
        return raw;
    }
};

TEST_F(UpdateManagerTest, TheStartCheckInWantsUpdatesOnlyWhenAWeekHasPassed) {
    const struct {
        std::optional<double> lastCheck;
        bool wanted;
        std::optional<double> lastCheckAfter;
        std::string status;
    } cases[] = {
        {std::nullopt, true, startOfTest, "You're up to date (version 1.2.0)."},
        {startOfTest - 7 * day, true, startOfTest, "You're up to date (version 1.2.0)."},
        {startOfTest - 6 * day, false, startOfTest - 6 * day, ""}, // the offer below is ignored
        {startOfTest + 365 * day, true, startOfTest, "You're up to date (version 1.2.0)."}, // clock was wrong
    };
    for (const auto& c : cases) {
        server.requests.clear();
        server.replies = {c.wanted ? FakeServer::Reply{} : FakeServer::offering(offer("9.0"))};
        make(c.lastCheck).start();
        ASSERT_EQ(server.requests.size(), 1u);
        EXPECT_EQ(server.requests[0], (CheckinRequest{DeviceID::current(), Event::open, std::nullopt, false, c.wanted,
                                                      "1.2.0", "14.5.0", server.requests[0].osLanguage}));
        EXPECT_EQ(store.config().lastUpdateCheck, c.lastCheckAfter);
        EXPECT_EQ(manager->status(), c.status);
        EXPECT_FALSE(manager->busy());
        EXPECT_TRUE(ui.choices.empty());
    }
}

TEST_F(UpdateManagerTest, TheLoopLooksEverySixHoursAndChecksOnceAWeekHasPassed) {
    make(startOfTest - 6 * day).start();
    clock.advanceBy(Clock::Duration(9 * day));
    EXPECT_EQ(events(), (std::vector<std::string>{"open", "update_check", "update_check"}));
    EXPECT_EQ(server.sentAt, (std::vector<double>{0, day, 8 * day}));
    EXPECT_EQ(store.config().lastUpdateCheck, startOfTest + 8 * day);
}

TEST_F(UpdateManagerTest, WithoutABundleIdentifierOnlyAManualCheckGoesOut) {
    for (const auto& identifier : {std::optional<std::string>(), std::optional<std::string>("")}) {
        server.requests.clear();
        bundle->identifier = identifier;
        auto& manager = make(std::nullopt);
        manager.start();
        manager.syncConsent();
        testing::runInVirtualTime(clock, manager.erase());
        EXPECT_FALSE(clock.hasPending());
        manager.checkNow();
        EXPECT_EQ(events(), std::vector<std::string>{"update_check"});
    }
}

TEST_F(UpdateManagerTest, RunsArrivingWhileOneIsBusyAreDroppedSilently) {
    server.replies = {FakeServer::after(5)};
    auto& manager = make(startOfTest - day);
    std::vector<bool> busy;
    QObject::connect(&manager, &UpdateManager::busyChanged, [&](bool value) { busy.push_back(value); });
    manager.checkNow();
    clock.advanceBy(Clock::Duration(1));
    manager.checkNow();
    manager.syncConsent();
    clock.advanceBy(Clock::Duration(10));
    EXPECT_EQ(events(), std::vector<std::string>{"update_check"});
    EXPECT_TRUE(server.requests[0].wantsUpdate); // manual, although not due
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(ui.choices, (std::vector<Choice>{{"You're up to date", "Tovrin 1.2.0 is the latest version.", {"OK"}}}));
}

TEST_F(UpdateManagerTest, EachOutcomeSetsItsStatusAndOnlyManualRunsAlert) {
    const auto error500 = FakeServer::failing(std::make_exception_ptr(CheckinClient::ServerError(500)));
    const std::string failed = "Couldn't check for updates: The server answered with status 500.";
    const Choice failedAlert{"Couldn't check for updates", "The server answered with status 500.", {"OK"}};
    const Choice garbledAlert{"Couldn't check for updates", garbled, {"OK"}};
    enum Run { manual, start, startNotDue, consent };
    const struct {
        Run run;
        FakeServer::Reply reply;
        std::string status;
        std::vector<Choice> alerts;
        bool logged = false;
        bool checked = false;
    } cases[] = {
        {manual, error500, failed, {failedAlert}, true},
        {start, error500, failed, {}, true},
        {startNotDue, error500, "", {}, true},
        {consent, error500, "", {}, true},
        {manual, FakeServer::offering(offer("2.0", "x", "15.0")), "Version 2.0 needs macOS 15.0.",
         {{"Update not available", "Version 2.0 needs macOS 15.0.", {"OK"}}}, false, true},
        {start, FakeServer::offering(offer("2.0", "x", "15.0")), "Version 2.0 needs macOS 15.0.", {}, false, true},
        {manual, {}, "You're up to date (version 1.2.0).",
         {{"You're up to date", "Tovrin 1.2.0 is the latest version.", {"OK"}}}, false, true},
        {start, {}, "You're up to date (version 1.2.0).", {}, false, true},
        {consent, FakeServer::offering(offer("2.0")), "", {}},
        // Offers that make no sense are answers in the wrong format.
        {manual, FakeServer::offering(offer("")), "Couldn't check for updates: " + garbled, {garbledAlert}, true},
        {manual, FakeServer::offering(offer("v2.0")), "Couldn't check for updates: " + garbled, {garbledAlert}, true},
        {manual, FakeServer::offering(offer("2.0\nInstall now")), "Couldn't check for updates: " + garbled, {garbledAlert}, true},
        {start, FakeServer::offering(offer("2.0", {}, "fifteen")), "Couldn't check for updates: " + garbled, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        ui.choices.clear();
        std::filesystem::remove(Log::file());
        server.replies = {c.reply};
        const auto lastCheck = c.run == start ? std::nullopt : std::optional(startOfTest - day);
        auto& manager = make(lastCheck);
        c.run == manual ? manager.checkNow() : c.run == consent ? manager.syncConsent() : manager.start();
        EXPECT_EQ(manager.status(), c.status);
        EXPECT_EQ(ui.choices, c.alerts);
        EXPECT_FALSE(manager.busy());
        EXPECT_EQ(store.config().lastUpdateCheck, c.checked ? std::optional(startOfTest) : lastCheck);
        const auto log = testing::logMessages();
        EXPECT_EQ(!log.empty() && log[0].starts_with("check-in failed: "), c.logged);
        EXPECT_TRUE(installer.installs.empty());
    }
}

TEST_F(UpdateManagerTest, AnOfferIsConfirmedWithItsNotesTrimmedAndCutAndInstalledWhenAccepted) {
    std::string longNotes, first800;
    for (int i = 0; i < 100000; ++i)
        longNotes += i < 800 ? "e\u0301" : "a"; // e with a combining accent: one character
    for (int i = 0; i < 800; ++i)
        first800 += "e\u0301";
    const std::pair<UpdateInfo, std::string> cases[] = {
        {offer("2.0"), "You have version 1.2.0."},
        {offer("2.0", " \n\t\u3000\u2028"), "You have version 1.2.0."},
        {offer("2.0", "\n  Faster sends.\n- Fixes.  \n"), "You have version 1.2.0.\n\nFaster sends.\n- Fixes."},
        {offer("2.0", longNotes), "You have version 1.2.0.\n\n" + first800},
        {offer("2.0", {}, ""), "You have version 1.2.0."},
        {offer("2.0", {}, "14.5"), "You have version 1.2.0."},
    };
    for (const auto& [update, text] : cases) {
        ui.choices.clear();
        server.replies = {FakeServer::offering(update)};
        make(std::nullopt).checkNow(); // closed without a choice: declined
        EXPECT_EQ(ui.choices, (std::vector<Choice>{{"Tovrin 2.0 is available", text, {"Update and Restart", "Not Now"}}}));
        EXPECT_EQ(manager->status(), "Version 2.0 is available.");
        EXPECT_TRUE(installer.installs.empty());
    }
    installer.failure = "Update failed: The checksum doesn't match.";
    server.replies = {FakeServer::offering(offer("2.0"))};
    ui.choiceAnswers = {0};
    make(std::nullopt).start(); // automatic checks ask at once, too
    ASSERT_EQ(installer.installs.size(), 1u);
    EXPECT_EQ(installer.installs[0], std::pair(offer("2.0"), true)); // busy throughout
    EXPECT_EQ(manager->status(), "Update failed: The checksum doesn't match.");
    EXPECT_FALSE(manager->busy());
}

TEST_F(UpdateManagerTest, ConsentChangesAndErasing) {
    auto& manager = make(std::nullopt);
    for (const auto choice : {AnalyticsChoice::shared, AnalyticsChoice::notShared, AnalyticsChoice::unset}) {
        testing::configure(store, [&](Config& config) { config.analyticsChoice = choice; });
        manager.syncConsent();
    }
    const std::string id = DeviceID::current();
    server.replies = {FakeServer::failing(std::make_exception_ptr(CheckinClient::TransportError("Connection refused")))};
    testing::runInVirtualTime(clock, manager.erase());
    EXPECT_EQ(manager.status(), "Couldn't erase your data: Connection refused");
    EXPECT_EQ(ui.choices, (std::vector<Choice>{{"Couldn't erase your data", "Connection refused", {"OK"}}}));
    EXPECT_EQ(DeviceID::current(), id);

    server.replies = {FakeServer::after(30), {}}; // erasing neither waits for nor stops a running check
    manager.checkNow();
    testing::runInVirtualTime(clock, manager.erase());
    EXPECT_TRUE(manager.busy());
    EXPECT_EQ(manager.status(), "Your data was erased from the server.");
    EXPECT_NE(DeviceID::current(), id);
    std::vector<std::tuple<std::string, std::optional<std::string>, bool, bool>> sent;
    for (const auto& request : server.requests)
        sent.emplace_back(request.event.rawValue(), request.action, request.analytics, request.deviceId == id);
    EXPECT_EQ(sent, (decltype(sent){{"consent_change", {}, true, true}, {"consent_change", {}, false, true},
                                    {"consent_change", {}, false, true}, {"consent_change", "erase", false, true},
                                    {"update_check", {}, false, true}, {"consent_change", "erase", false, true}}));
    clock.runUntilIdle(10);
}

TEST_F(UpdateManagerTest, GoingAwayEndsTheLoopAndTheRequestInFlight) {
    server.replies = {FakeServer::after(60)};
    make(std::nullopt).start();
    EXPECT_TRUE(manager->busy());
    manager.reset();
    EXPECT_FALSE(clock.hasPending());
}

} // namespace
} // namespace pellora
