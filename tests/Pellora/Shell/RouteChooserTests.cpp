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
#include <QToolButton>
#include <gtest/gtest.h>

#include "App/Driving.h"
#include "Pellora/Shell/RouteChooser.h"
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

} // namespace
} // namespace pellora
