// The Claude stand-in keeps the contract the bridge and the sidebar reader rely on.

#include <gtest/gtest.h>

#include "Pellora/Claude/ClaudeSidebar.h"
#include "Pellora/Claude/ClaudeDesk.h"

namespace pellora {
namespace {

using Place = SimClaude::Place;
using Value = Accessibility::Value;

class SimClaudeTest : public ::testing::Test, protected testing::ClaudeDesk {
protected:
    Accessibility::Element appElement() {
        return desktop.applicationElement(desktop.runningApplications(SimClaude::identifier).at(0).processIdentifier);
    }
    std::optional<Value> appAttribute(std::string_view name) { return desktop.attribute(appElement(), name); }
    void exposeTree() { desktop.setAttribute(appElement(), "AXManualAccessibility", Value(true)); }

    void open(std::string url) {
        std::vector<std::string> urls{std::move(url)};
        run(desktop.openURLs(urls, *desktop.applicationLocation(SimClaude::identifier)));
    }
    void press(std::uint16_t key, std::uint64_t flags = KeyEvents::command) { desktop.postKeyStroke(key, flags); }
    std::vector<std::string> chromeAndChats() {
        std::vector<std::string> titles;
        auto app = ClaudeSidebar::runningApp(platform);
        for (const auto& item : ClaudeSidebar::collect(desktop, *app, ClaudeSidebar::Scope::sidebarOnly))
            titles.push_back(item.title);
        return titles;
    }
};

TEST_F(SimClaudeTest, ExposesItsWindowOnlyAfterManualAccessibilityIsSet) {
    claude->setWindowFrame(40, 30, 1100, 720);
    startClaude();
    EXPECT_EQ(appAttribute("AXFocusedWindow"), std::nullopt);
    EXPECT_EQ(appAttribute("AXWindows"), std::nullopt);
    EXPECT_EQ(appAttribute("AXFocusedUIElement"), std::nullopt);

    exposeTree();

    auto window = appAttribute("AXFocusedWindow");
    ASSERT_TRUE(window);
    auto element = std::get<Accessibility::Element>(*window);
    EXPECT_EQ(ClaudeSidebar::frame(desktop, element), (ClaudeSidebar::Rect{40, 30, 1100, 720}));
    EXPECT_EQ(appAttribute("AXWindows"), std::optional<Value>(std::vector<Accessibility::Element>{element}));
    EXPECT_EQ(ClaudeSidebar::focusedInputLength(platform), 0);
}

TEST_F(SimClaudeTest, SidebarHoldsClaudesControlsThenTheChats) {
    claude->addChat("Invoices", "c-1");
    claude->addChat("Receipts", "c-2", SimClaude::Row::link);
    startClaude();

    EXPECT_EQ(chromeAndChats(), (std::vector<std::string>{"Toggle sidebar", "New chat", "Search", "Chats", "Projects",
                                                          "Artifacts", "Recents", "Invoices", "Receipts"}));
    EXPECT_EQ(ClaudeSidebar::chatTitles(platform), (std::vector<std::string>{"Invoices", "Receipts"}));

    claude->setWindowFrame(600, 200, 900, 700); // moved: the rows move with it
    EXPECT_EQ(ClaudeSidebar::chatTitles(platform), (std::vector<std::string>{"Invoices", "Receipts"}));
}

TEST_F(SimClaudeTest, AStaticTextRowFailsItsOwnPressButItsButtonWorks) {
    claude->addChat("Invoices", "c-1");
    startClaude();
    auto items = ClaudeSidebar::collect(desktop, *ClaudeSidebar::runningApp(platform), ClaudeSidebar::Scope::sidebarOnly);
    auto row = std::find_if(items.begin(), items.end(), [](const auto& item) { return item.title == "Invoices"; });
    ASSERT_NE(row, items.end());

    EXPECT_EQ(ClaudeSidebar::role(desktop, row->element), "AXStaticText");
    EXPECT_FALSE(desktop.performAction(row->element, "AXPress"));
    EXPECT_TRUE(desktop.performAction(row->path.back(), "AXPress"));
    EXPECT_EQ(claude->place(), Place::chat("c-1"));
}

TEST_F(SimClaudeTest, DeepLinksOpenChatsProjectsAndIncognitoChats) {
    open("claude://claude.ai/chat/c-9");
    open("claude://claude.ai/project/p-3");
    open("claude://claude.ai/new?incognito");
    open("claude://claude.ai/new");
    open("claude://example.com/chat/c-1"); // not Claude's host: shows nothing new

    EXPECT_EQ(claude->visitedPlaces(), (std::vector<Place>{Place::newChat(), Place::chat("c-9"),
                                                           Place::newChatInProject("p-3"), Place::incognito(),
                                                           Place::newChat()}));
    EXPECT_EQ(claude->receivedLinks().size(), 5u);
}

TEST_F(SimClaudeTest, TheMessageBoxTakesTheFocusAfterTheFocusDelay) {
    claude->knobs.focusDelay = Clock::Duration(0.5);
    startClaude();
    exposeTree();
    press(KeyEvents::keyN);
    EXPECT_EQ(claude->place(), Place::newChat());
    EXPECT_FALSE(claude->messageBoxFocused());

    clock.advanceBy(Clock::Duration(0.45));
    EXPECT_EQ(ClaudeSidebar::focusedInputLength(platform), std::nullopt);
    clock.advanceBy(Clock::Duration(0.1));
    EXPECT_EQ(ClaudeSidebar::focusedInputLength(platform), 0);
    EXPECT_EQ(appAttribute("AXFocusedUIElement"), std::optional<Value>(claude->messageBoxElement()->handle()));
}

TEST_F(SimClaudeTest, FocusFailures) {
    claude->knobs.focus = SimClaude::Focus::button;
    startClaude();
    exposeTree();
    auto focused = appAttribute("AXFocusedUIElement");
    ASSERT_TRUE(focused);
    EXPECT_EQ(ClaudeSidebar::role(desktop, std::get<Accessibility::Element>(*focused)), "AXButton");
    EXPECT_EQ(ClaudeSidebar::focusedInputLength(platform), std::nullopt);

    claude->knobs.focus = SimClaude::Focus::nowhere;
    press(KeyEvents::keyN);
    clock.runUntilIdle();
    EXPECT_EQ(appAttribute("AXFocusedUIElement"), std::nullopt);
}

TEST_F(SimClaudeTest, ALongPasteArrivesInPieces) {
    claude->knobs.pastePieceSize = 4000;
    claude->knobs.pastePieceInterval = Clock::Duration(0.05);
    startClaude();
    pasteboard.setString(std::string(10'000, 'y'));

    press(KeyEvents::keyV);
    EXPECT_EQ(claude->messageBoxText().size(), 4000u);
    clock.advanceBy(Clock::Duration(0.05));
    EXPECT_EQ(claude->messageBoxText().size(), 8000u);
    clock.advanceBy(Clock::Duration(0.05));
    EXPECT_EQ(claude->messageBoxText().size(), 10'000u);
    EXPECT_FALSE(clock.hasPending());
}

TEST_F(SimClaudeTest, ReturnSendsTheTextAndTheFilesAndEmptiesTheBox) {
    open("claude://claude.ai/chat/c-1");
    clock.runUntilIdle();
    pasteboard.setString("Hello \u00FC");
    press(KeyEvents::keyV);
    pasteboard.writeFileURL("/tmp/dir with space/a.pdf");
    press(KeyEvents::keyV);
    pasteboard.writeFileURL("/tmp/b.png");
    press(KeyEvents::keyV);
    EXPECT_EQ(claude->pendingAttachments().size(), 2u);

    press(KeyEvents::keyReturn, 0);

    ASSERT_EQ(claude->sentMessages().size(), 1u);
    const auto& message = claude->sentMessages()[0];
    EXPECT_EQ(message.place, Place::chat("c-1"));
    EXPECT_EQ(message.text, "Hello \u00FC");
    EXPECT_EQ(message.files, (std::vector<std::filesystem::path>{"/tmp/dir with space/a.pdf", "/tmp/b.png"}));
    EXPECT_EQ(claude->messageBoxText(), "");
    EXPECT_TRUE(claude->pendingAttachments().empty());

    press(KeyEvents::keyReturn, 0); // nothing left to send
    EXPECT_EQ(claude->sentMessages().size(), 1u);
}

TEST_F(SimClaudeTest, APasteWithoutTheBoxFocusedGoesNowhere) {
    claude->knobs.focus = SimClaude::Focus::button;
    startClaude();
    pasteboard.setString("Hello");

    press(KeyEvents::keyV);
    press(KeyEvents::keyReturn, 0);

    EXPECT_EQ(claude->lostPastes(), 1);
    EXPECT_EQ(claude->messageBoxText(), "");
    EXPECT_TRUE(claude->sentMessages().empty());
}

TEST_F(SimClaudeTest, ProjectsShowCardsAfterADelayAndACardStartsAChatInItsProject) {
    claude->addProject("Acme Corp", "Client work", "p-1");
    claude->addProject("Beta", "", "p-2");
    claude->knobs.projectListDelay = Clock::Duration(0.4);
    startClaude();

    auto items = ClaudeSidebar::collect(desktop, *ClaudeSidebar::runningApp(platform), ClaudeSidebar::Scope::sidebarOnly);
    auto projects = std::find_if(items.begin(), items.end(), [](const auto& item) { return item.title == "Projects"; });
    ASSERT_TRUE(ClaudeSidebar::press(desktop, *projects));
    EXPECT_EQ(claude->place(), Place::projectList());
    EXPECT_FALSE(claude->projectListShown());

    clock.advanceBy(Clock::Duration(0.4));
    std::vector<std::string> cards;
    ClaudeSidebar::Item beta;
    for (const auto& item : ClaudeSidebar::collect(desktop, *ClaudeSidebar::runningApp(platform),
                                                   ClaudeSidebar::Scope::wholeWindow))
        if (item.rect.left() > claude->windowFrame().x + ClaudeSidebar::sidebarWidth && item.rect.height > 50) {
            cards.push_back(item.title);
            if (item.title == "Beta")
                beta = item;
        }
    EXPECT_EQ(cards, (std::vector<std::string>{"Acme Corp\nClient work", "Beta"}));

    ASSERT_TRUE(ClaudeSidebar::press(desktop, beta));
    EXPECT_EQ(claude->place(), Place::newChatInProject("p-2"));
    EXPECT_FALSE(claude->projectListShown());
}

} // namespace
} // namespace pellora
