#include "ActivitySearch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "ActivityEntry.h"
#include "IsoDate.h"
#include "Text.h"

// The search text is six parts joined by single spaces and lower-cased as a whole. A query
// word holds no white space, so it can only occur inside one part: the parts are searched one
// by one without building the text, and the shared ones (sender, action name, prompt and the
// route text) once per combination that entries share. Lower-casing is the expensive step: ASCII
// words are compared by folding ASCII letters on the fly, sixteen positions at a time, and
// only text that full lower-casing could turn into a match goes through Text::lowercased.

namespace pellora {
namespace {

using ByteBlock::any;
using ByteBlock::isAscii;
using ByteBlock::load;
using ByteBlock::splat;
using Bytes = ByteBlock::Block;
constexpr std::size_t block = ByteBlock::size;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool equalFolded(const char* text, std::string_view word) {
    for (std::size_t i = 0; i < word.size(); ++i)
        if (asciiLower(text[i]) != word[i])
            return false;
    return true;
}

enum class Folded { found, absentAscii, absent };

// Of all non-ASCII characters only U+0130 (C4 B0) and U+212A (E2 84 AA) lower-case to text
// holding ASCII, in any context (checked over every code point); without them, ASCII text of
// the lower-cased piece is found by folding.
bool mayLowercaseToAscii(std::string_view piece) {
    return piece.find("\xC4\xB0") != std::string_view::npos || piece.find("\xE2\x84\xAA") != std::string_view::npos;
}

} // namespace

ActivitySearch::Needle::Needle(std::string_view text) : text(text), middle(text.size() / 2) {
    const auto byte = [](char c) { return splat(std::uint8_t(c)); };
    const auto fold = [](char c) { return splat(isAsciiLetter(c) ? 0x20 : 0); };
    first = byte(text.front());
    firstFold = fold(text.front());
    mid = byte(text[middle]);
    midFold = fold(text[middle]);
    last = byte(text.back());
    lastFold = fold(text.back());
}

namespace {

// Looks for the needle at the first `positions` (at least 16) positions of `data`, which
// holds at least positions + needle length - 1 bytes. Not found, it tells whether the
// bytes it read, when they cover all `size` bytes, were all ASCII.
template <class Needle>
Folded scanFolded(const char* data, std::size_t positions, std::size_t size, const Needle& needle) {
    const std::size_t n = needle.text.size();
    Bytes high{};
    const auto candidates = [&](std::size_t at) {
        const Bytes head = load(data + at), tail = load(data + at + n - 1);
        high |= head | tail;
        return ((head | needle.firstFold) == needle.first) & ((tail | needle.lastFold) == needle.last) &
               ((load(data + at + needle.middle) | needle.midFold) == needle.mid);
    };
    const auto verify = [&](std::size_t at, std::uint32_t bits) {
        for (; bits != 0; bits &= bits - 1)
            if (equalFolded(data + at + std::size_t(__builtin_ctz(bits)), needle.text))
                return true;
        return false;
    };
    std::size_t i = 0;
    for (; i + 2 * block <= positions; i += 2 * block) {
        const auto a = candidates(i), b = candidates(i + block);
        if (any(a | b) && (verify(i, ByteBlock::mask(a)) || verify(i + block, ByteBlock::mask(b))))
            return Folded::found;
    }
    for (; i < positions; i += block) {
        i = std::min(i, positions - block); // the last block overlaps the one before
        const auto a = candidates(i);
        if (any(a) && verify(i, ByteBlock::mask(a)))
            return Folded::found;
    }
    // The heads read bytes [0, positions), the tails [n - 1, positions + n - 1).
    const bool covered = n - 1 <= positions && positions + n - 1 >= size;
    return covered && !any((high & splat(0x80)) != splat(0)) ? Folded::absentAscii : Folded::absent;
}

// Looks for the needle in `text`, comparing ASCII letters without case.
template <class Needle> Folded findFolded(std::string_view text, const Needle& needle) {
    const std::size_t n = needle.text.size();
    if (text.size() < n)
        return isAscii(text) ? Folded::absentAscii : Folded::absent;
    const std::size_t positions = text.size() - n + 1;
    if (positions >= block)
        return scanFolded(text.data(), positions, text.size(), needle);
    // A short text is scanned in a zero-padded copy: the padding never matches the needle's
    // last byte, which is not zero.
    constexpr std::size_t padded = 64;
    if (n + block - 1 <= padded && needle.text.back() != '\0') {
        alignas(16) char copy[padded] = {};
        std::memcpy(copy, text.data(), text.size());
        return scanFolded(copy, block, text.size(), needle);
    }
    for (std::size_t k = 0; k < positions; ++k)
        if (equalFolded(text.data() + k, needle.text))
            return Folded::found;
    return isAscii(text) ? Folded::absentAscii : Folded::absent;
}

} // namespace

ActivitySearch::Word::Word(std::string_view text)
    : text(text), ascii(isAscii(text)),
      couldBeDate(text.find_first_not_of("0123456789-:tz") == std::string_view::npos) {
    if (ascii) {
        needle.emplace(text);
    } else {
        std::string_view run;
        for (std::size_t i = 0; i < text.size();) {
            std::size_t end = i;
            while (end < text.size() && std::uint8_t(text[end]) < 0x80)
                ++end;
            if (end - i > run.size())
                run = text.substr(i, end - i);
            i = end + 1;
        }
        if (!run.empty())
            needle.emplace(run);
    }
}

ActivitySearch::ActivitySearch(std::string_view query) {
    if (isAscii(query)) {
        lowered_.resize(query.size());
        std::transform(query.begin(), query.end(), lowered_.begin(), asciiLower);
    } else {
        lowered_ = Text::lowercased(query);
    }
    if (isAscii(lowered_)) {
        // Only ASCII white space can occur; most bytes are above it.
        const auto isSpace = [](char c) { return c <= ' ' && Text::isWhitespaceOrNewline(char32_t(c)); };
        for (std::size_t i = 0; i < lowered_.size();) {
            while (i < lowered_.size() && isSpace(lowered_[i]))
                ++i;
            const std::size_t start = i;
            while (i < lowered_.size() && !isSpace(lowered_[i]))
                ++i;
            if (i > start)
                words_.emplace_back(std::string_view(lowered_).substr(start, i - start));
        }
    } else {
        // Text::words copies; keep views into our own text instead.
        std::size_t from = 0;
        for (const auto& word : Text::words(lowered_)) {
            const std::size_t at = lowered_.find(word, from);
            words_.emplace_back(std::string_view(lowered_).substr(at, word.size()));
            from = at + word.size();
        }
    }
}

std::vector<std::string_view> ActivitySearch::words() const {
    std::vector<std::string_view> result;
    for (const auto& word : words_)
        result.push_back(word.text);
    return result;
}

bool ActivitySearch::contains(std::string_view piece, const Word& word) {
    if (word.ascii) {
        switch (findFolded(piece, *word.needle)) {
        case Folded::found: return true;
        case Folded::absentAscii: return false;
        case Folded::absent:
            if (!mayLowercaseToAscii(piece))
                return false;
            break;
        }
    } else {
        if (isAscii(piece))
            return false; // ASCII lower-cases to ASCII, which cannot hold this word
        // The word's ASCII run must be found too; that spares lower-casing most pieces.
        if (word.needle && findFolded(piece, *word.needle) != Folded::found && !mayLowercaseToAscii(piece))
            return false;
    }
    return Text::lowercased(piece).find(word.text) != std::string::npos;
}

namespace {

constexpr std::size_t slotCount = 512; // a power of two

// Nodes lie close together, so their addresses differ in few bits: mix them all through.
std::size_t slotOf(const ActivityEntry& entry) {
    std::uint64_t value = 0;
    for (const void* node : {entry.sender.node(), entry.actionName.node(), entry.prompt.node(), entry.rule.node(),
                             entry.destination.node()})
        value = (value + std::uint64_t(reinterpret_cast<std::uintptr_t>(node))) * 0x9E3779B97F4A7C15ull;
    value ^= value >> 29;
    value *= 0xBF58476D1CE4E5B9ull;
    value ^= value >> 32;
    return std::size_t(value) & (slotCount - 1);
}

} // namespace

bool ActivitySearch::SharedSlot::holds(const ActivityEntry& entry) const {
    return sender.sharesNodeWith(entry.sender) && actionName.sharesNodeWith(entry.actionName) &&
           prompt.sharesNodeWith(entry.prompt) && rule.sharesNodeWith(entry.rule) &&
           destination.sharesNodeWith(entry.destination);
}

bool ActivitySearch::foundInSharedParts(const ActivityEntry& entry, std::size_t w) const {
    const Word& word = words_[w];
    for (const std::string* part : {&entry.sender.get(), &entry.actionName.get(), &entry.prompt.get()})
        if (contains(*part, word))
            return true;
    return contains(entry.routeText(), word);
}

std::uint64_t ActivitySearch::sharedBits(const ActivityEntry& entry) const {
    if (slots_.empty())
        slots_.resize(slotCount);
    auto& slot = slots_[slotOf(entry)];
    if (slot && slot->holds(entry))
        return slot->bits;
    std::uint64_t bits = 0;
    for (std::size_t w = 0; w < std::min<std::size_t>(words_.size(), 64); ++w)
        if (foundInSharedParts(entry, w))
            bits |= std::uint64_t(1) << w;
    slot = SharedSlot{entry.sender, entry.actionName, entry.prompt, entry.rule, entry.destination, bits};
    return bits;
}

bool ActivitySearch::foundOutsideSharedParts(const ActivityEntry& entry, std::size_t w) const {
    const Word& word = words_[w];
    if (contains(entry.subject, word))
        return true;
    if (word.couldBeDate) {
        char date[20];
        IsoDate::formatInto(entry.date, date);
        std::transform(std::begin(date), std::end(date), std::begin(date), asciiLower);
        if (std::string_view(date, sizeof date).find(word.text) != std::string_view::npos)
            return true;
    }
    return false;
}

bool ActivitySearch::matches(const ActivityEntry& entry) const {
    // Searching a long log waits on memory as much as it computes: ask for the subject's
    // first bytes at once, so that the miss overlaps the work on the shared parts.
    __builtin_prefetch(entry.subject.data());
    if (words_.empty())
        return true;
    const std::uint64_t shared = sharedBits(entry);
    for (std::size_t w = 0; w < words_.size(); ++w) {
        const bool inShared = w < 64 ? (shared >> w) & 1 : foundInSharedParts(entry, w);
        if (!inShared && !foundOutsideSharedParts(entry, w))
            return false;
    }
    return true;
}

} // namespace pellora
