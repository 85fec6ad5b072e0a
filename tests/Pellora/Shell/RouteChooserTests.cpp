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

#include "App/Eml.h"
#include "App/Driving.h"
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
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/RouteChooser.h"
#include "PelloraCore/ActivityFile.h"
#include "TestHome.h"

namespace pellora {
namespace {

using pellora::testing::named;
using pellora::testing::whenModal;
using Suggestion = Router::RouteSuggestion;
using Chats = std::vector<std::string>;

const Suggestion fromJane{MatchField::from, "jane@example.com", "me@example.org"};

TEST(RouteChooser, HandsTheEditorTheEmailsAddress) {
    struct Case {
        Suggestion suggestion;
        std::string subtitle;
        Route initial;
    };
    const Case cases[] = {
        {fromJane,
         "There's no Claude destination yet for mail received from jane@example.com. Choose one and Tovrin will "
         "remember it.",
         Route{"example.com", MatchField::from, DestinationKind::newChat, {}, {}, {}}},
        {Suggestion{MatchField::to, "jane@example.com", "me@example.org"},
         "There's no Claude destination yet for mail sent to me@example.org. Choose one and Tovrin will remember it.",
         Route{"example.org", MatchField::to, DestinationKind::newChat, {}, {}, {}}},
        {Suggestion{MatchField::from, std::nullopt, "me@example.org"},
         "There's no Claude destination yet for mail received from . Choose one and Tovrin will remember it.",
         Route{"", MatchField::from, DestinationKind::newChat, {}, {}, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subtitle);
        const auto inputs = RouteChooser::editorInputs(c.suggestion, "Draft a reply.", [] { return Chats{}; });
        EXPECT_EQ(inputs.title, "No route for this email yet");
        EXPECT_EQ(inputs.subtitle, c.subtitle);
        EXPECT_EQ(inputs.initial, c.initial);
        EXPECT_EQ(inputs.suggestions, c.suggestion);
        EXPECT_TRUE(inputs.offersOnce);
        EXPECT_EQ(inputs.previewPrompt, "Draft a reply.");
    }
}

QPushButton* button(QWidget* window, const char* title) { return named<QPushButton>(window, title); }

TEST(RouteChooser, EachAnswerEndsTheWindow) {
    const Route janeDomain{"example.com", MatchField::from, DestinationKind::newChat, {}, {}, {}};
    const Route invoicesOnce{"example.com", MatchField::from, DestinationKind::chat, "Invoices", {}, {}};
    struct Case {
        const char* what;
        std::function<void(QWidget*)> act;
        ChooserResult answer;
    };
    const Case cases[] = {
        {"Save", [](QWidget* window) { QTest::mouseClick(button(window, "Save"), Qt::LeftButton); },
         ChooserResult::save(janeDomain)},
        {"Return saves, after a look at the preview",
         [](QWidget* window) {
             auto* preview = named<QPlainTextEdit>(window, "Preview");
             EXPECT_TRUE(preview->isHidden());
             QTest::mouseClick(named<QToolButton>(window, "Preview what Claude receives"), Qt::LeftButton);
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
         ChooserResult::once(invoicesOnce)},
        {"Don't ask again, then Return",
         [](QWidget* window) {
             QTest::keyClick(named<QCheckBox>(window, "Don't ask again. Always start a new chat when no route matches."),
                             Qt::Key_Space);
             EXPECT_TRUE(button(window, "Save")->isHidden());
             EXPECT_TRUE(button(window, "Just This Once")->isHidden());
             EXPECT_TRUE(button(window, "Always Use a New Chat")->isVisible());
             QTest::keyClick(named<QLineEdit>(window, "Domain"), Qt::Key_Return);
         },
         ChooserResult::alwaysNewChat()},
        {"Escape", [](QWidget* window) { QTest::keyClick(named<QLineEdit>(window, "Domain"), Qt::Key_Escape); },
         ChooserResult::cancel()},
        {"Cancel", [](QWidget* window) { QTest::mouseClick(button(window, "Cancel"), Qt::LeftButton); },
         ChooserResult::cancel()},
        {"closed some other way", [](QWidget* window) { window->close(); }, ChooserResult::cancel()},
        {"invalid input: Return does nothing, Escape cancels",
         [](QWidget* window) {
             auto* pattern = named<QLineEdit>(window, "Domain");
             QTest::keyClicks(pattern, " x");
             EXPECT_TRUE(named<QLabel>(window, "Remove the spaces."));
             EXPECT_FALSE(button(window, "Save")->isEnabled());
             QTest::keyClick(pattern, Qt::Key_Return);
             EXPECT_TRUE(window->isVisible());
             QTest::keyClick(pattern, Qt::Key_Escape);
         },
         ChooserResult::cancel()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString title;
        Qt::WindowFlags flags;
        whenModal([&](QWidget* window) {
            title = window->windowTitle();
            flags = window->windowFlags();
            c.act(window);
        });
        EXPECT_EQ(RouteChooser::ask(fromJane, "Draft a reply.", [] { return Chats{"Invoices", "Jane Doe"}; }), c.answer);
        EXPECT_EQ(title, "Tovrin");
        EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinMaxButtonsHint));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST(RouteChooser, TabVisitsEveryControlInReadingOrder) {
    std::vector<std::string> visited;
    whenModal([&](QWidget* window) {
        visited = pellora::testing::tabStops(named<QComboBox>(window, "Email field"));
        window->close();
    });
    RouteChooser::ask(fromJane, "", [] { return Chats{}; });
    EXPECT_EQ(visited, (std::vector<std::string>{"Email field", "Match", "Domain", "Send it to",
                                                 "Standing instructions (optional)", "Preview what Claude receives",
                                                 "Don't ask again. Always start a new chat when no route matches.",
                                                 "Cancel", "Just This Once", "Save"}));
}

TEST(RouteChooser, WithClaudeMissingTheChatListIsEmpty) {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard}; // no Claude installed
    const ClaudePlatform claude{desktop, desktop, desktop, pasteboard, clock};
    QStringList entries;
    whenModal([&](QWidget* window) {
        QTest::keyClick(named<QComboBox>(window, "Send it to"), Qt::Key_Home);
        QTest::mouseClick(button(window, "Refresh Chat List"), Qt::LeftButton);
        auto* chats = named<QComboBox>(window, "Chat");
        for (int index = 0; index < chats->count(); ++index)
            entries << chats->itemText(index);
        QTest::keyClick(chats, Qt::Key_Escape);
    });
    EXPECT_EQ(RouteChooser::ask(fromJane, "", [claude] { return ClaudeSidebar::chatTitles(claude); }),
              ChooserResult::cancel());
    EXPECT_EQ(entries, QStringList{"No chats found"});
}

// The shell's chooser answered by the real window.
class ChooserShellUI : public pellora::testing::ScriptedShellUI {
public:
    explicit ChooserShellUI(std::function<ClaudePlatform()> claude) : claude_(std::move(claude)) {}
    ChooserResult askForRoute(const Router::RouteSuggestion& suggestion, const std::string& previewPrompt) override {
        chooserCalls.push_back({suggestion, previewPrompt});
        const ClaudePlatform claude = claude_();
        return RouteChooser::ask(suggestion, previewPrompt, [claude] { return ClaudeSidebar::chatTitles(claude); });
    }

private:
    std::function<ClaudePlatform()> claude_;
};

struct SendFlowWithChooser : ::testing::Test {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
    ChooserShellUI ui{[this] { return ClaudePlatform{desktop, desktop, desktop, pasteboard, clock}; }};
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
        std::ofstream(path, std::ios::binary) << pellora::testing::eml("From: Jane Doe <jane@example.com>\r\n"
                                                                       "To: me@example.org\r\n"
                                                                       "Subject: Invoice 42\r\n"
                                                                       "Date: Mon, 04 May 2026 09:00:00 +0000\r\n"
                                                                       "Message-ID: <i42@example.com>\r\n",
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

    const Route saved{"example.com", MatchField::from, DestinationKind::chat, "Invoices", {}, {}};
    EXPECT_EQ(Config::load(UserFolders::pelloraSupport() / "config.json").routes, std::vector<Route>{saved});
    ASSERT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(claude->sentMessages()[0].place, SimClaude::Place::chat("invoices"));
    const auto entries = ActivityFile::load(UserFolders::pelloraSupport() / "activity.jsonl");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rule, "example.com");
    EXPECT_EQ(entries[0].destination, saved);
    EXPECT_TRUE(ui.alerts.empty());

    // The next email from there goes the same way without asking.
    sendAndFinish(Action::summary);
    EXPECT_EQ(ui.chooserCalls.size(), 1u);
    ASSERT_EQ(claude->sentMessages().size(), 2u);
    EXPECT_EQ(claude->sentMessages()[1].place, SimClaude::Place::chat("invoices"));
}

} // namespace
} // namespace pellora
