#pragma once

#include <cstdint>
#include <functional>

namespace pellora {

// The platform's system-wide shortcuts, keyed by macOS virtual key codes and Carbon modifier
// bits, whatever the platform underneath.
class HotKeys {
public:
    static constexpr int commandKey = 0x100;
    static constexpr int optionKey = 0x800;

    virtual ~HotKeys() = default;

    // Installs the one handler that receives the identifier of each registered shortcut
    // pressed. Called on the main thread, as are the handler's calls.
    virtual void installHandler(std::function<void(std::uint32_t id)> handler) = 0;
    // Registers one shortcut under `id`; false when the platform refused it (another
    // application holds the combination, or the platform has no global shortcuts).
    virtual bool registerHotKey(int keyCode, int modifiers, std::uint32_t id) = 0;
};

} // namespace pellora
