#pragma once

#include <cstddef>
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

private:
    // Keys look into the nodes they map to, which no entry can change.
    std::unordered_map<std::string_view, SharedText> texts_;
};

} // namespace pellora
