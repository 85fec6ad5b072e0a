#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ByteBlock.h"
#include "Route.h"
#include "Shared.h"

namespace pellora {

struct ActivityEntry;

// A search of the activity log: every word of the query, lower-cased, must occur in an
// entry's searchable text (its ISO date, subject, sender, route text, action name and prompt
// joined by spaces and lower-cased), in any order, also inside longer words. A query without
// words matches every entry. Prepared once, it can be run over a whole log quickly; it keeps
// what it learns about the shared parts it meets, so one object is not for two threads at once.
class ActivitySearch {
public:
    explicit ActivitySearch(std::string_view query);
    // Its words point into its own text.
    ActivitySearch(const ActivitySearch&) = delete;
    ActivitySearch& operator=(const ActivitySearch&) = delete;

    bool matches(const ActivityEntry& entry) const;

    // The lower-cased words, in query order.
    std::vector<std::string_view> words() const;

private:
    // An ASCII lower-case needle with what the block scan compares against: its first,
    // middle and last byte, and whether each is a letter (folded by setting bit 0x20).
    struct Needle {
        explicit Needle(std::string_view text);
        std::string_view text;
        std::size_t middle;
        ByteBlock::Block first, firstFold, mid, midFold, last, lastFold;
    };

    struct Word {
        explicit Word(std::string_view text);
        std::string_view text;
        bool ascii;
        bool couldBeDate;             // only characters a lower-cased ISO date holds
        std::optional<Needle> needle; // the word when ASCII, else its longest ASCII run
    };

    // A loaded log shares its senders, action names, prompts, rules and destinations between
    // entries (see Shared), and holds few distinct combinations of them: which of the first 64
    // words those parts (and the route text that follows from the last two) hold is worked
    // out once per combination. A slot keeps its parts alive, so a node it names cannot be
    // freed and its address reused for another text while the slot remembers it.
    struct SharedSlot {
        SharedText sender, actionName, prompt, rule;
        Shared<Route> destination;
        std::uint64_t bits = 0;
        bool holds(const ActivityEntry& entry) const;
    };

    static bool contains(std::string_view piece, const Word& word);
    bool foundOutsideSharedParts(const ActivityEntry& entry, std::size_t word) const;
    bool foundInSharedParts(const ActivityEntry& entry, std::size_t word) const;
    std::uint64_t sharedBits(const ActivityEntry& entry) const;

    std::string lowered_;
    std::vector<Word> words_;
    mutable std::vector<std::optional<SharedSlot>> slots_; // direct-mapped by the parts' nodes
};

} // namespace pellora
