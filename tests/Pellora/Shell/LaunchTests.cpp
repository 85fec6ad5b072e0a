#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "App/DelegateOnDesk.h"
#include "App/Eml.h"
#include "Pellora/Shell/MenuPanelModel.h"
#include "Pellora/Updates/CheckinClient.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using Alert = pellora::testing::ScriptedShellUI::Alert;
using Step = AppDelegate::LaunchStep;

// By the steps' order in AppDelegate::LaunchStep.
const char* const stepNames[] = {
    "store", "activity", "updates", "statusItem done", "button done", "panel done",
    "hotKeys done", "sweep", "finish scheduled", "consent done", "trust done", "updates started"};

// Writes the consent question and activations into the journal as they happen.
struct JournalingUI : pellora::testing::ScriptedShellUI {
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

struct Launch : pellora::testing::DelegateOnDesk {
    std::vector<std::string> journal;
    JournalingUI shell;
    std::optional<Bundle> bundle = Bundle{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.4.2"};
    std::vector<std::string> checkins;
    bool offline = false; // failed check-ins leave config.json alone

    void SetUp() override {
        DelegateOnDesk::SetUp();
        shell.journal = statusBar.journal = hotKeys.journal = &journal;
        clock.setWallOrigin(sys_days{2026y / 12 / 5} + 6h + 19min + 3s);
    }
    void created(AppDelegate& app) override {
        QObject::connect(&app, &AppDelegate::launchStepDone, [this](Step step) { journal.push_back(stepNames[int(step)]); });
    }
    // Check-ins never leave the test: each is noted and answered with no update.
    void launch() {
        DelegateOnDesk::launch(bundle, [this](CheckinRequest request, CancelToken) -> QCoro::Task<CheckinResponse> {
            checkins.push_back(std::string(request.event.rawValue()));
            if (offline)
                throw CheckinClient::TransportError("offline");
            co_return CheckinResponse{};
        }, &shell);
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
    EXPECT_TRUE(shell.alerts.empty());

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
    constexpr auto shared = AnalyticsChoice::shared, notShared = AnalyticsChoice::notShared,
                   unset = AnalyticsChoice::unset;
    struct Case {
        const char* name;
        std::string config;
        std::optional<Bundle> bundle;
        AnalyticsChoice answer;
        AnalyticsChoice stored;
        std::optional<double> date; // the launch's own time exactly when asked
    };
    const Bundle tovrin{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.4.2"};
    const Bundle unnamed{"/Applications/Tovrin.app", std::nullopt, "1.4.2"};
    const std::vector<Case> cases{
        {"first launch, shared", "", tovrin, shared, shared, 818144343.0},
        {"closed without a choice", "", tovrin, notShared, notShared, 818144343.0},
        {"already shared", R"({"analyticsChoice": "shared", "analyticsChoiceDate": 5})", tovrin, notShared, shared, 5.0},
        {"already declined", R"({"analyticsChoice": "notShared"})", tovrin, shared, notShared, std::nullopt},
        {"outside a bundle", "", std::nullopt, shared, unset, std::nullopt},
        {"bundle without identifier", "", unnamed, shared, unset, std::nullopt},
    };
    offline = true; // only consent is saved
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        fs::remove(UserFolders::pelloraSupport() / "config.json");
        if (!test.config.empty())
            writeConfig(test.config);
        shell.privacyQuestions = 0;
        shell.privacyAnswer = test.answer;
        bundle = test.bundle;
        launch();
        // The answer is saved, then its date in a second save.
        std::vector<std::pair<AnalyticsChoice, bool>> saves;
        QObject::connect(delegate->store(), &ConfigStore::configChanged, [&] {
            saves.emplace_back(delegate->store()->config().analyticsChoice,
                               delegate->store()->config().analyticsChoiceDate.has_value());
        });
        settle();

        const bool asked = test.date == 818144343.0;
        EXPECT_EQ(shell.privacyQuestions, asked ? 1 : 0);
        EXPECT_EQ(configOnDisk().analyticsChoice, test.stored);
        EXPECT_EQ(configOnDisk().analyticsChoiceDate, test.date);
        using Saves = std::vector<std::pair<AnalyticsChoice, bool>>;
        EXPECT_EQ(saves, (asked ? Saves{{test.answer, false}, {test.answer, true}} : Saves{}));
        delegate.reset();
    }
}

TEST_F(Launch, TakenShortcutsAreReportedOnceAndTheOthersStillSend) {
    hotKeys.refusedKeys = {1, 8}; // ⌥⌘S and ⌥⌘C
    bundle.reset();
    writeConfig(R"({"askForUnknownRoutes": false})");
    select({pellora::testing::eml("From: ann@example.com\r\nSubject: Hi\r\n", "Hello")});

    launch();

    EXPECT_EQ(shell.alerts, (std::vector<Alert>{{"Some shortcuts are unavailable",
                                                 "⌥⌘S, ⌥⌘C is already used by another app."}}));
    EXPECT_EQ(shell.activations, 1);
    EXPECT_EQ(hotKeys.ids, (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6}));

    hotKeys.press(1); // refused: nobody answers
    settle();
    EXPECT_EQ(mail->scriptsRun(), 0);
    hotKeys.press(15);
    settle();
    EXPECT_EQ(mail->scriptsRun(), 1);
}

// Triggers never run the send inside themselves: a send may read Mail and open modal
// windows, which must not happen inside a platform callback or the panel's click.
struct Triggers : Launch {
    void SetUp() override {
        Launch::SetUp();
        bundle.reset();
        select({pellora::testing::eml("From: Ann Example <ann@example.com>\r\nTo: me@home.example\r\nSubject: Hi\r\n",
                                      "Hello")});
        launch();
        settle();
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
    EXPECT_EQ(shell.chooserCalls.size(), 1u); // an unknown sender: asked from the event loop
    settle();
    EXPECT_FALSE(delegate->busy());
}

TEST_F(Triggers, AShortcutSendsOnALaterTurnAndTwoQuickPressesSendOnce) {
    hotKeys.press(15); // ⌥⌘R
    hotKeys.press(15);

    EXPECT_FALSE(delegate->busy());
    EXPECT_EQ(mail->scriptsRun(), 0);
    settle();
    EXPECT_EQ(mail->scriptsRun(), 1);
    EXPECT_EQ(shell.chooserCalls.size(), 1u);

    // An action that is not set up answers with its alert, also outside the callback.
    hotKeys.press(18); // ⌥⌘1
    EXPECT_TRUE(shell.alerts.empty());
    settle();
    EXPECT_EQ(shell.alerts, (std::vector<Alert>{{"This action isn't set up yet",
                                                 "Give it a name and a prompt in Settings → Prompts."}}));
    EXPECT_EQ(mail->scriptsRun(), 1);
}

TEST_F(Triggers, TheIconTogglesThePanelAndFooterButtonsCloseItFirst) {
    ASSERT_TRUE(statusBar.click);
    statusBar.click();
    EXPECT_TRUE(statusBar.shown);
    statusBar.click();
    EXPECT_FALSE(statusBar.shown);

    for (auto button : {MenuPanelModel::Button::checkForUpdates, MenuPanelModel::Button::settings,
                        MenuPanelModel::Button::support, MenuPanelModel::Button::settings}) {
        statusBar.click();
        delegate->panel()->press(button);
        EXPECT_FALSE(statusBar.shown);
    }
    EXPECT_EQ(shell.donateDialogs, 1);
    // The settings window is made on first use, then kept.
    auto* settings = delegate->settingsWindow();
    ASSERT_NE(settings, nullptr);
    delegate->showSettings();
    EXPECT_EQ(delegate->settingsWindow(), settings);

    statusBar.hasIcon = false; // no button to show it below
    statusBar.click();
    EXPECT_FALSE(statusBar.shown);
}

} // namespace
} // namespace pellora
