#include "UnavailableHotKeys.h"

namespace pellora {

// Nothing can ever be pressed, so the handler is not even kept.
void UnavailableHotKeys::installHandler(std::function<void(std::uint32_t)>) {}

bool UnavailableHotKeys::registerHotKey(int, int, std::uint32_t) {
    return false;
}

} // namespace pellora
