#include <gtest/gtest.h>

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
