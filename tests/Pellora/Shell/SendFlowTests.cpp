#include <clocale>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QThreadPool>
#include <gtest/gtest.h>

#include "App/DelegateOnDesk.h"
#include "App/Eml.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/Log.h"
#include "PelloraCore/ActivityFile.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;
using Alert = pellora::testing::ScriptedShellUI::Alert;
using Place = SimClaude::Place;
using pellora::testing::attachmentFolders;
using pellora::testing::logMessages;

const std::string replyPrompt =
    "Below is an email I received. Using everything you know from earlier in this conversation, "
    "draft a reply I can send. Match the tone of the thread, answer every question that was asked, "
    "and keep it concise. Give me the draft, plus a short note only if you had to assume something.";
const std::string formal = "\n\nStanding instructions for this client:\nBe formal.";

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

Route acmeByLink(const std::string& domain = "acme.com") {
    return Route{domain, MatchField::from, DestinationKind::chat, std::nullopt,
                 "https://claude.ai/chat/acme-thread", "  Be formal.\n"};
}
const Route newChatRoute{"", MatchField::to, DestinationKind::newChat, std::nullopt, std::nullopt, std::nullopt};

struct SendFlow : pellora::testing::DelegateOnDesk {
    void SetUp() override {
        DelegateOnDesk::SetUp();
        select({pellora::testing::eml("From: Ada Lovelace <ada@acme.com>\r\nTo: me@home.example\r\n"
                                      "Subject: Quarterly report\r\nDate: Sat, 05 Dec 2026 06:19:03 +0000\r\n"
                                      "Message-ID: <q4.report@acme.com>\r\n",
                                      "Hello,\r\nthe figures are attached.\r\n",
                                      {{"report.pdf", "application/pdf", std::string(20000, 'p')},
                                       {"notes.txt", "text/plain", "three lines\nof\nnotes\n"}})});
        launch();
        QCoreApplication::processEvents(); // the deferred half of the launch
        fs::remove(Log::file());           // its lines are not the sends'
    }

    // Triggers the action and lets virtual time run until the send has ended.
    void sendAndFinish(Action action) {
        delegate->send(action);
        while (delegate->busy()) {
            QCoreApplication::processEvents();
            if (delegate->busy() && !clock.advance())
                FAIL() << "the send waits for something that never comes";
        }
    }
    static std::vector<ActivityEntry> activityOnDisk() {
        return ActivityFile::load(UserFolders::pelloraSupport() / "activity.jsonl");
    }
    // The folder stays for Claude's upload for two minutes, then goes.
    void expectFolderRemovedAfterTwoMinutes() {
        for (const auto& [wait, left] : {std::pair(0.0, 1u), std::pair(119.0, 1u), std::pair(1.0, 0u)}) {
            clock.advanceBy(Clock::Duration(wait));
            QThreadPool::globalInstance()->waitForDone(); // the removals that came due
            EXPECT_EQ(attachmentFolders().size(), left) << clock.now().count();
        }
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
    EXPECT_EQ(message.place, Place::chat("acme-thread"));
    EXPECT_EQ(message.text, replyPrompt + formal + "\n\n" + adaEmailText);
    ASSERT_EQ(message.files.size(), 2u);
    EXPECT_EQ(message.files[0].filename(), "1-report.pdf");
    EXPECT_EQ(message.files[1].filename(), "2-notes.txt");
    EXPECT_TRUE(ui.alerts.empty());
    EXPECT_EQ(ui.opacities, (std::vector<double>{0.45, 1.0}));
    EXPECT_FALSE(delegate->menuState().busy());

    const auto entries = activityOnDisk();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], (ActivityEntry{entries[0].id, entries[0].date, "Quarterly report",
                                         "Ada Lovelace <ada@acme.com>", "q4.report@acme.com", "acme.com", acmeByLink(),
                                         "Draft a Reply", ActionMode::prompt, replyPrompt + formal}));
    EXPECT_EQ(delegate->activity()->entries(), entries);
    EXPECT_EQ(configOnDisk().emailsSent, 1);

    const auto lines = logMessages();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "reply: read email in 0.00s (33 chars, 2 attachments)");
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(reply: done in \d+\.\d\ds)"))) << lines.back();
    expectFolderRemovedAfterTwoMinutes();
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

TEST_F(SendFlow, MailNotRunningEndsInOneAlert) {
    desktop.quit(SimMail::identifier);

    sendAndFinish(Action::summary);

    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(ui.alerts, (std::vector<Alert>{{"Tovrin", "Mail is not running."}}));
    EXPECT_FALSE(delegate->menuState().busy());
    EXPECT_EQ(ui.opacities, (std::vector<double>{0.45, 1.0}));
    EXPECT_FALSE(fs::exists(Log::file()));
    EXPECT_TRUE(attachmentFolders().empty());
}

// The route chosen for an unknown sender is stored before the delivery starts, so a failed
// delivery keeps it.
TEST_F(SendFlow, DeliveryFailureShowsTheBridgesTextAndCountsNothing) {
    Route escalations = acmeByLink("@ACME.com");
    escalations.url.reset();
    escalations.name = "Acme escalations";
    ui.chooserAnswers = {ChooserResult::save(escalations)};
    configure([](Config& config) { config.emailsSent = 5; });

    sendAndFinish(Action::reply);

    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(ui.alerts, (std::vector<Alert>{
                             {"Tovrin", "Couldn't find the chat “Acme escalations” in Claude's sidebar. "
                                        "Scroll it into view, or route this domain by chat link instead."}}));
    EXPECT_TRUE(claude->sentMessages().empty());
    EXPECT_TRUE(activityOnDisk().empty());
    EXPECT_TRUE(delegate->activity()->entries().empty());
    EXPECT_EQ(configOnDisk().emailsSent, 5);
    escalations.domain = "acme.com";
    EXPECT_EQ(configOnDisk().routes, std::vector<Route>{escalations});
    expectFolderRemovedAfterTwoMinutes();
}

TEST_F(SendFlow, AnUnroutedSenderGoesWhereTheChooserSays) {
    struct Case {
        const char* name;
        std::optional<ChooserResult> answer; // none: asking is off
        Place place;
        std::string text;
        std::string rule;
        Route destination;
        std::vector<Route> stored;
        bool asksNextTime;
    };
    const std::vector<Case> cases{
        {"save", ChooserResult::save(acmeByLink("  @ACME.com ")), Place::chat("acme-thread"),
         replyPrompt + formal + "\n\n" + adaEmailText, "acme.com", acmeByLink("  @ACME.com "), {acmeByLink()}, true},
        {"once", ChooserResult::once(acmeByLink()), Place::chat("acme-thread"),
         replyPrompt + formal + "\n\n" + adaEmailText, "", acmeByLink(), {}, true},
        {"always new chat", ChooserResult::alwaysNewChat(), Place::newChat(), replyPrompt + "\n\n" + adaEmailText, "",
         newChatRoute, {}, false},
        {"asking off", std::nullopt, Place::newChat(), replyPrompt + "\n\n" + adaEmailText, "", newChatRoute, {},
         false},
    };
    // The "done in" time includes the time spent choosing.
    ui.whileChoosing = [&] { clock.advanceBy(Clock::Duration(42)); };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        configure([&](Config& config) {
            config.routes.clear();
            config.askForUnknownRoutes = test.answer.has_value();
        });
        ui.chooserCalls.clear();
        if (test.answer)
            ui.chooserAnswers = {*test.answer};
        const auto sentBefore = claude->sentMessages().size();

        sendAndFinish(Action::reply);

        EXPECT_EQ(ui.chooserCalls.size(), test.answer ? 1u : 0u);
        ASSERT_EQ(claude->sentMessages().size(), sentBefore + 1);
        EXPECT_EQ(claude->sentMessages().back().place, test.place);
        EXPECT_EQ(claude->sentMessages().back().text, test.text);
        const ActivityEntry entry = activityOnDisk().back();
        EXPECT_EQ(entry.rule, test.rule);
        EXPECT_EQ(entry.destination, test.destination);
        EXPECT_EQ(configOnDisk().routes, test.stored);
        EXPECT_EQ(configOnDisk().askForUnknownRoutes, test.asksNextTime);
        std::smatch done;
        const std::string last = logMessages().back();
        ASSERT_TRUE(std::regex_match(last, done, std::regex(R"(reply: done in (\d+\.\d\d)s)"))) << last;
        EXPECT_GE(std::stod(done[1]), test.answer ? 42.0 : 0.0);
    }
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
    EXPECT_EQ(delegate->store()->config().emailsSent, 0);
}

TEST_F(SendFlow, WithoutAutoSendOrPasteOnlyTheTextWaitsInTheBox) {
    struct Case {
        Action action;
        bool autoSend;
        std::string box;
        std::string prompt;
    };
    const std::vector<Case> cases{
        {Action::reply, false, replyPrompt + formal + "\n\n" + adaEmailText, replyPrompt + formal},
        {Action::pasteOnly, true, adaEmailText, ""}, // never sends, whatever autoSend says
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.action.rawValue());
        configure([&](Config& config) {
            config.routes = {acmeByLink()};
            config.autoSend = test.autoSend;
        });
        claude->setMessageBoxText("");
        sendAndFinish(test.action);

        EXPECT_TRUE(claude->sentMessages().empty());
        EXPECT_EQ(claude->messageBoxText(), test.box);
        for (const auto& key : claude->receivedKeys())
            EXPECT_NE(key.keyCode, 36); // Return
        EXPECT_EQ(activityOnDisk().back().prompt, test.prompt);
    }
    EXPECT_EQ(activityOnDisk().back().mode, ActionMode::pasteOnly);
    EXPECT_EQ(activityOnDisk().back().actionName, "Paste Only");
}

// Deliveries count also without the activity log, which then gets nothing.
TEST_F(SendFlow, DonationPromptFollowsThe21stDeliveryOnce) {
    configure([](Config& config) {
        config.routes = {acmeByLink()};
        config.emailsSent = 19;
        config.keepActivityLog = false;
    });
    sendAndFinish(Action::reply); // 20th
    desktop.setTrusted(false);
    sendAndFinish(Action::reply); // fails: not counted
    clock.runUntilIdle();
    EXPECT_EQ(configOnDisk().emailsSent, 20);
    EXPECT_EQ(ui.donateDialogs, 0);

    desktop.setTrusted(true);
    sendAndFinish(Action::reply); // 21st
    clock.advanceBy(Clock::Duration(1.49));
    EXPECT_EQ(ui.donateDialogs, 0);
    clock.advanceBy(Clock::Duration(0.01));
    EXPECT_EQ(ui.donateDialogs, 1);
    EXPECT_TRUE(configOnDisk().donatePromptShown);

    sendAndFinish(Action::reply); // 22nd
    clock.runUntilIdle();
    EXPECT_EQ(ui.donateDialogs, 1);
    EXPECT_EQ(configOnDisk().emailsSent, 22);
    EXPECT_EQ(claude->sentMessages().size(), 3u);
    EXPECT_FALSE(fs::exists(UserFolders::pelloraSupport() / "activity.jsonl"));
    EXPECT_TRUE(delegate->activity()->entries().empty());
}

} // namespace
} // namespace pellora
