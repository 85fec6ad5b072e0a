#include <cstdint>

#include <gtest/gtest.h>

#include "PelloraCore/Text.h"

using namespace pellora;

TEST(Text, TrimmingAtBothEndsAndWordsSplitAtUnicodeWhitespace) {
    EXPECT_EQ(Text::trimmed("\u0085\u00A0\u2028\u3000 a \u2029b\t\r\n\u000B\u000C"), "a \u2029b");
    EXPECT_EQ(Text::trimmed(" \n "), "");
    // Only spaces and tabs: line feeds and U+2028 stay.
    EXPECT_EQ(Text::trimmedSpaces("\t\u3000\nx\u2028 "), "\nx\u2028");
    EXPECT_EQ(Text::words("  two\u3000words\n "), (std::vector<std::string>{"two", "words"}));
    EXPECT_TRUE(Text::words(" \t ").empty());
}

TEST(Text, FullLowerCasingAndCharacterCounts) {
    EXPECT_EQ(Text::lowercased("İSTANBUL"), "i\u0307stanbul");
    EXPECT_EQ(Text::uppercased("straße"), "STRASSE");
    EXPECT_EQ(Text::lowercased("Ann <ANN@Example.COM> 42"), "ann <ann@example.com> 42");
    EXPECT_EQ(Text::uppercased("to: bob@x.org"), "TO: BOB@X.ORG");
}

TEST(Text, CharacterCountsJoinWhatUnicodeJoinsAlsoNextToAscii) {
    const std::pair<std::string, std::size_t> cases[] = {
        {"", 0},
        {"\r\n", 1},
        {"a\r\nb\r\r\n\n", 6}, // a, CR LF, b, CR, CR LF, LF
        {"e\u0301👍🏽ab", 4},
        {"cafe\u0301 au lait", 12}, // a combining accent after an ASCII letter
        {"\u06001", 1},             // a prepended sign before an ASCII digit
        {"a\u200Db", 2},            // a joiner joins to what precedes only
        {"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7!", 3},
        {"x\xFFy", 3}, // an ill-formed byte counts as one
        {std::string(59'990, 'a') + "\r\n\r\n\r\n\r\n\r\n", 59'995},
    };
    for (const auto& [text, count] : cases)
        EXPECT_EQ(Text::characterCount(text), count) << text.substr(0, 20);
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

TEST(Text, PrefixCountsUserPerceivedCharacters) {
    const std::tuple<const char*, std::size_t, const char*> cases[] = {
        {"abc", 2, "ab"}, {"abc", 5, "abc"}, {"e\u0301e\u0301e\u0301", 2, "e\u0301e\u0301"}, {"\r\nx", 1, "\r\n"}, {"", 3, ""}};
    for (const auto& [text, count, prefix] : cases)
        EXPECT_EQ(Text::prefix(text, count), prefix) << text << " " << count;
}
