#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>
#include <gtest/gtest.h>

#include "App/Driving.h"
#include "App/Eml.h"
#include "App/ScriptedShellUI.h"
#include "App/StandInShell.h"
#include "Pellora/Claude/ClaudeSidebar.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/RouteChooser.h"
#include "PelloraCore/ActivityFile.h"
#include "TestHome.h"
#include "RouteMaker.h"

namespace pellora {
namespace {

using pellora::testing::route;
using pellora::testing::named;
using pellora::testing::whenModal;
using Suggestion = Router::RouteSuggestion;
using Chats = std::vector<std::string>;

const Suggestion fromJane{MatchField::from, "jane@example.com", "me@example.org"};

TEST(RouteChooser, HandsTheEditorTheEmailsAddress) {
    const std::tuple<Suggestion, std::string, Route> cases[] = {
        {fromJane,
         "There's no Claude destination yet for mail received from jane@example.com. Choose one and Tovrin will "
         "remember it.",
         route("example.com", MatchField::from, DestinationKind::newChat)},
        {Suggestion{MatchField::to, "jane@example.com", "me@example.org"},
         "There's no Claude destination yet for mail sent to me@example.org. Choose one and Tovrin will remember it.",
         route("example.org", MatchField::to, DestinationKind::newChat)},
        {Suggestion{MatchField::from, std::nullopt, "me@example.org"},
         "There's no Claude destination yet for mail received from . Choose one and Tovrin will remember it.",
         route("", MatchField::from, DestinationKind::newChat)},
    };
    for (const auto& [suggestion, subtitle, initial] : cases) {
        const auto inputs = RouteChooser::editorInputs(suggestion, "Draft a reply.", {});
        EXPECT_EQ(std::tuple(inputs.title, inputs.subtitle, inputs.initial, inputs.suggestions, inputs.offersOnce,
                             inputs.previewPrompt),
                  std::tuple("No route for this email yet", subtitle, initial, suggestion, true, "Draft a reply."));
    }
}

QPushButton* button(QWidget* window, const char* title) { return named<QPushButton>(window, title); }

TEST(RouteChooser, EachAnswerEndsTheWindow) {
    const Route janeDomain = route("example.com", MatchField::from, DestinationKind::newChat);
    const std::string neverAsk = "Don't ask again. Always start a new chat when no route matches.";
    Chats sidebar;
    const std::tuple<const char*, std::function<void(QWidget*)>, ChooserResult> cases[] = {
        {"Return saves, after a look at the preview",
         [](QWidget* window) {
             QTest::mouseClick(named<QToolButton>(window, "Preview what Claude receives"), Qt::LeftButton);
             auto* preview = named<QPlainTextEdit>(window, "Preview");
             EXPECT_TRUE(preview->isVisible());
             EXPECT_TRUE(preview->toPlainText().startsWith("Draft a reply.\n\nFrom: Jane Doe <jane@example.com>\n"));
             QTest::keyClick(named<QLineEdit>(window, "Domain"), Qt::Key_Return);
         },
         ChooserResult::save(janeDomain)},
        {"Just This Once with a chat from the sidebar",
         [](QWidget* window) {
             QTest::keyClick(named<QComboBox>(window, "Send it to"), Qt::Key_Home);
             auto* once = button(window, "Just This Once");
             EXPECT_FALSE(once->isEnabled());
             QTest::keyClick(named<QComboBox>(window, "Chat"), Qt::Key_Down);
             QTest::mouseClick(once, Qt::LeftButton);
         },
         ChooserResult::once(route("example.com", MatchField::from, DestinationKind::chat, "Invoices"))},
        {"Don't ask again, then Return",
         [&](QWidget* window) {
             QTest::keyClick(named<QCheckBox>(window, QString::fromStdString(neverAsk)), Qt::Key_Space);
             EXPECT_TRUE(button(window, "Save")->isHidden() && button(window, "Just This Once")->isHidden());
             EXPECT_TRUE(button(window, "Always Use a New Chat")->isVisible());
             QTest::keyClick(named<QLineEdit>(window, "Domain"), Qt::Key_Return);
         },
         ChooserResult::alwaysNewChat()},
        {"Cancel, after walking the Tab order",
         [&](QWidget* window) {
             EXPECT_EQ(pellora::testing::tabStops(named<QComboBox>(window, "Email field")),
                       (std::vector<std::string>{"Email field", "Match", "Domain", "Send it to",
                                                 "Standing instructions (optional)", "Preview what Claude receives",
                                                 neverAsk, "Cancel", "Just This Once", "Save"}));
             QTest::mouseClick(button(window, "Cancel"), Qt::LeftButton);
         },
         ChooserResult::cancel()},
        {"closed some other way, after Claude went away",
         [&](QWidget* window) {
             QTest::keyClick(named<QComboBox>(window, "Send it to"), Qt::Key_Home);
             sidebar.clear();
             QTest::mouseClick(button(window, "Refresh Chat List"), Qt::LeftButton);
             auto* chats = named<QComboBox>(window, "Chat");
             EXPECT_EQ(std::pair(chats->count(), chats->itemText(0)), std::pair(1, QString("No chats found")));
             window->close();
         },
         ChooserResult::cancel()},
        {"invalid input: Return does nothing, Escape cancels",
         [](QWidget* window) {
             auto* pattern = named<QLineEdit>(window, "Domain");
             QTest::keyClicks(pattern, " x");
             EXPECT_TRUE(named<QLabel>(window, "Remove the spaces.")->isVisible());
             QTest::keyClick(pattern, Qt::Key_Return);
             EXPECT_TRUE(window->isVisible());
             QTest::keyClick(pattern, Qt::Key_Escape);
         },
         ChooserResult::cancel()},
    };
    for (const auto& [what, act, answer] : cases) {
        SCOPED_TRACE(what);
        Qt::WindowFlags flags;
        QString title;
        whenModal([&](QWidget* window) {
            flags = window->windowFlags();
            title = window->windowTitle();
            act(window);
        });
        sidebar = {"Invoices", "Jane Doe"};
        EXPECT_EQ(RouteChooser::ask(fromJane, "Draft a reply.", [&] { return sidebar; }), answer);
        EXPECT_EQ(title, "Tovrin");
        EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint));
    }
}

// The shell's chooser answered by the real window.
class ChooserShellUI : public pellora::testing::ScriptedShellUI {
public:
    explicit ChooserShellUI(ClaudePlatform claude) : claude_(claude) {}
    ChooserResult askForRoute(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt) override {
        chooserCalls.push_back({suggestion, previewPrompt});
        return RouteChooser::ask(suggestion, previewPrompt, [this] { return ClaudeSidebar::chatTitles(claude_); });
    }

private:
    ClaudePlatform claude_;
};

struct SendFlowWithChooser : ::testing::Test {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
    ChooserShellUI ui{ClaudePlatform{desktop, desktop, desktop, pasteboard, clock}};
    pellora::testing::RecordingStatusBar statusBar;
    pellora::testing::ScriptedHotKeys hotKeys;
    pellora::testing::NoInstaller installer;
    AppDelegate delegate{AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, ui,
                         AppDelegate::Parts{statusBar, hotKeys, installer, std::nullopt}};

    void SetUp() override {
        desktop.install(mail);
        desktop.launch(SimMail::identifier);
        desktop.install(claude);
        desktop.launch(SimClaude::identifier);
        claude->addChat("Weekly notes", "notes");
        claude->addChat("Invoices", "invoices");
        mail->setAccountAddresses({"me@example.org"});
        const auto path = pellora::testing::testHome() / "selected.eml";
        std::ofstream(path, std::ios::binary) << pellora::testing::eml(
            "From: Jane Doe <jane@example.com>\r\nTo: me@example.org\r\nSubject: Invoice 42\r\n"
            "Date: Mon, 04 May 2026 09:00:00 +0000\r\nMessage-ID: <i42@example.com>\r\n",
            "Please find it attached.\r\n");
        mail->setSelection({path});
        delegate.applicationDidFinishLaunching();
        QCoreApplication::processEvents(); // the deferred half of the launch
    }

    void TearDown() override { QThreadPool::globalInstance()->waitForDone(); }

    void sendAndFinish(Action action) {
        delegate.send(action);
        while (delegate.busy()) {
            QCoreApplication::processEvents();
            if (delegate.busy() && !clock.advance())
                FAIL() << "the send waits for something that never comes";
        }
    }
};

TEST_F(SendFlowWithChooser, SavedChoiceIsStoredAndFollowed) {
    whenModal([](QWidget* window) {
        EXPECT_EQ(named<QLineEdit>(window, "Domain")->text(), "example.com");
        QTest::keyClick(named<QComboBox>(window, "Send it to"), Qt::Key_Home); // Existing chat
        auto* chats = named<QComboBox>(window, "Chat");
        QTest::keyClick(chats, Qt::Key_Down);
        QTest::keyClick(chats, Qt::Key_Down);
        EXPECT_EQ(chats->currentText(), "Invoices");
        QTest::mouseClick(button(window, "Save"), Qt::LeftButton);
    });
    sendAndFinish(Action::summary);

    const Route saved = route("example.com", MatchField::from, DestinationKind::chat, "Invoices");
    EXPECT_EQ(Config::load(UserFolders::pelloraSupport() / "config.json").routes, std::vector<Route>{saved});
    const auto entries = ActivityFile::load(UserFolders::pelloraSupport() / "activity.jsonl");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(std::tuple(entries[0].rule, entries[0].destination), std::tuple("example.com", saved));
    EXPECT_TRUE(ui.alerts.empty());

    // The next email from there goes the same way without asking.
    sendAndFinish(Action::summary);
    EXPECT_EQ(ui.chooserCalls.size(), 1u);
    ASSERT_EQ(claude->sentMessages().size(), 2u);
    for (const auto& message : claude->sentMessages())
        EXPECT_EQ(message.place, SimClaude::Place::chat("invoices"));
}

} // namespace
} // namespace pellora
