#include <cstdint>

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

TEST(Text, NumericMeansANumericTypeOtherThanNone) {
    const std::pair<char32_t, bool> cases[] = {
        {U'7', true},      {U'\u0663', true},  {U'\u00B2', true}, {U'\u216B', true}, // 7 ٣ ² Ⅻ
        {U'\u4E94', true}, {U'\u842C', true}, // 五 萬: letters by category; 字 is not numeric
        {U'a', false},     {U'\u5B57', false}, {U'-', false},     {U'\uFFFD', false},
    };
    for (auto [c, numeric] : cases)
        EXPECT_EQ(Text::isNumeric(c), numeric) << std::hex << std::uint32_t(c);
}
