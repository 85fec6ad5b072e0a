// Destinations, failures, the user's pasteboard and cancellation, against SimClaude.

#include <gtest/gtest.h>

#include "ClaudeDesk.h"
#include "Pellora/Claude/ClaudeError.h"
#include "Pellora/Platform/Workspace.h"

namespace pellora {
namespace {

using namespace testing;
using Place = SimClaude::Place;

class ClaudeBridgeDelivery : public ClaudeDeskTest {
protected:
    void SetUp() override {
        claude->addChat("Invoices", "c-1");
        claude->addChat("Receipts", "c-2", SimClaude::Row::link);
        claude->addProject("Acme Corp", "Client work for Acme", "p-1");
        claude->addProject("Beta", "", "p-2");
        pasteboard.writeItems(userPasteboard);
    }

    // Runs a delivery that must fail with this kind of ClaudeError; answers its text.
    std::string failingDelivery(ChatTarget target, ClaudeError::Kind kind) {
        try {
            deliver(std::move(target));
        } catch (const ClaudeError& error) {
            EXPECT_EQ(error.kind(), kind);
            return error.description();
        }
        ADD_FAILURE() << "no ClaudeError";
        return {};
    }

    // An image with its caption, and a second item: what a user might have copied.
    const std::vector<Pasteboard::Item> userPasteboard{
        {{"image/png", std::string("\x89PNG\r\n\x1a\n\0\xff\xfe", 11)},
         {Pasteboard::plainTextType, "caption \xc3\xbc"}},
        {{"text/html", "<b>caption</b>"}}};
};

TEST_F(ClaudeBridgeDelivery, OpensEachKindOfDestination) {
    startClaude();
    const struct {
        const char* name;
        ChatTarget target;
        Place place;
    } cases[] = {
        {"static text in a button", ChatTarget::sidebar("Invoices"), Place::chat("c-1")},
        {"link row", ChatTarget::sidebar("Receipts"), Place::chat("c-2")},
        {"card with a description", ChatTarget::project("acme corp", std::nullopt), Place::newChatInProject("p-1")},
        {"card with the name alone", ChatTarget::project("BETA", std::nullopt), Place::newChatInProject("p-2")},
        {"project link", ChatTarget::project("Acme Corp", "claude://claude.ai/project/p-1"),
         Place::newChatInProject("p-1")},
    };
    for (const auto& [name, target, place] : cases) {
        SCOPED_TRACE(name);
        deliver(target);
        EXPECT_EQ(claude->sentMessages().back().place, place);
    }
    // Only the project with a link went by link.
    EXPECT_EQ(claude->receivedLinks(), std::vector<std::string>{"claude://claude.ai/project/p-1"});
}

TEST_F(ClaudeBridgeDelivery, FailuresPasteNothingAndLeaveThePasteboardAsItWas) {
    startClaude();
    EXPECT_EQ(failingDelivery(ChatTarget::sidebar("Q3 plan"), ClaudeError::Kind::chatNotFound),
              "Couldn't find the chat \u201CQ3 plan\u201D in Claude's sidebar. Scroll it into view, or route this "
              "domain by chat link instead.");
    EXPECT_EQ(failingDelivery(ChatTarget::project("Gamma", std::nullopt), ClaudeError::Kind::projectNotFound),
              "Couldn't find the project \u201CGamma\u201D in Claude. Add the project's link in Settings \u2192 "
              "Routes for a more reliable match.");
    // Titles match exactly; a project name must be the card's whole first line.
    failingDelivery(ChatTarget::sidebar("invoices"), ClaudeError::Kind::chatNotFound);
    failingDelivery(ChatTarget::project("Acme", std::nullopt), ClaudeError::Kind::projectNotFound);
    // The workspace's own error passes unchanged.
    desktop.setOpenFailure(SimClaude::identifier, "The application could not be opened.");
    try {
        deliver(ChatTarget::link(chatLink));
        ADD_FAILURE() << "no error";
    } catch (const Workspace::Error& error) {
        EXPECT_EQ(error.description(), "The application could not be opened.");
    }
    EXPECT_TRUE(keyTimes(KeyEvents::keyV).empty());
    EXPECT_EQ(pasteboard.items(), userPasteboard);
}

TEST_F(ClaudeBridgeDelivery, NotTrustedOrNotInstalledFailsBeforeThePasteboardIsTouched) {
    const int changes = pasteboard.changeCount();
    desktop.setTrusted(false);
    EXPECT_EQ(failingDelivery(ChatTarget::newChat(), ClaudeError::Kind::noAccessibility),
              "Accessibility permission is required to paste into Claude. Enable Tovrin in System Settings \u2192 "
              "Privacy & Security \u2192 Accessibility.");
    EXPECT_EQ(desktop.trustPrompts(), 1);
    EXPECT_FALSE(desktop.isRunning(SimClaude::identifier));
    desktop.setTrusted(true);
    desktop.uninstall(SimClaude::identifier);
    EXPECT_EQ(failingDelivery(ChatTarget::newChat(), ClaudeError::Kind::notInstalled),
              "The Claude desktop app was not found.");
    EXPECT_EQ(pasteboard.changeCount(), changes);
}

TEST_F(ClaudeBridgeDelivery, CancellationFailsTheNextAttachmentPauseAndGivesThePasteboardBack) {
    const struct {
        double cancelAt;
        std::vector<double> pastes;
    } cases[] = {
        {1.5, {1.0, 1.36}}, // text at 1.0, settled at 1.36; the first file's pause would run to 1.66
        {0.5, {0.5, 0.5}},  // cuts the open delay short; text and first file still go in
    };
    for (const auto& [cancelAt, pastes] : cases) {
        SCOPED_TRACE(cancelAt);
        ClaudeDesk desk;
        desk.pasteboard.writeItems(userPasteboard);
        auto cancel = CancelToken::create();
        desk.clock.callAfter(Clock::Duration(cancelAt), [cancel]() mutable { cancel.cancel(); });

        EXPECT_THROW(desk.deliver(ChatTarget::link(chatLink), makeEmail(body, threeFiles()), true, cancel), Cancelled);

        expectTimes(desk.keyTimes(KeyEvents::keyV), pastes);
        EXPECT_TRUE(desk.keyTimes(KeyEvents::keyReturn).empty());
        EXPECT_SECONDS(desk.clock.now().count(), cancelAt);
        EXPECT_EQ(desk.pasteboard.items(), userPasteboard);
    }
}

TEST_F(ClaudeBridgeDelivery, RevealOpensTheDestinationWithoutPasting) {
    desktop.setTrusted(false);
    for (auto target : {ChatTarget::newChat(), ChatTarget::incognito()}) // at once, trust not even asked
        EXPECT_SECONDS(run(ClaudeBridge::reveal(platform, target)), 0.0);
    EXPECT_EQ(desktop.trustChecks(), 0);
    EXPECT_FALSE(desktop.isRunning(SimClaude::identifier));
    EXPECT_THROW(run(ClaudeBridge::reveal(platform, ChatTarget::sidebar("Invoices"))), ClaudeError);

    desktop.setTrusted(true);
    const int changes = pasteboard.changeCount();
    run(ClaudeBridge::reveal(platform, ChatTarget::link("claude://claude.ai/chat/c-2")));
    EXPECT_EQ(claude->place(), Place::chat("c-2"));
    run(ClaudeBridge::reveal(platform, ChatTarget::sidebar("Invoices")));
    EXPECT_EQ(claude->place(), Place::chat("c-1"));
    EXPECT_THROW(run(ClaudeBridge::reveal(platform, ChatTarget::sidebar("Drafts"))), ClaudeError);
    EXPECT_EQ(pasteboard.changeCount(), changes);
    EXPECT_TRUE(claude->receivedKeys().empty());
}

TEST_F(ClaudeBridgeDelivery, LongEmailWithThreeAttachmentsArrivesWholeAndThePasteboardComesBackByteForByte) {
    // 60,000 characters: 600 lines of 100, with letters beyond ASCII and a two-code-point emoji.
    const std::string line = "Zeile \u00FCber Rechnungen \U0001F44D\U0001F3FD " + std::string(75, 'x') + "\n";
    std::string longBody;
    for (int i = 0; i < 600; ++i)
        longBody += line;
    const auto files = threeFiles(1'000'000, 300, 0);

    run(ClaudeBridge::deliver(platform, makeEmail(longBody, files), ChatTarget::link(chatLink),
                              "Summarise this email.", true, config));

    ASSERT_EQ(claude->sentMessages().size(), 1u);
    const auto& message = claude->sentMessages()[0];
    EXPECT_EQ(message.place, Place::chat("c-1"));
    EXPECT_TRUE(message.text == "Summarise this email.\n\nFrom: Ann Example <ann@example.com>\nTo: me@example.org\n"
                                "Date: 5 March 2026 at 09:14\nSubject: Invoice 42\n\n" +
                                    longBody + "\n\nAttachments: a.pdf, b.png, c.txt");
    EXPECT_EQ(message.files, (std::vector<std::filesystem::path>{files[0], files[1], files[2]}));
    EXPECT_EQ(pasteboard.items(), userPasteboard);
}

} // namespace
} // namespace pellora
