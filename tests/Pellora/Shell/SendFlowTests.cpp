#include <clocale>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QThreadPool>
#include <gtest/gtest.h>

#include "App/Eml.h"
#include "App/ScriptedShellUI.h"
#include "App/StandInShell.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/Log.h"
#include "PelloraCore/ActivityFile.h"
#include "TestHome.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using pellora::testing::ScriptedShellUI;
using Alert = ScriptedShellUI::Alert;

const std::string replyPrompt =
    "Below is an email I received. Using everything you know from earlier in this conversation, "
    "draft a reply I can send. Match the tone of the thread, answer every question that was asked, "
    "and keep it concise. Give me the draft, plus a short note only if you had to assume something.";

const std::string adaMessage = pellora::testing::eml(
    "From: Ada Lovelace <ada@acme.com>\r\n"
    "To: me@home.example\r\n"
    "Subject: Quarterly report\r\n"
    "Date: Sat, 05 Dec 2026 06:19:03 +0000\r\n"
    "Message-ID: <q4.report@acme.com>\r\n",
    "Hello,\r\nthe figures are attached.\r\n",
    {{"report.pdf", "application/pdf", std::string(20000, 'p')},
     {"notes.txt", "text/plain", "three lines\nof\nnotes\n"}});

// What the reply action pastes for Ada's message below the instruction.
const std::string adaEmailText = "From: Ada Lovelace <ada@acme.com>\n"
                                 "To: me@home.example\n"
                                 "Date: Saturday, 5 December 2026 at 06:19:03\n"
                                 "Subject: Quarterly report\n"
                                 "\n"
                                 "Hello,\nthe figures are attached.\n" // the body keeps its line feed
                                 "\n"
                                 "\n"
                                 "Attachments: 1-report.pdf, 2-notes.txt";

Route acmeByLink() {
    Route route;
    route.domain = "acme.com";
    route.matchOn = MatchField::from;
    route.kind = DestinationKind::chat;
    route.url = "https://claude.ai/chat/acme-thread";
    route.instructions = "  Be formal.\n";
    return route;
}

struct SendFlow : ::testing::Test {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
    ScriptedShellUI ui;
    pellora::testing::RecordingStatusBar statusBar;
    pellora::testing::ScriptedHotKeys hotKeys;
    pellora::testing::NoInstaller installer;
    AppDelegate delegate{AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, ui,
                         AppDelegate::Parts{statusBar, hotKeys, installer, std::nullopt}};

    void SetUp() override {
        desktop.install(mail);
        desktop.launch(SimMail::identifier);
        desktop.install(claude);
        claude->addChat("Invoices", "invoices");
        mail->setAccountAddresses({"me@home.example"});
        select(adaMessage);
        delegate.applicationDidFinishLaunching();
        QCoreApplication::processEvents(); // the deferred half of the launch
        fs::remove(Log::file());           // its lines are not the sends'
    }

    void TearDown() override { QThreadPool::globalInstance()->waitForDone(); }

    void select(const std::string& message) {
        const auto path = pellora::testing::testHome() / "selected.eml";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << message;
        mail->setSelection({path});
    }

    void configure(const std::function<void(Config&)>& change) {
        Config config = delegate.store()->config();
        change(config);
        delegate.store()->setConfig(config);
    }

    // Triggers the action and lets virtual time run until the send has ended.
    void sendAndFinish(Action action) {
        delegate.send(action);
        finish();
    }

    void finish() {
        while (delegate.busy()) {
            QCoreApplication::processEvents();
            if (delegate.busy() && !clock.advance())
                FAIL() << "the send waits for something that never comes";
        }
    }

    // Advances virtual time and lets the removal workers that came due finish.
    void after(double seconds) {
        clock.advanceBy(Clock::Duration(seconds));
        QThreadPool::globalInstance()->waitForDone();
    }

    static Config configOnDisk() { return Config::load(UserFolders::pelloraSupport() / "config.json"); }
    static std::vector<ActivityEntry> activityOnDisk() {
        return ActivityFile::load(UserFolders::pelloraSupport() / "activity.jsonl");
    }
    static std::vector<std::string> logLines() {
        std::ifstream input(Log::file());
        std::vector<std::string> lines;
        for (std::string line; std::getline(input, line);)
            lines.push_back(line.substr(line.find(' ') + 1)); // without the time stamp
        return lines;
    }
    static std::vector<fs::path> attachmentFolders() {
        std::vector<fs::path> folders;
        for (const auto& entry : fs::directory_iterator(UserFolders::temporary()))
            if (entry.path().filename().string().starts_with("Pellora-"))
                folders.push_back(entry.path());
        return folders;
    }
    std::vector<std::string> sentFileNames(std::size_t message = 0) const {
        std::vector<std::string> names;
        for (const auto& file : claude->sentMessages().at(message).files)
            names.push_back(file.filename().string());
        return names;
    }
};

TEST_F(SendFlow, RoutedEmailLandsInItsChatAndIsRecorded) {
    configure([](Config& config) { config.routes = {acmeByLink()}; });

    // Timings keep their full stop under a locale with decimal commas, where one is installed.
    const std::string numericLocale = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    sendAndFinish(Action::reply);
    std::setlocale(LC_NUMERIC, numericLocale.c_str());

    ASSERT_EQ(claude->sentMessages().size(), 1u);
    const auto& message = claude->sentMessages()[0];
    EXPECT_EQ(message.place, SimClaude::Place::chat("acme-thread"));
    EXPECT_EQ(message.text, replyPrompt + "\n\nStanding instructions for this client:\nBe formal.\n\n" +
                                adaEmailText);
    EXPECT_EQ(sentFileNames(), (std::vector<std::string>{"1-report.pdf", "2-notes.txt"}));
    EXPECT_TRUE(ui.alerts.empty());
    EXPECT_EQ(ui.opacities, (std::vector<double>{0.45, 1.0}));
    EXPECT_FALSE(delegate.menuState().busy());

    const auto entries = activityOnDisk();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rule, "acme.com");
    EXPECT_EQ(entries[0].destination, acmeByLink());
    EXPECT_EQ(entries[0].actionName, "Draft a Reply");
    EXPECT_EQ(entries[0].mode, ActionMode::prompt);
    EXPECT_EQ(entries[0].prompt, replyPrompt + "\n\nStanding instructions for this client:\nBe formal.");
    EXPECT_EQ(entries[0].subject, "Quarterly report");
    EXPECT_EQ(entries[0].sender, "Ada Lovelace <ada@acme.com>");
    EXPECT_EQ(entries[0].messageID, "q4.report@acme.com");
    ASSERT_EQ(delegate.activity()->entries().size(), 1u);
    EXPECT_EQ(delegate.activity()->entries()[0], entries[0]);
    EXPECT_EQ(configOnDisk().emailsSent, 1);

    const auto lines = logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "reply: read email in 0.00s (33 chars, 2 attachments)");
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(reply: done in \d+\.\d\ds)"))) << lines.back();

    // The attachments stay for Claude's upload, then go.
    ASSERT_EQ(attachmentFolders().size(), 1u);
    after(119);
    EXPECT_EQ(attachmentFolders().size(), 1u);
    after(1);
    EXPECT_TRUE(attachmentFolders().empty());
}

TEST_F(SendFlow, ActionThatIsNotSetUpNeverAsksMail) {
    sendAndFinish(Action::custom1);

    EXPECT_EQ(ui.alerts, (std::vector<Alert>{{"This action isn't set up yet",
                                              "Give it a name and a prompt in Settings → Prompts."}}));
    EXPECT_EQ(ui.activations, 1);
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(mail->scriptsRun(), 0);
    EXPECT_TRUE(ui.opacities.empty());
}

TEST_F(SendFlow, SecondTriggerWhileSendingIsDropped) {
    configure([](Config& config) { config.routes = {acmeByLink()}; });
    delegate.send(Action::reply);
    ASSERT_TRUE(delegate.busy());
    delegate.send(Action::reply);
    delegate.send(Action::summary);
    finish();

    EXPECT_EQ(mail->scriptsRun(), 1);
    EXPECT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(activityOnDisk().size(), 1u);
}

TEST_F(SendFlow, MailNotRunningEndsInOneAlert) {
    desktop.quit(SimMail::identifier);

    sendAndFinish(Action::summary);

    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(ui.alerts, (std::vector<Alert>{{"Tovrin", "Mail is not running."}}));
    EXPECT_FALSE(delegate.busy());
    EXPECT_FALSE(delegate.menuState().busy());
    EXPECT_EQ(ui.opacities, (std::vector<double>{0.45, 1.0}));
    EXPECT_FALSE(fs::exists(Log::file()));
    EXPECT_TRUE(attachmentFolders().empty());
}

TEST_F(SendFlow, DeliveryFailureShowsTheBridgesTextAndCountsNothing) {
    configure([](Config& config) {
        Route route = acmeByLink();
        route.url.reset();
        route.name = "Acme escalations";
        config.routes = {route};
        config.emailsSent = 5;
    });

    sendAndFinish(Action::reply);

    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(ui.alerts, (std::vector<Alert>{
                             {"Tovrin", "Couldn't find the chat “Acme escalations” in Claude's sidebar. "
                                        "Scroll it into view, or route this domain by chat link instead."}}));
    EXPECT_TRUE(claude->sentMessages().empty());
    EXPECT_TRUE(activityOnDisk().empty());
    EXPECT_TRUE(delegate.activity()->entries().empty());
    EXPECT_EQ(configOnDisk().emailsSent, 5);
    EXPECT_FALSE(delegate.busy());

    after(119);
    EXPECT_EQ(attachmentFolders().size(), 1u);
    after(1);
    EXPECT_TRUE(attachmentFolders().empty());
}

TEST_F(SendFlow, ChooserSaveStoresTheRouteBeforeDelivering) {
    Route chosen = acmeByLink();
    chosen.domain = "  @ACME.com ";
    ui.chooserAnswers = {ChooserResult::save(chosen)};
    desktop.uninstall(SimClaude::identifier); // the delivery fails…

    sendAndFinish(Action::reply);

    EXPECT_EQ(ui.alerts, (std::vector<Alert>{{"Tovrin", "The Claude desktop app was not found."}}));
    EXPECT_EQ(ui.beeps, 1);
    // …and the route is kept all the same, stored normalised.
    Route stored = acmeByLink();
    EXPECT_EQ(configOnDisk().routes, std::vector<Route>{stored});
    EXPECT_EQ(delegate.store()->config().routes, std::vector<Route>{stored});
}

TEST_F(SendFlow, ChooserSaveRecordsTheNormalisedRule) {
    Route chosen = acmeByLink();
    chosen.domain = "@ACME.com";
    ui.chooserAnswers = {ChooserResult::save(chosen)};

    sendAndFinish(Action::reply);

    ASSERT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(claude->sentMessages()[0].place, SimClaude::Place::chat("acme-thread"));
    ASSERT_EQ(activityOnDisk().size(), 1u);
    EXPECT_EQ(activityOnDisk()[0].rule, "acme.com");
    EXPECT_EQ(activityOnDisk()[0].destination, chosen);
}

TEST_F(SendFlow, ChooserOnceSendsWithoutStoring) {
    ui.chooserAnswers = {ChooserResult::once(acmeByLink())};

    sendAndFinish(Action::reply);

    ASSERT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(claude->sentMessages()[0].place, SimClaude::Place::chat("acme-thread"));
    EXPECT_TRUE(configOnDisk().routes.empty());
    ASSERT_EQ(activityOnDisk().size(), 1u);
    EXPECT_EQ(activityOnDisk()[0].rule, "");
    EXPECT_EQ(activityOnDisk()[0].destination, acmeByLink());
}

TEST_F(SendFlow, ChooserAlwaysNewChatTurnsAskingOff) {
    ui.chooserAnswers = {ChooserResult::alwaysNewChat()};

    sendAndFinish(Action::reply);

    EXPECT_FALSE(configOnDisk().askForUnknownRoutes);
    ASSERT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(claude->sentMessages()[0].place, SimClaude::Place::newChat());
    // The next unknown sender is not asked about.
    sendAndFinish(Action::reply);
    EXPECT_EQ(ui.chooserCalls.size(), 1u);
    EXPECT_EQ(claude->sentMessages().size(), 2u);
}

TEST_F(SendFlow, ChooserCancelSendsNothingAndRemovesTheFolderAtOnce) {
    ui.chooserAnswers = {ChooserResult::cancel()};

    sendAndFinish(Action::summary);

    // Asked about the sender, with the reply action's prompt whatever the action.
    ASSERT_EQ(ui.chooserCalls.size(), 1u);
    EXPECT_EQ(ui.chooserCalls[0].suggestion,
              (Router::RouteSuggestion{MatchField::from, "ada@acme.com", "me@home.example"}));
    EXPECT_EQ(ui.chooserCalls[0].previewPrompt, replyPrompt);

    EXPECT_TRUE(claude->receivedKeys().empty());
    EXPECT_TRUE(ui.alerts.empty());
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_TRUE(attachmentFolders().empty());
    EXPECT_TRUE(activityOnDisk().empty());
    EXPECT_EQ(delegate.store()->config().emailsSent, 0);
}

TEST_F(SendFlow, WithAskingOffAnUnroutedEmailGoesToANewChat) {
    configure([](Config& config) { config.askForUnknownRoutes = false; });

    sendAndFinish(Action::reply);

    EXPECT_TRUE(ui.chooserCalls.empty());
    ASSERT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(claude->sentMessages()[0].place, SimClaude::Place::newChat());
    EXPECT_EQ(claude->sentMessages()[0].text, replyPrompt + "\n\n" + adaEmailText);
    ASSERT_EQ(activityOnDisk().size(), 1u);
    EXPECT_EQ(activityOnDisk()[0].rule, "");
    EXPECT_EQ(activityOnDisk()[0].destination, (Route{"", MatchField::to, DestinationKind::newChat, std::nullopt, std::nullopt, std::nullopt}));
}

TEST_F(SendFlow, PasteOnlyNeverPressesReturn) {
    configure([](Config& config) {
        config.routes = {acmeByLink()};
        config.autoSend = true;
    });

    sendAndFinish(Action::pasteOnly);

    EXPECT_TRUE(claude->sentMessages().empty());
    EXPECT_EQ(claude->messageBoxText(), adaEmailText);
    for (const auto& key : claude->receivedKeys())
        EXPECT_NE(key.keyCode, 36);
    ASSERT_EQ(activityOnDisk().size(), 1u);
    EXPECT_EQ(activityOnDisk()[0].prompt, "");
    EXPECT_EQ(activityOnDisk()[0].mode, ActionMode::pasteOnly);
    EXPECT_EQ(activityOnDisk()[0].actionName, "Paste Only");
}

TEST_F(SendFlow, AutoSendOffLeavesTheTextInTheBox) {
    configure([](Config& config) {
        config.routes = {acmeByLink()};
        config.autoSend = false;
    });

    sendAndFinish(Action::reply);

    EXPECT_TRUE(claude->sentMessages().empty());
    EXPECT_EQ(claude->messageBoxText(),
              replyPrompt + "\n\nStanding instructions for this client:\nBe formal.\n\n" + adaEmailText);
    EXPECT_EQ(activityOnDisk().size(), 1u);
}

TEST_F(SendFlow, DonationPromptFollowsThe21stDeliveryOnce) {
    configure([](Config& config) {
        config.routes = {acmeByLink()};
        config.emailsSent = 19;
    });

    sendAndFinish(Action::reply); // 20th
    clock.runUntilIdle();
    EXPECT_EQ(ui.donateDialogs, 0);

    desktop.setTrusted(false);
    sendAndFinish(Action::reply); // fails: not counted
    clock.runUntilIdle();
    EXPECT_EQ(configOnDisk().emailsSent, 20);
    EXPECT_EQ(ui.donateDialogs, 0);

    desktop.setTrusted(true);
    sendAndFinish(Action::reply); // 21st
    EXPECT_EQ(ui.donateDialogs, 0);
    clock.advanceBy(Clock::Duration(1.49));
    EXPECT_EQ(ui.donateDialogs, 0);
    clock.advanceBy(Clock::Duration(0.01));
    EXPECT_EQ(ui.donateDialogs, 1);
    EXPECT_TRUE(configOnDisk().donatePromptShown);

    sendAndFinish(Action::reply); // 22nd
    clock.runUntilIdle();
    EXPECT_EQ(ui.donateDialogs, 1);
    EXPECT_EQ(configOnDisk().emailsSent, 22);
}

TEST_F(SendFlow, WithoutTheActivityLogDeliveriesStillCount) {
    configure([](Config& config) {
        config.routes = {acmeByLink()};
        config.keepActivityLog = false;
    });

    sendAndFinish(Action::reply);

    EXPECT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_FALSE(fs::exists(UserFolders::pelloraSupport() / "activity.jsonl"));
    EXPECT_TRUE(delegate.activity()->entries().empty());
    EXPECT_EQ(configOnDisk().emailsSent, 1);
}

TEST_F(SendFlow, DoneTimeIncludesTheTimeSpentChoosing) {
    ui.chooserAnswers = {ChooserResult::once(acmeByLink())};
    ui.whileChoosing = [&] { clock.advanceBy(Clock::Duration(42)); };

    sendAndFinish(Action::reply);

    const auto lines = logLines();
    ASSERT_FALSE(lines.empty());
    std::smatch done;
    ASSERT_TRUE(std::regex_match(lines.back(), done, std::regex(R"(reply: done in (\d+\.\d\d)s)")))
        << lines.back();
    EXPECT_GE(std::stod(done[1]), 42.0);
}

} // namespace
} // namespace pellora
