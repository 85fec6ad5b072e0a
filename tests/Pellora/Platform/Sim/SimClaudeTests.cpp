// What the Claude stand-in must get right for the bridge and sidebar tests to mean anything:
// the parts a careless stand-in would get wrong without any of them failing.

#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Pellora/Claude/ClaudeDesk.h"
#include "Pellora/Claude/ClaudeSidebar.h"

namespace pellora {
namespace {

using Place = SimClaude::Place;
using Value = Accessibility::Value;

class SimClaudeTest : public testing::ClaudeDeskTest {
protected:
    void press(std::uint16_t key, std::uint64_t flags = KeyEvents::command) { desktop.postKeyStroke(key, flags); }
};

TEST_F(SimClaudeTest, TreeShowsOnlyAfterManualAccessibilityAndARowNeedsItsButtonPressed) {
    claude->addChat("Invoices", "c-1");
    claude->setWindowFrame(40, 30, 1100, 720);
    startClaude();
    const auto running = ClaudeSidebar::runningApp(platform);
    const auto app = desktop.applicationElement(running->processIdentifier);
    for (const char* name : {"AXFocusedWindow", "AXWindows", "AXFocusedUIElement"})
        EXPECT_EQ(desktop.attribute(app, name), std::nullopt) << name;

    desktop.setAttribute(app, "AXManualAccessibility", Value(true));
    const auto window = desktop.attribute(app, "AXFocusedWindow");
    ASSERT_TRUE(window);
    EXPECT_EQ(ClaudeSidebar::frame(desktop, std::get<Accessibility::Element>(*window)),
              (ClaudeSidebar::Rect{40, 30, 1100, 720}));
    EXPECT_EQ(desktop.attribute(app, "AXFocusedUIElement"),
              std::optional<Value>(claude->messageBoxElement()->handle()));

    // The row is a static text whose own press fails; its button takes it.
    auto items = ClaudeSidebar::collect(desktop, *running, ClaudeSidebar::Scope::sidebarOnly);
    auto row = std::find_if(items.begin(), items.end(), [](const auto& item) { return item.title == "Invoices"; });
    ASSERT_NE(row, items.end());
    EXPECT_EQ(ClaudeSidebar::role(desktop, row->element), "AXStaticText");
    EXPECT_FALSE(desktop.performAction(row->element, "AXPress"));
    EXPECT_TRUE(desktop.performAction(row->path.back(), "AXPress"));
    EXPECT_EQ(claude->place(), Place::chat("c-1"));
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

TEST_F(SimClaudeTest, PastedFileReferencesBecomeAttachmentsSentWithTheText) {
    startClaude();
    pasteboard.setString("Hello \u00FC");
    press(KeyEvents::keyV);
    pasteboard.writeFileURL("/tmp/dir with space/a.pdf");
    press(KeyEvents::keyV);
    pasteboard.writeFileURL("/tmp/b.png");
    press(KeyEvents::keyV);

    press(KeyEvents::keyReturn, 0);

    ASSERT_EQ(claude->sentMessages().size(), 1u);
    EXPECT_EQ(claude->sentMessages()[0].text, "Hello \u00FC");
    EXPECT_EQ(claude->sentMessages()[0].files,
              (std::vector<std::filesystem::path>{"/tmp/dir with space/a.pdf", "/tmp/b.png"}));
    EXPECT_EQ(claude->messageBoxText(), "");
    EXPECT_TRUE(claude->pendingAttachments().empty());
}

// A window drawing Claude redraws on each notification; it must never be left showing an
// older state than the app's.
TEST_F(SimClaudeTest, EveryVisibleChangeIsAnnounced) {
    struct Seen {
        std::string place, box;
        std::size_t attachments = 0, sent = 0, chats = 0;
        bool operator==(const Seen&) const = default;
    };
    auto now = [&] {
        std::ostringstream place;
        place << claude->place();
        return Seen{place.str(), claude->messageBoxText(), claude->pendingAttachments().size(),
                    claude->sentMessages().size(), claude->chats().size()};
    };
    Seen lastSeen;
    int calls = 0;
    claude->addObserver([&] { lastSeen = now(); });
    const int counter = claude->addObserver([&] { ++calls; });

    const std::vector<std::pair<const char*, std::function<void()>>> steps{
        {"launch", [&] { startClaude(); }},
        {"chat added", [&] { claude->addChat("Invoices", "c-1"); }},
        {"link", [&] { claude->openURLs({"claude://claude.ai/chat/c-1"}); clock.runUntilIdle(); }},
        {"text pasted", [&] { pasteboard.setString(std::string(6000, 'x')); press(KeyEvents::keyV); clock.runUntilIdle(); }},
        {"file pasted", [&] { pasteboard.writeFileURL("/tmp/a.pdf"); press(KeyEvents::keyV); }},
        {"sent", [&] { press(KeyEvents::keyReturn, 0); }},
        {"new chat", [&] { press(KeyEvents::keyN); clock.runUntilIdle(); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        step();
        EXPECT_EQ(lastSeen, now());
    }
    EXPECT_EQ(lastSeen.sent, 1u);

    claude->removeObserver(counter);
    const int before = calls;
    press(KeyEvents::keyN);
    EXPECT_EQ(calls, before);
}

} // namespace
} // namespace pellora
