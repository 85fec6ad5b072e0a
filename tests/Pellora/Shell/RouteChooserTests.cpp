#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>
#include <gtest/gtest.h>

#include "App/Driving.h"
#include "App/ScriptedShellUI.h"
#include "App/StandInShell.h"
#include "App/VirtualTime.h"
#include "Pellora/Claude/ClaudeSidebar.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimEnvironment.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/RouteChooser.h"
#include "PelloraCore/ActivityFile.h"
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

// The application on the sample desktop, with no routes yet.
struct SendFlowWithChooser : ::testing::Test {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimEnvironment desktop{clock, pasteboard,
                           std::filesystem::path(PELLORA_FIXTURES).parent_path().parent_path() / "Pellora" /
                               "Resources" / "Samples"};
    ChooserShellUI ui{desktop.services().claude()};
    pellora::testing::RecordingStatusBar statusBar;
    pellora::testing::ScriptedHotKeys hotKeys;
    pellora::testing::NoInstaller installer;
    AppDelegate delegate{desktop.services(), ui, AppDelegate::Parts{statusBar, hotKeys, installer, std::nullopt}};

    void TearDown() override { QThreadPool::globalInstance()->waitForDone(); }
};

TEST_F(SendFlowWithChooser, SavedChoiceIsStoredAndFollowed) {
    delegate.applicationDidFinishLaunching();
    pellora::testing::settle(clock);
    // The newest sample, from Northwind to the user.
    whenModal([](QWidget* window) {
        EXPECT_EQ(named<QLineEdit>(window, "Domain")->text(), "northwind.example.com");
        QTest::keyClick(named<QComboBox>(window, "Send it to"), Qt::Key_Home); // Existing chat
        QTest::keyClick(named<QComboBox>(window, "Chat"), Qt::Key_Down);
        QTest::mouseClick(button(window, "Save"), Qt::LeftButton);
    });
    hotKeys.press(1); // ⌥⌘S
    pellora::testing::settle(clock);

    const Route saved = route("northwind.example.com", MatchField::from, DestinationKind::chat, "Northwind invoices");
    EXPECT_EQ(Config::load(UserFolders::pelloraSupport() / "config.json").routes, std::vector<Route>{saved});
    const auto entries = ActivityFile::load(UserFolders::pelloraSupport() / "activity.jsonl");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(std::tuple(entries[0].rule, entries[0].destination), std::tuple("northwind.example.com", saved));
    EXPECT_TRUE(ui.alerts.empty());

    // The next email from there goes the same way without asking.
    hotKeys.press(1);
    pellora::testing::settle(clock);
    EXPECT_EQ(ui.chooserCalls.size(), 1u);
    ASSERT_EQ(desktop.claude().sentMessages().size(), 2u);
    for (const auto& message : desktop.claude().sentMessages())
        EXPECT_EQ(message.place, SimClaude::Place::chat("5f0c2a9e-1b7d-4c39-9a51-0d6e8b3f7a21"));
}

} // namespace
} // namespace pellora
