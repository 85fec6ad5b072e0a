#include <gtest/gtest.h>

#include "PelloraCore/ChatLink.h"
#include "PelloraCore/MailLink.h"
#include "PelloraCore/Url.h"

using namespace pellora;

// These expectations assume the default chat web host.
TEST(ChatLink, AppURL) {
    ASSERT_EQ(ChatLink::chatWebHost(), "claude.ai");
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"https://claude.ai/chat/0b1c-2d?x=1#f", "claude://claude.ai/chat/0b1c-2d?x=1#f"},
        {"HTTPS://Claude.AI/project/Ab", "claude://Claude.AI/project/Ab"},
        {"\n  https://claude.ai/chat/1 \u00A0\u2028", "claude://claude.ai/chat/1"},
        {"https://claude.ai", "claude://claude.ai"},
        {"CLAUDE://anything/at/all", "CLAUDE://anything/at/all"},
        {"claude:", "claude:"},
        {"http://claude.ai/chat/1", std::nullopt},
        {"https://www.claude.ai/chat/1", std::nullopt},
        {"https://claude.ai.evil.com/chat/1", std::nullopt},
        {"https://evil.com/claude.ai", std::nullopt},
        {"https:/chat/1", std::nullopt},
        {"claude.ai/chat/1", std::nullopt},
        {"https://claude.ai/chat/a b", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ChatLink::appURL(text), expected) << text;
    EXPECT_EQ(ChatLink::incognitoURL(), "claude://claude.ai/new?incognito");
}

TEST(MailLink, PercentEncodesAllButLettersMarksDigitsAndFourMarks) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"<a1+b=c@mail.example.com>", "message://%3Ca1%2Bb%3Dc%40mail.example.com%3E"},
        {"a1+b=c@mail.example.com", "message://%3Ca1%2Bb%3Dc%40mail.example.com%3E"},
        {" \n<<x-y.z_w~v>> ", "message://%3Cx-y.z_w~v%3E"},
        {"é\u0301日本٣@x", "message://%3Cé\u0301日本٣%40x%3E"},
        {"a b/c%<d>", "message://%3Ca%20b%2Fc%25%3Cd%3E"},
        {"ü€😀", "message://%3Cü%E2%82%AC%F0%9F%98%80%3E"},
        {"", std::nullopt},
        {" <> ", std::nullopt},
        {"<< >>", std::nullopt},
    };
    for (const auto& [id, expected] : cases)
        EXPECT_EQ(MailLink::url(id), expected) << id;
}

TEST(Url, ParseKeepsComponentsAsWritten) {
    EXPECT_EQ(Url::parse("HTTPS://u:p@[::1]:8080/a/b?q=1&r#frag"),
              (Url::Components{"HTTPS", "u:p", "[::1]", "8080", "/a/b", "q=1&r", "frag"}));
    EXPECT_EQ(Url::parse("mailto:ann@x.org"),
              (Url::Components{"mailto", std::nullopt, std::nullopt, std::nullopt, "ann@x.org", std::nullopt, std::nullopt}));
    EXPECT_FALSE(Url::parse("http://a b"));
    EXPECT_FALSE(Url::parse("1http://x"));
}
