// Destinations, failures, the user's pasteboard and cancellation, against SimClaude.

#include <gtest/gtest.h>

#include "ClaudeDesk.h"
#include "Pellora/Claude/ClaudeBridge.h"
#include "Pellora/Claude/ClaudeError.h"
#include "Pellora/Platform/Workspace.h"

namespace pellora {
namespace {

using testing::ClaudeDesk;
using testing::expectTimes;
using testing::makeEmail;
using testing::makeFile;
using Place = SimClaude::Place;

constexpr const char* body = "Please find the invoice attached.";

class ClaudeBridgeDelivery : public ::testing::Test, protected ClaudeDesk {
protected:
    Config config;

    void SetUp() override {
        claude->addChat("Invoices", "c-1");
        claude->addChat("Receipts", "c-2", SimClaude::Row::link);
        claude->addProject("Acme Corp", "Client work for Acme", "p-1");
        claude->addProject("Beta", "", "p-2");
        // An image with its caption, and a second item: what a user might have copied.
        pasteboard.writeItems({{{"image/png", std::string("\x89PNG\r\n\x1a\n\0\xff\xfe", 11)},
                                {Pasteboard::plainTextType, "caption \xc3\xbc"}},
                               {{"text/html", "<b>caption</b>"}}});
        userPasteboard = pasteboard.items();
    }

    void deliver(ChatTarget target, Email email = makeEmail(body), CancelToken cancel = {}) {
        run(ClaudeBridge::deliver(platform, std::move(email), std::move(target), "", true, config, cancel));
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

    std::vector<Pasteboard::Item> userPasteboard;
};

TEST_F(ClaudeBridgeDelivery, OpensASidebarChatByItsTitle) {
    startClaude();
    deliver(ChatTarget::sidebar("Invoices")); // a static text in a button: the button takes the press
    deliver(ChatTarget::sidebar("Receipts")); // a link

    ASSERT_EQ(claude->sentMessages().size(), 2u);
    EXPECT_EQ(claude->sentMessages()[0].place, Place::chat("c-1"));
    EXPECT_EQ(claude->sentMessages()[1].place, Place::chat("c-2"));
}

TEST_F(ClaudeBridgeDelivery, SidebarTitleNotFoundPastesNothingAndGivesThePasteboardBack) {
    startClaude();
    EXPECT_EQ(failingDelivery(ChatTarget::sidebar("Q3 plan"), ClaudeError::Kind::chatNotFound),
              "Couldn't find the chat \u201CQ3 plan\u201D in Claude's sidebar. Scroll it into view, or route this "
              "domain by chat link instead.");
    for (const char* title : {"Drafts", "invoices"}) {
        SCOPED_TRACE(title);
        std::string text = failingDelivery(ChatTarget::sidebar(title), ClaudeError::Kind::chatNotFound);
        EXPECT_NE(text.find(std::string("\u201C") + title + "\u201D"), std::string::npos) << text;
    }
    EXPECT_TRUE(keyTimes(KeyEvents::keyV).empty());
    EXPECT_EQ(pasteboard.items(), userPasteboard);
}

TEST_F(ClaudeBridgeDelivery, ProjectWithoutLinkIsFoundByItsCardIgnoringCase) {
    startClaude();
    deliver(ChatTarget::project("acme corp", std::nullopt)); // card reads "Acme Corp\nClient work for Acme"
    deliver(ChatTarget::project("BETA", std::nullopt));      // card reads "Beta"

    ASSERT_EQ(claude->sentMessages().size(), 2u);
    EXPECT_EQ(claude->sentMessages()[0].place, Place::newChatInProject("p-1"));
    EXPECT_EQ(claude->sentMessages()[1].place, Place::newChatInProject("p-2"));
}

TEST_F(ClaudeBridgeDelivery, ProjectNotFound) {
    startClaude();
    EXPECT_EQ(failingDelivery(ChatTarget::project("Gamma", std::nullopt), ClaudeError::Kind::projectNotFound),
              "Couldn't find the project \u201CGamma\u201D in Claude. Add the project's link in Settings \u2192 "
              "Routes for a more reliable match.");
    // "Acme" is only the start of the card's first line.
    failingDelivery(ChatTarget::project("Acme", std::nullopt), ClaudeError::Kind::projectNotFound);
    EXPECT_TRUE(keyTimes(KeyEvents::keyV).empty());
    EXPECT_EQ(pasteboard.items(), userPasteboard);
}

TEST_F(ClaudeBridgeDelivery, ProjectWithLinkIsOpenedByTheLinkAlone) {
    deliver(ChatTarget::project("Acme Corp", "claude://claude.ai/project/p-1"));

    EXPECT_EQ(claude->receivedLinks(), std::vector<std::string>{"claude://claude.ai/project/p-1"});
    EXPECT_EQ(claude->visitedPlaces().back(), Place::newChatInProject("p-1"));
    EXPECT_EQ(claude->sentMessages().at(0).place, Place::newChatInProject("p-1"));
}

TEST_F(ClaudeBridgeDelivery, ImageAndTextComeBackByteForByte) {
    deliver(ChatTarget::link("claude://claude.ai/chat/c-1"), makeEmail(body, {makeFile("a.pdf", 10)}));

    EXPECT_EQ(pasteboard.items(), userPasteboard);
    EXPECT_EQ(claude->sentMessages().at(0).files.size(), 1u);
}

TEST_F(ClaudeBridgeDelivery, NotTrustedFailsBeforeThePasteboardIsTouched) {
    desktop.setTrusted(false);
    const int changes = pasteboard.changeCount();

    EXPECT_EQ(failingDelivery(ChatTarget::newChat(), ClaudeError::Kind::noAccessibility),
              "Accessibility permission is required to paste into Claude. Enable Tovrin in System Settings \u2192 "
              "Privacy & Security \u2192 Accessibility.");
    EXPECT_EQ(pasteboard.changeCount(), changes);
    EXPECT_EQ(desktop.trustPrompts(), 1);
    EXPECT_FALSE(desktop.isRunning(SimClaude::identifier));
}

TEST_F(ClaudeBridgeDelivery, NotInstalledFailsBeforeThePasteboardIsTouched) {
    desktop.uninstall(SimClaude::identifier);
    const int changes = pasteboard.changeCount();

    EXPECT_EQ(failingDelivery(ChatTarget::newChat(), ClaudeError::Kind::notInstalled),
              "The Claude desktop app was not found.");
    EXPECT_EQ(pasteboard.changeCount(), changes);
}

TEST_F(ClaudeBridgeDelivery, WorkspaceErrorPassesUnchangedAndThePasteboardComesBack) {
    desktop.setOpenFailure(SimClaude::identifier, "The application could not be opened.");
    try {
        deliver(ChatTarget::link("claude://claude.ai/chat/c-1"));
        ADD_FAILURE() << "no error";
    } catch (const Workspace::Error& error) {
        EXPECT_EQ(error.description(), "The application could not be opened.");
    }
    EXPECT_EQ(pasteboard.items(), userPasteboard);
}

TEST_F(ClaudeBridgeDelivery, CancelledDuringTheAttachmentPauses) {
    auto cancel = CancelToken::create();
    // Text at 1.0, settled at 1.36; the first file's pause runs to 1.66.
    clock.callAfter(Clock::Duration(1.5), [cancel]() mutable { cancel.cancel(); });

    std::vector<std::string> files{makeFile("a.pdf", 0), makeFile("b.png", 0), makeFile("c.txt", 0)};
    EXPECT_THROW(deliver(ChatTarget::link("claude://claude.ai/chat/c-1"), makeEmail(body, files), cancel), Cancelled);

    expectTimes(keyTimes(KeyEvents::keyV), {1.0, 1.36});
    EXPECT_TRUE(keyTimes(KeyEvents::keyReturn).empty());
    EXPECT_SECONDS(clock.now().count(), 1.5);
    EXPECT_EQ(pasteboard.items(), userPasteboard);
}

TEST_F(ClaudeBridgeDelivery, CancelledDuringAWaitThatIgnoresItGoesOnToTheNextPause) {
    auto cancel = CancelToken::create();
    clock.callAfter(Clock::Duration(0.5), [cancel]() mutable { cancel.cancel(); });

    std::vector<std::string> files{makeFile("a.pdf", 0)};
    EXPECT_THROW(deliver(ChatTarget::link("claude://claude.ai/chat/c-1"), makeEmail(body, files), cancel), Cancelled);

    // The open delay ends early, the text and the first file still go in, the pause after it fails.
    expectTimes(keyTimes(KeyEvents::keyV), {0.5, 0.5});
    EXPECT_EQ(pasteboard.items(), userPasteboard);
}

TEST_F(ClaudeBridgeDelivery, RevealOfANewOrIncognitoChatReturnsAtOnceWithoutAskingForTrust) {
    desktop.setTrusted(false);
    for (auto target : {ChatTarget::newChat(), ChatTarget::incognito()})
        EXPECT_SECONDS(run(ClaudeBridge::reveal(platform, target)), 0.0);
    EXPECT_EQ(desktop.trustChecks(), 0);
    EXPECT_FALSE(desktop.isRunning(SimClaude::identifier));
}

TEST_F(ClaudeBridgeDelivery, RevealOpensTheDestinationWithoutPasting) {
    const int changes = pasteboard.changeCount();
    run(ClaudeBridge::reveal(platform, ChatTarget::link("claude://claude.ai/chat/c-2")));
    EXPECT_EQ(claude->place(), Place::chat("c-2"));

    run(ClaudeBridge::reveal(platform, ChatTarget::sidebar("Invoices")));
    EXPECT_EQ(claude->place(), Place::chat("c-1"));

    EXPECT_EQ(pasteboard.changeCount(), changes);
    EXPECT_TRUE(claude->receivedKeys().empty());
    EXPECT_THROW(run(ClaudeBridge::reveal(platform, ChatTarget::sidebar("Drafts"))), ClaudeError);

    desktop.setTrusted(false);
    EXPECT_THROW(run(ClaudeBridge::reveal(platform, ChatTarget::sidebar("Invoices"))), ClaudeError);
}

TEST_F(ClaudeBridgeDelivery, LongEmailWithThreeAttachmentsArrivesWhole) {
    // 60,000 characters: 600 lines of 100, with letters beyond ASCII and a two-code-point emoji.
    const std::string line = "Zeile \u00FCber Rechnungen \U0001F44D\U0001F3FD " + std::string(75, 'x') + "\n";
    std::string longBody;
    for (int i = 0; i < 600; ++i)
        longBody += line;
    std::vector<std::string> files{makeFile("a.pdf", 1'000'000), makeFile("b.png", 300), makeFile("c.txt", 0)};

    run(ClaudeBridge::deliver(platform, makeEmail(longBody, files), ChatTarget::link("claude://claude.ai/chat/c-1"),
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
