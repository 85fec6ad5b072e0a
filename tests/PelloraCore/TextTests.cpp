#include <gtest/gtest.h>

#include "PelloraCore/DateText.h"
#include "PelloraCore/ReferenceDate.h"
#include "PelloraCore/Text.h"

using namespace pellora;

TEST(Text, TrimmingRemovesUnicodeWhitespaceAtBothEndsOnly) {
    EXPECT_EQ(Text::trimmed("\u0085\u00A0\u2028\u3000 a \u2029b\t\r\n\u000B\u000C"), "a \u2029b");
    EXPECT_EQ(Text::trimmed(" \n "), "");
    // Only spaces and tabs: line feeds and U+2028 stay.
    EXPECT_EQ(Text::trimmedSpaces("\t\u3000\nx\u2028 "), "\nx\u2028");
}

TEST(Text, FullLowerCasingAndCharacterCounts) {
    EXPECT_EQ(Text::lowercased("İSTANBUL"), "i\u0307stanbul");
    EXPECT_EQ(Text::uppercased("straße"), "STRASSE");
    EXPECT_EQ(Text::characterCount("e\u0301👍🏽ab"), 4u);
    EXPECT_EQ(Text::characterCount(""), 0u);
    EXPECT_EQ(Text::characterCount("\r\n"), 1u);
}

TEST(Text, WordsSplitAtAnyWhitespace) {
    EXPECT_EQ(Text::words("  two\u3000words\n "), (std::vector<std::string>{"two", "words"}));
    EXPECT_TRUE(Text::words(" \t ").empty());
}

TEST(Text, PrefixCountsUserPerceivedCharacters) {
    const std::tuple<const char*, std::size_t, const char*> cases[] = {
        {"abc", 2, "ab"}, {"abc", 5, "abc"}, {"e\u0301e\u0301e\u0301", 2, "e\u0301e\u0301"}, {"\r\nx", 1, "\r\n"}, {"", 3, ""}};
    for (const auto& [text, count, prefix] : cases)
        EXPECT_EQ(Text::prefix(text, count), prefix) << text << " " << count;
}

TEST(Dates, ReferenceDatesAndTheirTextForPeople) {
    const std::chrono::sys_seconds morning{std::chrono::seconds(1796451543)}; // 2026-12-05T06:19:03Z
    EXPECT_EQ(ReferenceDate::from(morning), 818144343.0);
    EXPECT_EQ(ReferenceDate::to(818144343.5), morning + std::chrono::milliseconds(500));
    EXPECT_EQ(DateText::abbreviatedWithTime(morning, "en_US", "UTC"), "Dec 5, 2026, 6:19\u202FAM");
    EXPECT_EQ(DateText::abbreviatedWithTime(morning, "de_DE", "America/New_York"), "05.12.2026, 01:19");
}
