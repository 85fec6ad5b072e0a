#include "Text.h"

#include <algorithm>
#include <climits>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include "ByteBlock.h"

namespace pellora::Text {
namespace {

icu::UnicodeString toUnicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// Decodes one code point at `i`, advancing it; ill-formed bytes read as U+FFFD.
char32_t next(std::string_view text, std::size_t& i) {
    UChar32 c;
    int32_t index = int32_t(i);
    U8_NEXT_OR_FFFD(reinterpret_cast<const uint8_t*>(text.data()), index, int32_t(text.size()), c);
    i = std::size_t(index);
    return char32_t(c);
}

template <class Predicate> std::string trimmedBy(std::string_view text, Predicate isTrimmed) {
    std::size_t begin = 0, end = text.size();
    while (begin < end) {
        std::size_t i = begin;
        if (!isTrimmed(next(text, i)))
            break;
        begin = i;
    }
    while (end > begin) {
        // Step back to the start of the last code point.
        int32_t index = int32_t(end);
        UChar32 c;
        U8_PREV_OR_FFFD(reinterpret_cast<const uint8_t*>(text.data()), int32_t(begin), index, c);
        if (!isTrimmed(char32_t(c)))
            break;
        end = std::size_t(index);
    }
    return std::string(text.substr(begin, end - begin));
}

} // namespace

bool isSpaceOrTab(char32_t c) { return c == U'\t' || u_charType(UChar32(c)) == U_SPACE_SEPARATOR; }

bool isWhitespaceOrNewline(char32_t c) {
    if (c == U'\t' || (c >= 0x0A && c <= 0x0D) || c == 0x85)
        return true;
    const auto type = u_charType(UChar32(c));
    return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

std::string trimmed(std::string_view text) { return trimmedBy(text, isWhitespaceOrNewline); }
std::string trimmedSpaces(std::string_view text) { return trimmedBy(text, isSpaceOrTab); }

// Full case mapping changes an ASCII letter into its ASCII partner and leaves every other ASCII
// character alone, so ASCII text (addresses, patterns, most queries) needs no ICU round trip.
std::string lowercased(std::string_view text) {
    if (ByteBlock::isAscii(text)) {
        std::string result(text);
        for (char& c : result)
            if (c >= 'A' && c <= 'Z')
                c = char(c + ('a' - 'A'));
        return result;
    }
    auto unicode = toUnicode(text);
    unicode.toLower(icu::Locale::getRoot());
    return toUtf8(unicode);
}

std::string uppercased(std::string_view text) {
    if (ByteBlock::isAscii(text)) {
        std::string result(text);
        for (char& c : result)
            if (c >= 'a' && c <= 'z')
                c = char(c - ('a' - 'A'));
        return result;
    }
    auto unicode = toUnicode(text);
    unicode.toUpper(icu::Locale::getRoot());
    return toUtf8(unicode);
}

namespace {

// ICU's character break iterator, one per thread, as making one costs more than counting a
// short text; null when ICU cannot make one.
icu::BreakIterator* characterIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_FAILURE(status) ? nullptr : std::move(made);
    }();
    return iterator.get();
}

// User-perceived characters of a text by ICU's rules.
std::size_t graphemeCount(std::string_view text) {
    const auto unicode = toUnicode(text);
    icu::BreakIterator* iterator = characterIterator();
    if (!iterator)
        return std::size_t(unicode.countChar32());
    iterator->setText(unicode);
    std::size_t count = 0;
    for (auto end = iterator->next(); end != icu::BreakIterator::DONE; end = iterator->next())
        ++count;
    return count;
}

} // namespace

std::size_t characterCount(std::string_view text) {
    // Between two ASCII characters there is always a break, except inside CR LF: no rule joins
    // them (what can join a character to the one before, or after, lies outside ASCII). So the
    // text is cut there, ASCII pieces are counted by hand, and only the pieces around other
    // characters go through ICU. A pasted email is mostly ASCII and counted many times over.
    if (ByteBlock::isAscii(text)) {
        std::size_t pairs = 0;
        for (auto at = text.find("\r\n"); at != std::string_view::npos; at = text.find("\r\n", at + 2))
            ++pairs;
        return text.size() - pairs;
    }
    const auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
    std::size_t count = 0, start = 0;
    bool pieceIsAscii = true;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        pieceIsAscii = pieceIsAscii && ascii(text[i - 1]);
        const bool cut = i == text.size() ||
                         (ascii(text[i - 1]) && ascii(text[i]) && !(text[i - 1] == '\r' && text[i] == '\n'));
        if (!cut)
            continue;
        // An ASCII piece is one character, or CR LF.
        count += pieceIsAscii ? 1 : graphemeCount(text.substr(start, i - start));
        start = i;
        pieceIsAscii = true;
    }
    return count;
}

std::string prefix(std::string_view text, std::size_t count) {
    const auto unicode = toUnicode(text);
    icu::BreakIterator* iterator = characterIterator();
    if (!iterator) // code points are the best there is then
        return toUtf8(unicode.tempSubString(0, unicode.moveIndex32(0, int32_t(std::min<std::size_t>(count, INT32_MAX)))));
    iterator->setText(unicode);
    int32_t end = 0;
    for (std::size_t taken = 0; taken < count; ++taken) {
        const auto next = iterator->next();
        if (next == icu::BreakIterator::DONE)
            break;
        end = next;
    }
    return toUtf8(unicode.tempSubString(0, end));
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> result;
    std::size_t i = 0, wordStart = 0;
    bool inWord = false;
    while (i < text.size()) {
        const std::size_t start = i;
        const bool space = isWhitespaceOrNewline(next(text, i));
        if (space && inWord) {
            result.emplace_back(text.substr(wordStart, start - wordStart));
            inWord = false;
        } else if (!space && !inWord) {
            wordStart = start;
            inWord = true;
        }
    }
    if (inWord)
        result.emplace_back(text.substr(wordStart));
    return result;
}

std::u32string codePoints(std::string_view text) {
    std::u32string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        result.push_back(next(text, i));
    return result;
}

std::string utf8(char32_t codePoint) {
    char buffer[U8_MAX_LENGTH];
    int32_t length = 0;
    UBool error = false;
    U8_APPEND(reinterpret_cast<uint8_t*>(buffer), length, U8_MAX_LENGTH, UChar32(codePoint), error);
    if (error)
        return "\xEF\xBF\xBD";
    return std::string(buffer, std::size_t(length));
}

std::string utf8(std::u32string_view points) {
    std::string result;
    result.reserve(points.size());
    for (char32_t c : points) {
        if (c < 0x80) {
            result += char(c);
            continue;
        }
        char buffer[U8_MAX_LENGTH];
        int32_t length = 0;
        UBool error = false;
        U8_APPEND(reinterpret_cast<uint8_t*>(buffer), length, U8_MAX_LENGTH, UChar32(c), error);
        result.append(error ? std::string_view("\xEF\xBF\xBD") : std::string_view(buffer, std::size_t(length)));
    }
    return result;
}

bool isLetter(char32_t c) { return u_isalpha(UChar32(c)) && (U_GET_GC_MASK(UChar32(c)) & U_GC_L_MASK); }
bool isMark(char32_t c) { return U_GET_GC_MASK(UChar32(c)) & U_GC_M_MASK; }
bool isDigit(char32_t c) { return u_charType(UChar32(c)) == U_DECIMAL_DIGIT_NUMBER; }
bool isNumeric(char32_t c) { return u_getIntPropertyValue(UChar32(c), UCHAR_NUMERIC_TYPE) != U_NT_NONE; }

} // namespace pellora::Text
