#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QThreadPool>
#include <gtest/gtest.h>

#include "App/Eml.h"
#include "App/ScriptedShellUI.h"
#include "App/StandInShell.h"
#include "App/VirtualTime.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Updates/CheckinClient.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/MenuPanelModel.h"
#include "TestHome.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using pellora::testing::ScriptedShellUI;
using Alert = ScriptedShellUI::Alert;
using Step = AppDelegate::LaunchStep;

const std::map<Step, std::string> stepNames{
    {Step::createStore, "store"},
    {Step::createActivity, "activity"},
    {Step::createUpdates, "updates"},
    {Step::createStatusItem, "statusItem done"},
    {Step::setStatusItemButton, "button done"},
    {Step::setUpPanel, "panel done"},
    {Step::registerHotKeys, "hotKeys done"},
    {Step::sweepAttachmentFolders, "sweep"},
    {Step::scheduleFinish, "finish scheduled"},
    {Step::askPrivacyChoice, "consent done"},
    {Step::requestAccessibilityTrust, "trust done"},
    {Step::startUpdates, "updates started"},
};

// Writes the consent question and activations into the journal as they happen.
struct JournalingUI : ScriptedShellUI {
    std::vector<std::string>* journal = nullptr;
    void activateApplication() override {
        ScriptedShellUI::activateApplication();
        journal->push_back("activate");
    }
    AnalyticsChoice askPrivacyChoice() override {
        journal->push_back("consent");
        return ScriptedShellUI::askPrivacyChoice();
    }
};

struct Launch : ::testing::Test {
    std::vector<std::string> journal;
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();
    JournalingUI ui;
    pellora::testing::RecordingStatusBar statusBar;
    pellora::testing::ScriptedHotKeys hotKeys;
    pellora::testing::NoInstaller installer;
    std::optional<Bundle> bundle = Bundle{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.4.2"};
    std::vector<std::string> checkins;
    // Failed check-ins leave config.json alone.
    bool offline = false;
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override {
        ui.journal = &journal;
        statusBar.journal = &journal;
        hotKeys.journal = &journal;
        clock.setWallOrigin(sys_days{2026y / 12 / 5} + 6h + 19min + 3s);
        desktop.install(mail);
        desktop.launch(SimMail::identifier);
        mail->setAccountAddresses({"me@example.org"});
        desktop.install(std::make_shared<SimClaude>());
    }
    void TearDown() override {
        delegate.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    void launch() {
        delegate = std::make_unique<AppDelegate>(
            AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, ui,
            AppDelegate::Parts{statusBar, hotKeys, installer, bundle, recordCheckin()});
        QObject::connect(delegate.get(), &AppDelegate::launchStepDone,
                         [this](Step step) { journal.push_back(stepNames.at(step)); });
        delegate->applicationDidFinishLaunching();
    }
    void settle() { pellora::testing::settle(clock); }
    // Check-ins never leave the test: each is noted and answered with no update.
    UpdateManager::Sender recordCheckin() {
        return [this](CheckinRequest request, CancelToken) -> QCoro::Task<CheckinResponse> {
            checkins.push_back(std::string(request.event.rawValue()));
            if (offline)
                throw CheckinClient::TransportError("offline");
            co_return CheckinResponse{};
        };
    }
    static void writeConfig(const std::string& json) {
        fs::create_directories(UserFolders::pelloraSupport());
        std::ofstream(UserFolders::pelloraSupport() / "config.json") << json;
    }
    void select(const std::string& message) {
        const auto path = pellora::testing::testHome() / "selected.eml";
        std::ofstream(path, std::ios::binary) << message;
        mail->setSelection({path});
    }
};

TEST_F(Launch, StepsRunInOrderAndTheLastThreeOneTurnLater) {
    const fs::path leftover = UserFolders::temporary() / "Pellora-0D7E1B2C-7C57-4A43-9E8B-3F0A9D1C2B11";
    fs::create_directories(leftover);
    fs::last_write_time(leftover, fs::file_time_type::clock::now() - hours(2));
    desktop.setTrusted(false);

    launch();

    EXPECT_EQ(journal, (std::vector<std::string>{
                           "store", "activity", "updates", "statusItem", "statusItem done", "button", "button done",
                           "panel", "panel done", "hotKey 15", "hotKey 1", "hotKey 2", "hotKey 18", "hotKey 19",
                           "hotKey 8", "hotKeys done", "sweep", "finish scheduled"}));
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_EQ(statusBar.toolTip, "Tovrin");
    EXPECT_FALSE(statusBar.iconIsTemplate); // this bundle has no MenuBarIcon resource
    EXPECT_EQ(statusBar.panel, delegate->panel());
    EXPECT_TRUE(ui.alerts.empty());

    journal.clear();
    QCoreApplication::processEvents();
    EXPECT_EQ(journal, (std::vector<std::string>{"activate", "consent", "consent done", "trust done", "updates started"}));
    EXPECT_EQ(desktop.trustPrompts(), 1); // asked with the prompt option
    settle();
    EXPECT_EQ(checkins, (std::vector<std::string>{"open"})); // the update manager has started

    journal.clear();
    settle();
    EXPECT_TRUE(journal.empty()); // once per launch
}

TEST_F(Launch, ConsentIsAskedOnlyWhenUnsetAndRunningFromABundleWithAnIdentifier) {
    struct Case {
        const char* name;
        std::string config;
        std::optional<Bundle> bundle;
        AnalyticsChoice answer;
        bool asked;
        AnalyticsChoice stored;
        std::optional<double> date;
    };
    const Bundle tovrin{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.4.2"};
    const Bundle unnamed{"/Applications/Tovrin.app", std::nullopt, "1.4.2"};
    const std::vector<Case> cases{
        {"first launch, shared", "", tovrin, AnalyticsChoice::shared, true, AnalyticsChoice::shared, 818144343.0},
        {"closed without a choice", "", tovrin, AnalyticsChoice::notShared, true, AnalyticsChoice::notShared,
         818144343.0},
        {"already shared", R"({"analyticsChoice": "shared", "analyticsChoiceDate": 5})", tovrin,
         AnalyticsChoice::notShared, false, AnalyticsChoice::shared, 5.0},
        {"already declined", R"({"analyticsChoice": "notShared"})", tovrin, AnalyticsChoice::shared, false,
         AnalyticsChoice::notShared, std::nullopt},
        {"outside a bundle", "", std::nullopt, AnalyticsChoice::shared, false, AnalyticsChoice::unset, std::nullopt},
        {"bundle without identifier", "", unnamed, AnalyticsChoice::shared, false, AnalyticsChoice::unset,
         std::nullopt},
    };
    offline = true; // only consent is saved
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        fs::remove(UserFolders::pelloraSupport() / "config.json");
        if (!test.config.empty())
            writeConfig(test.config);
        ui.privacyQuestions = 0;
        ui.privacyAnswer = test.answer;
        bundle = test.bundle;
        launch();
        // The answer is saved, then its date in a second save.
        std::vector<std::pair<AnalyticsChoice, bool>> saves;
        QObject::connect(delegate->store(), &ConfigStore::configChanged, [&] {
            saves.emplace_back(delegate->store()->config().analyticsChoice,
                               delegate->store()->config().analyticsChoiceDate.has_value());
        });
        settle();

        EXPECT_EQ(ui.privacyQuestions, test.asked ? 1 : 0);
        const Config onDisk = Config::load(UserFolders::pelloraSupport() / "config.json");
        EXPECT_EQ(onDisk.analyticsChoice, test.stored);
        EXPECT_EQ(onDisk.analyticsChoiceDate, test.date);
        if (test.asked)
            EXPECT_EQ(saves, (std::vector<std::pair<AnalyticsChoice, bool>>{{test.answer, false}, {test.answer, true}}));
        else
            EXPECT_TRUE(saves.empty());
        delegate.reset();
    }
}

TEST_F(Launch, TakenShortcutsAreReportedOnceAndTheOthersStillSend) {
    hotKeys.refusedKeys = {1, 8}; // ⌥⌘S and ⌥⌘C
    bundle.reset();
    writeConfig(R"({"askForUnknownRoutes": false})");
    select(pellora::testing::eml("From: ann@example.com\r\nSubject: Hi\r\n", "Hello"));

    launch();

    EXPECT_EQ(ui.alerts, (std::vector<Alert>{{"Some shortcuts are unavailable",
                                              "⌥⌘S, ⌥⌘C is already used by another app."}}));
    EXPECT_EQ(ui.activations, 1);
    EXPECT_EQ(hotKeys.ids, (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6}));

    hotKeys.press(1); // refused: nobody answers
    settle();
    EXPECT_EQ(mail->scriptsRun(), 0);
    hotKeys.press(15);
    settle();
    EXPECT_EQ(mail->scriptsRun(), 1);
}

TEST_F(Launch, SettingsWindowIsMadeOnceAndTheIconTogglesThePanel) {
    bundle.reset();
    launch();
    EXPECT_EQ(delegate->settingsWindow(), nullptr);
    delegate->showSettings();
    auto* first = delegate->settingsWindow();
    ASSERT_NE(first, nullptr);
    delegate->showSettings();
    EXPECT_EQ(delegate->settingsWindow(), first);

    ASSERT_TRUE(statusBar.click);
    statusBar.click();
    EXPECT_TRUE(statusBar.shown);
    statusBar.click();
    EXPECT_FALSE(statusBar.shown);
    statusBar.hasIcon = false; // no button to show it below
    statusBar.click();
    EXPECT_FALSE(statusBar.shown);
}

// Triggers never run the send inside themselves: a send may read Mail and open modal
// windows, which must not happen inside a platform callback or the panel's click.
struct Triggers : Launch {
    void SetUp() override {
        Launch::SetUp();
        bundle.reset();
        select(pellora::testing::eml("From: Ann Example <ann@example.com>\r\nTo: me@example.org\r\nSubject: Hi\r\n",
                                     "Hello"));
        launch();
        settle();
        ui.alerts.clear();
    }
};

TEST_F(Triggers, APanelChoiceClosesThePanelAndSendsAfterAPause) {
    statusBar.shown = true;
    delegate->panel()->choose(Action::summary);

    EXPECT_FALSE(statusBar.shown);
    EXPECT_FALSE(delegate->busy());
    clock.advanceBy(Clock::Duration(0.149));
    QCoreApplication::processEvents();
    EXPECT_EQ(mail->scriptsRun(), 0);
    clock.advanceBy(Clock::Duration(0.001));
    EXPECT_TRUE(delegate->busy());
    EXPECT_EQ(mail->scriptsRun(), 0); // send returned before reading
    QCoreApplication::processEvents();
    EXPECT_EQ(mail->scriptsRun(), 1);
    ASSERT_EQ(ui.chooserCalls.size(), 1u); // an unknown sender: asked from the event loop
    settle();
    EXPECT_FALSE(delegate->busy());
}

TEST_F(Triggers, AShortcutSendsOnTheNextTurnAndNeverInsideTheCallback) {
    hotKeys.press(15); // ⌥⌘R

    EXPECT_FALSE(delegate->busy());
    EXPECT_EQ(mail->scriptsRun(), 0);
    EXPECT_TRUE(ui.chooserCalls.empty());
    settle();
    EXPECT_EQ(mail->scriptsRun(), 1);
    EXPECT_EQ(ui.chooserCalls.size(), 1u);

    // An action that is not set up answers with its alert, also outside the callback.
    hotKeys.press(18); // ⌥⌘1
    EXPECT_TRUE(ui.alerts.empty());
    settle();
    EXPECT_EQ(ui.alerts, (std::vector<Alert>{{"This action isn't set up yet",
                                              "Give it a name and a prompt in Settings → Prompts."}}));
    EXPECT_EQ(mail->scriptsRun(), 1);
}

TEST_F(Triggers, PressingTwiceQuicklySendsOnce) {
    hotKeys.press(1);
    hotKeys.press(1);
    settle();
    EXPECT_EQ(mail->scriptsRun(), 1);
}

TEST_F(Triggers, FooterButtonsCloseThePanelFirst) {
    for (auto button : {MenuPanelModel::Button::checkForUpdates, MenuPanelModel::Button::settings,
                        MenuPanelModel::Button::support}) {
        statusBar.shown = true;
        delegate->panel()->press(button);
        EXPECT_FALSE(statusBar.shown);
    }
    EXPECT_NE(delegate->settingsWindow(), nullptr);
    EXPECT_EQ(ui.donateDialogs, 1);
}

} // namespace
} // namespace pellora
