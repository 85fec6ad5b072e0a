#include <gtest/gtest.h>

#include "PelloraCore/Email.h"
#include "PelloraCore/PromptBuilder.h"

using namespace pellora;

namespace {

Email makeEmail(std::vector<std::string> to, std::vector<std::string> cc, std::string body,
                std::vector<std::string> attachments) {
    return Email("Ann Lee <ann@example.com>", "Plans", "Monday, 3 March 2025 at 09:15", std::move(to),
                 std::move(cc), std::move(body), std::move(attachments), "id@example.com", std::nullopt, {});
}

} // namespace

TEST(EmailPrompt, Layout) {
    struct Case {
        const char* label;
        std::string instruction;
        std::vector<std::string> to, cc;
        std::string body;
        std::vector<std::string> attachments;
        std::string expected;
    };
    const Case cases[] = {
        {"every part", "Do it.\nNow.", {"bob@example.com", "cy@example.com"}, {"dee@example.com"}, "Hi\n\nBye\n",
         {"/tmp/Pellora-X/1-a.pdf", "/tmp/Pellora-X/2-b.png"},
         "Do it.\nNow.\n\nFrom: Ann Lee <ann@example.com>\nTo: bob@example.com, cy@example.com\nCc: dee@example.com\n"
         "Date: Monday, 3 March 2025 at 09:15\nSubject: Plans\n\nHi\n\nBye\n\n\nAttachments: 1-a.pdf, 2-b.png"},
        {"empty instruction and lists, empty body", "", {}, {}, "", {},
         "From: Ann Lee <ann@example.com>\nTo: \nDate: Monday, 3 March 2025 at 09:15\nSubject: Plans\n\n"},
        {"instruction of spaces is kept", "  ", {"b@x.org"}, {}, "Body", {},
         "  \n\nFrom: Ann Lee <ann@example.com>\nTo: b@x.org\nDate: Monday, 3 March 2025 at 09:15\n"
         "Subject: Plans\n\nBody"},
        {"one cc, body untouched", "", {}, {"c@x.org"}, "  Body  \n", {},
         "From: Ann Lee <ann@example.com>\nTo: \nCc: c@x.org\nDate: Monday, 3 March 2025 at 09:15\n"
         "Subject: Plans\n\n  Body  \n"},
        {"trailing slashes ignored in attachment names", "", {}, {}, "", {"/a/b/folder/", "plain.txt"},
         "From: Ann Lee <ann@example.com>\nTo: \nDate: Monday, 3 March 2025 at 09:15\nSubject: Plans\n\n\n\n"
         "Attachments: folder, plain.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(makeEmail(c.to, c.cc, c.body, c.attachments).prompt(c.instruction), c.expected) << c.label;
}

TEST(EmailPrompt, UnicodeAndLongTextsPassThrough) {
    const std::string body(100000, 'x');
    const auto email = Email("Zoë <zoe@exämple.de>", "Grüße 👋", "d", {}, {}, body, {}, "", std::nullopt, {});
    EXPECT_EQ(email.prompt(""), "From: Zoë <zoe@exämple.de>\nTo: \nDate: d\nSubject: Grüße 👋\n\n" + body);
}

TEST(PromptBuilder, RouteInstructionsJoinTheTrimmedActionPrompt) {
    // Without route instructions the action prompt passes through byte for byte.
    const std::string prompt = "\n  Summarise.\t\n";
    for (const auto& instructions : {std::optional<std::string>(), std::optional<std::string>(""),
                                     std::optional<std::string>(" \n\t\u00A0\u2028\u3000\u0085")})
        EXPECT_EQ(PromptBuilder::compose(prompt, instructions), prompt);

    EXPECT_EQ(PromptBuilder::compose("\nDraft a reply.\n", std::string("  Be formal.\n")),
              "Draft a reply.\n\nStanding instructions for this client:\nBe formal.");
    EXPECT_EQ(PromptBuilder::compose("\u3000 \n", std::string("\u00A0Sign as Ann.\u2028")),
              "Standing instructions for this client:\nSign as Ann.");
    EXPECT_EQ(PromptBuilder::compose("", std::string("x")), "Standing instructions for this client:\nx");
    // Inner line breaks survive.
    EXPECT_EQ(PromptBuilder::compose("A\n\nB", std::string("one\n two ")),
              "A\n\nB\n\nStanding instructions for this client:\none\n two");
}
