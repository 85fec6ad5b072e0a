#include "Pellora/Claude/PasteboardSnapshot.h"

namespace pellora {

PasteboardSnapshot PasteboardSnapshot::capture(const Pasteboard& pasteboard) {
    return PasteboardSnapshot{pasteboard.items()};
}

void PasteboardSnapshot::restore(Pasteboard& pasteboard) const {
    pasteboard.clear();
    if (!items.empty())
        pasteboard.writeItems(items);
}

} // namespace pellora
