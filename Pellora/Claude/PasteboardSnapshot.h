#pragma once

#include <vector>

#include "Pellora/Platform/Pasteboard.h"

namespace pellora {

// A copy of the general pasteboard's contents, so a delivery can borrow the pasteboard and
// give the user theirs back.
struct PasteboardSnapshot {
    // One entry per pasteboard item, each every readable type with its bytes; an item whose
    // types could not be read is kept, empty.
    std::vector<Pasteboard::Item> items;

    static PasteboardSnapshot capture(const Pasteboard& pasteboard);
    // Clears the pasteboard and writes the items back in one call; an empty snapshot leaves
    // it cleared.
    void restore(Pasteboard& pasteboard) const;

    bool operator==(const PasteboardSnapshot&) const = default;
};

} // namespace pellora
