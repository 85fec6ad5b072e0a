#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Every Unicode rule of the core goes through here (backed by ICU), so trimming, case
// mapping and character counting agree everywhere. Input is UTF-8; ill-formed sequences
// are read as U+FFFD.
namespace pellora::Text {

// Tab, U+000A–U+000D, U+0085 and the categories Zs, Zl and Zp.
bool isWhitespaceOrNewline(char32_t c);
// Tab and the category Zs (no line breaks).
bool isSpaceOrTab(char32_t c);

// Removes white space and newlines at both ends; the inside is never touched.
std::string trimmed(std::string_view text);
// Removes only spaces and tabs (tab, Zs) at both ends.
std::string trimmedSpaces(std::string_view text);

// Full Unicode case mapping (root locale): "İ" lower-cases to "i̇", "ß" upper-cases to "SS".
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

// User-perceived characters (extended grapheme clusters).
std::size_t characterCount(std::string_view text);
// The first `count` user-perceived characters; the whole text when it is not longer.
std::string prefix(std::string_view text, std::size_t count);

// Splits at runs of white space and newlines, dropping empty words.
std::vector<std::string> words(std::string_view text);

// Code points of a UTF-8 text, and back.
std::u32string codePoints(std::string_view text);
std::string utf8(std::u32string_view codePoints);
std::string utf8(char32_t codePoint);

// Unicode classes: letters (L*), combining marks (M*), decimal digits (Nd), and numeric
// characters (a numeric type other than none: Nd, Nl, No, and numerals such as "五", which
// are letters by category).
bool isLetter(char32_t c);
bool isMark(char32_t c);
bool isDigit(char32_t c);
bool isNumeric(char32_t c);

} // namespace pellora::Text
