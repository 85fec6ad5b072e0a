#pragma once

#include "Pellora/Platform/HotKeys.h"

namespace pellora {

// The platform without system-wide shortcuts (Wayland, or no X server at all): every
// registration is refused, so the launch alert names every shortcut.
class UnavailableHotKeys : public HotKeys {
public:
    void installHandler(std::function<void(std::uint32_t id)> handler) override;
    bool registerHotKey(int keyCode, int modifiers, std::uint32_t id) override;
};

} // namespace pellora
