#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "App/FakeCheckin.h"
#include "App/LoopbackServer.h"
#include "App/ScriptedShellUI.h"
#include "App/VirtualTime.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/DeviceID.h"
#include "Pellora/Shell/Log.h"
#include "Pellora/Updates/CheckinClient.h"
#include "Pellora/Updates/InstallPipeline.h"
#include "Pellora/Updates/UpdateManager.h"

namespace pellora {
namespace {

using testing::FakeInstaller;
using testing::FakeServer;
using testing::ScriptedShellUI;
using Choice = ScriptedShellUI::Choice;
using Event = CheckinRequest::Event;

// 2026-01-01 00:00:00 UTC, the virtual clock's wall time at 0, in seconds since 2001.
constexpr double startOfTest = 788918400.0;
constexpr double day = 86400.0;

const std::string decodingFailure = "The data couldn't be read because it isn't in the correct format.";

UpdateInfo update(std::string version, std::optional<std::string> notes = std::nullopt,
                  std::optional<std::string> minimum = std::nullopt) {
    return {std::move(version), std::move(notes), "ab12", std::move(minimum), "https://example.com/Tovrin.dmg"};
}

std::vector<std::string> logLines() {
    std::ifstream input(Log::file());
    std::vector<std::string> lines;
    for (std::string line; std::getline(input, line);)
        lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
}

struct UpdateManagerTest : ::testing::Test {
    VirtualClock clock;
    ScriptedShellUI ui;
    FakeInstaller installer;
    FakeServer server{clock};
    ConfigStore store;
    std::optional<Bundle> bundle = Bundle{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.2.0"};
    std::unique_ptr<UpdateManager> manager;
    std::vector<bool> busyChanges;

    UpdateManager& make() {
        UpdateManager::Services services{clock, ui, installer, bundle};
        services.systemVersion = "14.5.0";
        services.send = server.sender();
        manager = std::make_unique<UpdateManager>(store, std::move(services));
        installer.manager = manager.get();
        QObject::connect(manager.get(), &UpdateManager::busyChanged, [this](bool busy) { busyChanges.push_back(busy); });
        return *manager;
    }

    void setLastCheck(std::optional<double> when) {
        Config config = store.config();
        config.lastUpdateCheck = when;
        store.setConfig(config);
    }

    std::vector<std::string> events() const {
        std::vector<std::string> raw;
        for (const auto& request : server.requests)
            raw.emplace_back(request.event.rawValue());
        return raw;
    }
};

TEST_F(UpdateManagerTest, TheStartCheckInAsksForUpdatesOnlyWhenAWeekHasPassed) {
    struct Case {
        const char* what;
        std::optional<double> lastCheck;
        bool wantsUpdate;
        std::optional<double> lastCheckAfter;
        std::string status;
    };
    const Case cases[] = {
        {"never checked", std::nullopt, true, startOfTest, "You're up to date (version 1.2.0)."},
        {"checked exactly a week ago", startOfTest - 7 * day, true, startOfTest, "You're up to date (version 1.2.0)."},
        {"checked six days ago", startOfTest - 6 * day, false, startOfTest - 6 * day, ""},
        {"checked a year from now", startOfTest + 365 * day, true, startOfTest, "You're up to date (version 1.2.0)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.requests.clear();
        setLastCheck(c.lastCheck);
        // Even an offer is not acted on when the start check-in did not ask for one.
        if (!c.wantsUpdate)
            server.replies.push_back(FakeServer::offering(update("9.0")));
        make().start();
        ASSERT_EQ(server.requests.size(), 1u);
        const auto& request = server.requests.front();
        EXPECT_EQ(request.event, Event::open);
        EXPECT_EQ(request.wantsUpdate, c.wantsUpdate);
        EXPECT_FALSE(request.action);
        EXPECT_EQ(request.appVersion, "1.2.0");
        EXPECT_EQ(request.macosVersion, "14.5.0");
        EXPECT_EQ(request.deviceId, DeviceID::current());
        EXPECT_EQ(store.config().lastUpdateCheck, c.lastCheckAfter);
        EXPECT_EQ(manager->status(), c.status);
        EXPECT_FALSE(manager->busy());
        EXPECT_TRUE(ui.choices.empty()); // automatic runs show no alert
    }
}

TEST_F(UpdateManagerTest, TheLoopLooksEverySixHoursAndChecksOnTheSeventhDay) {
    setLastCheck(startOfTest - 6 * day);
    make().start();
    clock.advanceBy(Clock::Duration(2 * day));
    EXPECT_EQ(events(), (std::vector<std::string>{"open", "update_check"}));
    EXPECT_EQ(server.sentAt, (std::vector<double>{0, 86400}));
    EXPECT_TRUE(server.requests[1].wantsUpdate);
    EXPECT_EQ(store.config().lastUpdateCheck, startOfTest + day);
    // The next check comes a week after that one, on the loop's six-hour beat.
    clock.advanceBy(Clock::Duration(7 * day));
    EXPECT_EQ(server.sentAt, (std::vector<double>{0, 86400, 691200}));
}

TEST_F(UpdateManagerTest, WithoutABundleIdentifierNothingStartsAndNothingIsSaidToTheServer) {
    bundle->identifier.reset();
    auto& manager = make();
    manager.start();
    manager.syncConsent();
    testing::runInVirtualTime(clock, manager.erase());
    EXPECT_TRUE(server.requests.empty());
    EXPECT_FALSE(clock.hasPending());
    // Asked for by hand, a check still goes out.
    manager.checkNow();
    EXPECT_EQ(events(), std::vector<std::string>{"update_check"});
}

TEST_F(UpdateManagerTest, RunsThatArriveWhileOneIsBusyAreDroppedSilently) {
    setLastCheck(startOfTest - day);
    server.replies.push_back(FakeServer::after(5.0));
    auto& manager = make();
    manager.checkNow();
    EXPECT_TRUE(manager.busy());
    clock.advanceBy(Clock::Duration(1));
    manager.checkNow();
    manager.syncConsent();
    clock.advanceBy(Clock::Duration(10));
    EXPECT_EQ(events(), std::vector<std::string>{"update_check"});
    EXPECT_TRUE(server.requests[0].wantsUpdate); // manual, although not due
    EXPECT_EQ(busyChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(ui.choices, (std::vector<Choice>{{"You're up to date", "Tovrin 1.2.0 is the latest version.", {"OK"}}}));
}

TEST_F(UpdateManagerTest, EveryOutcomeSetsItsStatusAndAlertsOnlyManualRuns) {
    const auto serverError = std::make_exception_ptr(CheckinClient::ServerError(500));
    const std::string failed = "Couldn't check for updates: The server answered with status 500.";
    const Choice failedAlert{"Couldn't check for updates", "The server answered with status 500.", {"OK"}};
    const Choice newerSystem{"Update not available", "Version 2.0 needs macOS 15.0.", {"OK"}};
    const Choice upToDate{"You're up to date", "Tovrin 1.2.0 is the latest version.", {"OK"}};
    enum class Run { manual, start, startNotDue, consent };
    struct Case {
        const char* what;
        Run run;
        FakeServer::Reply reply;
        std::string status;
        std::vector<Choice> alerts;
        bool logged;
        bool recordsCheck;
    };
    const Case cases[] = {
        {"manual, server error", Run::manual, FakeServer::failing(serverError), failed, {failedAlert}, true, false},
        {"start, server error", Run::start, FakeServer::failing(serverError), failed, {}, true, false},
        {"start not due, server error", Run::startNotDue, FakeServer::failing(serverError), "", {}, true, false},
        {"consent change, server error", Run::consent, FakeServer::failing(serverError), "", {}, true, false},
        {"manual, needs a newer system", Run::manual, FakeServer::offering(update("2.0", "x", "15.0")),
         "Version 2.0 needs macOS 15.0.", {newerSystem}, false, true},
        {"start, needs a newer system", Run::start, FakeServer::offering(update("2.0", "x", "15.0")),
         "Version 2.0 needs macOS 15.0.", {}, false, true},
        {"manual, up to date", Run::manual, {}, "You're up to date (version 1.2.0).", {upToDate}, false, true},
        {"start, up to date", Run::start, {}, "You're up to date (version 1.2.0).", {}, false, true},
        {"consent change ignores an offer", Run::consent, FakeServer::offering(update("2.0")), "", {}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.choices.clear();
        std::filesystem::remove(Log::file());
        setLastCheck(c.run == Run::start ? std::nullopt : std::optional(startOfTest - day));
        server.replies = {c.reply};
        auto& manager = make();
        switch (c.run) {
        case Run::manual: manager.checkNow(); break;
        case Run::start:
        case Run::startNotDue: manager.start(); break;
        case Run::consent: manager.syncConsent(); break;
        }
        EXPECT_EQ(manager.status(), c.status);
        EXPECT_EQ(ui.choices, c.alerts);
        EXPECT_FALSE(manager.busy());
        EXPECT_EQ(store.config().lastUpdateCheck,
                  c.recordsCheck ? std::optional(startOfTest) : c.run == Run::start ? std::nullopt : std::optional(startOfTest - day));
        EXPECT_EQ(logLines(), c.logged ? std::vector<std::string>{"check-in failed: The server answered with status 500."}
                                       : std::vector<std::string>{});
        EXPECT_TRUE(installer.installs.empty());
    }
}

TEST_F(UpdateManagerTest, AnOfferIsConfirmedWithItsNotesTrimmedAndCut) {
    std::string longNotes;
    for (int i = 0; i < 100000; ++i)
        longNotes += "e\u0301"; // one character, two code points
    std::string first800;
    for (int i = 0; i < 800; ++i)
        first800 += "e\u0301";
    struct Case {
        const char* what;
        UpdateInfo offer;
        std::string text;
    };
    const Case cases[] = {
        {"no notes", update("2.0"), "You have version 1.2.0."},
        {"notes of white space only", update("2.0", " \n\t\u3000\u2028"), "You have version 1.2.0."},
        {"notes trimmed", update("2.0", "\n  Faster sends.\n- Fixes.  \n"), "You have version 1.2.0.\n\nFaster sends.\n- Fixes."},
        {"100,000 characters of notes", update("2.0", longNotes), "You have version 1.2.0.\n\n" + first800},
        {"empty minimum system", update("2.0", std::nullopt, ""), "You have version 1.2.0."},
        {"minimum met exactly", update("2.0", std::nullopt, "14.5"), "You have version 1.2.0."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.choices.clear();
        server.replies = {FakeServer::offering(c.offer)};
        auto& manager = make();
        manager.checkNow();
        EXPECT_EQ(ui.choices, (std::vector<Choice>{{"Tovrin 2.0 is available", c.text, {"Update and Restart", "Not Now"}}}));
        // Closed without a choice: declined.
        EXPECT_EQ(manager.status(), "Version 2.0 is available.");
        EXPECT_TRUE(installer.installs.empty());
        EXPECT_EQ(store.config().lastUpdateCheck, startOfTest);
    }
}

TEST_F(UpdateManagerTest, AnAcceptedOfferInstallsWhileBusy) {
    installer.failure = "Update failed: The update's checksum doesn't match.";
    server.replies = {FakeServer::offering(update("2.0", "Notes"))};
    ui.choiceAnswers = {0};
    auto& manager = make();
    manager.start(); // an automatic check asks at once, too
    ASSERT_EQ(installer.installs.size(), 1u);
    EXPECT_EQ(installer.installs[0], update("2.0", "Notes"));
    EXPECT_EQ(installer.busyDuringInstall, std::vector<bool>{true});
    EXPECT_EQ(manager.status(), "Update failed: The update's checksum doesn't match.");
    EXPECT_FALSE(manager.busy());
    EXPECT_GE(ui.activations, 1);
}

TEST_F(UpdateManagerTest, OffersThatMakeNoSenseAreBadAnswersAndChangeNothing) {
    const std::string failed = "Couldn't check for updates: " + decodingFailure;
    const UpdateInfo offers[] = {
        update(""), update("banana"), update("v2.0"), update("2.0\nInstall now"),
        update(std::string(100000, '9')), update("2.0", std::nullopt, "fifteen"),
    };
    setLastCheck(startOfTest - 8 * day);
    for (const auto& offer : offers) {
        SCOPED_TRACE(offer.version);
        ui.choices.clear();
        server.replies = {FakeServer::offering(offer)};
        auto& manager = make();
        manager.checkNow();
        EXPECT_EQ(manager.status(), failed);
        EXPECT_EQ(ui.choices, (std::vector<Choice>{{"Couldn't check for updates", decodingFailure, {"OK"}}}));
        EXPECT_FALSE(manager.busy());
        EXPECT_EQ(store.config().lastUpdateCheck, startOfTest - 8 * day);
        EXPECT_TRUE(installer.installs.empty());
    }
}

TEST_F(UpdateManagerTest, ConsentChangesCarryTheStoredChoice) {
    const std::pair<AnalyticsChoice, bool> cases[] = {
        {AnalyticsChoice::shared, true}, {AnalyticsChoice::notShared, false}, {AnalyticsChoice::unset, false}};
    auto& manager = make();
    for (const auto& [choice, flag] : cases) {
        Config config = store.config();
        config.analyticsChoice = choice;
        store.setConfig(config);
        manager.syncConsent();
        EXPECT_EQ(server.requests.back().analytics, flag);
        EXPECT_EQ(server.requests.back().event, Event::consentChange);
        EXPECT_FALSE(server.requests.back().wantsUpdate);
    }
    EXPECT_EQ(manager.status(), "");
    EXPECT_FALSE(store.config().lastUpdateCheck);
}

TEST_F(UpdateManagerTest, EraseResetsTheDeviceIdentifierOnSuccessOnly) {
    auto& manager = make();
    const std::string before = DeviceID::current();
    server.replies = {FakeServer::failing(std::make_exception_ptr(CheckinClient::TransportError("Connection refused")))};
    testing::runInVirtualTime(clock, manager.erase());
    EXPECT_EQ(manager.status(), "Couldn't erase your data: Connection refused");
    EXPECT_EQ(ui.choices, (std::vector<Choice>{{"Couldn't erase your data", "Connection refused", {"OK"}}}));
    EXPECT_EQ(DeviceID::current(), before);

    // A check-in run in progress neither stops the erase nor is touched by it.
    server.replies = {FakeServer::after(30.0), {}};
    manager.checkNow();
    testing::runInVirtualTime(clock, manager.erase());
    EXPECT_TRUE(manager.busy());
    ASSERT_EQ(server.requests.size(), 3u);
    const auto& erase = server.requests[2];
    EXPECT_EQ(erase.event, Event::consentChange);
    EXPECT_EQ(erase.action, "erase");
    EXPECT_FALSE(erase.wantsUpdate);
    EXPECT_EQ(erase.deviceId, before);
    EXPECT_EQ(manager.status(), "Your data was erased from the server.");
    EXPECT_EQ(ui.choices.size(), 1u);
    EXPECT_NE(DeviceID::current(), before);
    clock.runUntilIdle(10);
}

TEST_F(UpdateManagerTest, GoingAwayEndsTheLoopAndRequestsInFlight) {
    server.replies = {FakeServer::after(60.0)};
    make().start();
    EXPECT_TRUE(manager->busy());
    manager.reset();
    EXPECT_FALSE(clock.hasPending());
    EXPECT_EQ(server.requests.size(), 1u);
}

TEST_F(UpdateManagerTest, BadAnswersFromARealServerEndInAClearMessageAndChangeNothing) {
    using Answer = testing::LoopbackServer::Answer;
    testing::LoopbackServer network;
    const std::string garbled = "Couldn't check for updates: " + decodingFailure;
    const struct {
        const char* what;
        Answer answer;
        std::string status;
        bool waitsOutTheClock;
    } cases[] = {
        {"empty", Answer::http(200, ""), garbled, false},
        {"not JSON", Answer::http(200, "Service temporarily unavailable", "text/plain"), garbled, false},
        {"JSON of the wrong shape", Answer::http(200, R"({"update":"2.0"})"), garbled, false},
        {"huge", Answer::http(200, std::string(2 * 1024 * 1024, ' ') + "{}"),
         "Couldn't check for updates: The server's answer was too large to read.", false},
        {"closed mid-body", Answer::cutShort(R"({"update":{"vers)", 300), "Couldn't check for updates: Connection closed", false},
        {"too slow", Answer::never(), "Couldn't check for updates: The request timed out.", true},
    };
    setLastCheck(startOfTest - 2 * day);
    const Config before = store.config();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.choices.clear();
        network.fallback = c.answer;
        const auto sent = network.requests().size();
        UpdateManager::Services services{clock, ui, installer, bundle};
        services.checkin.url = network.url();
        services.checkin.extraCertificates = testing::LoopbackServer::authority();
        UpdateManager manager(store, services);
        manager.checkNow();
        if (c.waitsOutTheClock) {
            ASSERT_TRUE(testing::waitUntil([&] { return network.requests().size() > sent; }));
            clock.advanceBy(Clock::Duration(20));
        }
        ASSERT_TRUE(testing::waitUntil([&] { return !manager.busy(); }));
        EXPECT_EQ(manager.status(), c.status);
        ASSERT_EQ(ui.choices.size(), 1u);
        EXPECT_EQ(ui.choices[0].message, "Couldn't check for updates");
        EXPECT_EQ("Couldn't check for updates: " + ui.choices[0].informativeText, c.status);
        EXPECT_EQ(store.config(), before);
    }
}

} // namespace
} // namespace pellora
