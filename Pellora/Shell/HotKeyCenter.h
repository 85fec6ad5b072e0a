#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PelloraCore/Action.h"

namespace pellora {

class HotKeys;

// The registry of the application's system-wide shortcuts: hands each registration an
// identifier of its own and calls the right handler when the platform reports a press.
// Registrations last until the process ends.
class HotKeyCenter {
public:
    // The application's signature, "KQZ1", shared by all its shortcuts.
    static constexpr std::uint32_t signature = 0x4B515A31;
    // Command + Option.
    static constexpr int actionModifiers = 0x900;

    explicit HotKeyCenter(HotKeys& platform);

    // Registers one shortcut; true when the platform accepted it. The identifier is used up
    // either way. Main thread only.
    bool registerHotKey(int keyCode, int modifiers, std::function<void()> handler);

    // The action's key as a macOS virtual key code of the US layout (R is 15).
    static int keyCode(Action action);

    // The launch alert's informative text for the shortcuts that could not be registered,
    // given in their shown form ("⌥⌘S"), in action order.
    static std::string unavailableText(const std::vector<std::string>& shownForms);

    std::uint32_t nextID() const { return nextID_; }

private:
    using Handlers = std::map<std::uint32_t, std::function<void()>>;

    HotKeys& platform_;
    // Shared with the platform's handler, which may outlive the registry.
    std::shared_ptr<Handlers> handlers_ = std::make_shared<Handlers>();
    std::vector<std::uint32_t> refs_;
    std::uint32_t nextID_ = 1;
    bool handlerInstalled_ = false;
};

} // namespace pellora
