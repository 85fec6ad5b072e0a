#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "Shared.h"

namespace pellora {

// Interns texts while a file is read: the same text gives the same shared node, so a log
// that repeats a prompt 100,000 times holds it once. A pool lives for one load; what it
// handed out lives on in the entries.
class TextPool {
public:
    SharedText intern(std::string_view text);
    std::size_t size() const { return texts_.size(); }

    // A quick hash for tables that compare in full on a match: a text longer than 128 bytes
    // (a prompt) is told apart by its length and its first and last 16 bytes (repeated texts
    // are equal, different ones rarely agree there), so it costs no more than a short one.
    static std::uint64_t hash(std::string_view text);

private:
    struct Hash {
        std::size_t operator()(std::string_view text) const { return std::size_t(TextPool::hash(text)); }
    };
    // Keys look into the nodes they map to, which no entry can change.
    std::unordered_map<std::string_view, SharedText, Hash> texts_;
};

} // namespace pellora
