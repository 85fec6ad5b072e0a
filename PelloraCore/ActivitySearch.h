#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ByteBlock.h"
#include "Route.h"

namespace pellora {

struct ActivityEntry;

// A search of the activity log: every word of the query, lower-cased, must occur in an
// entry's searchable text (its ISO date, subject, sender, route text, action name and prompt
// joined by spaces and lower-cased), in any order, also inside longer words. A query without
// words matches every entry. Prepared once, it can be run over a whole log quickly; it keeps
// what it learns about the route texts it meets, so one object is not for two threads at once.
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

    // A log holds few distinct route texts (they follow from the rule and the destination):
    // which of the first 64 words each holds is worked out once.
    struct RouteSlot {
        std::uint64_t fingerprint;
        std::string rule;
        Route destination;
        std::uint64_t bits;
    };

    static bool contains(std::string_view piece, const Word& word);
    bool found(const ActivityEntry& entry, std::size_t word) const;
    std::uint64_t routeTextBits(const ActivityEntry& entry) const;

    std::string lowered_;
    std::vector<Word> words_;
    mutable std::array<std::optional<RouteSlot>, 16> routes_;
    mutable std::size_t nextRoute_ = 0;
};

} // namespace pellora
