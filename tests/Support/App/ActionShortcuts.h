#pragma once

#include <string>
#include <vector>

#include "Pellora/Shell/HotKeyCenter.h"
#include "PelloraCore/Action.h"

namespace pellora::testing {

// Registers every action's shortcut in action order, as the delegate does at launch; each
// press appends the action's raw value to `pressed`. Returns the shown forms refused.
inline std::vector<std::string> registerActionShortcuts(HotKeyCenter& center,
                                                        std::vector<std::string>& pressed) {
    std::vector<std::string> refused;
    for (Action action : Action::allCases()) {
        const std::string name(action.rawValue());
        if (!center.registerHotKey(HotKeyCenter::keyCode(action), HotKeyCenter::actionModifiers,
                                   [&pressed, name] { pressed.push_back(name); }))
            refused.push_back(action.shortcutLabel());
    }
    return refused;
}

} // namespace pellora::testing
