#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "ActionMode.h"

namespace pellora {

// The six things a user can ask for, in menu order.
class Action {
public:
    enum Value { reply, summary, research, custom1, custom2, pasteOnly };

    constexpr Action(Value value) : value_(value) {}
    constexpr operator Value() const { return value_; }

    std::string_view rawValue() const;
    std::string_view defaultName() const;
    std::string_view placeholderName() const;
    ActionMode defaultMode() const;
    // The key of the action's global shortcut with Option and Command ("r", "1", …).
    std::string_view keyEquivalent() const;
    // "⌥⌘" and the key in upper case, e.g. "⌥⌘R".
    std::string shortcutLabel() const;
    // The built-in prompt; empty for the custom actions and paste-only.
    std::string_view defaultInstruction() const;

    static std::optional<Action> fromRawValue(std::string_view raw);
    static const std::array<Action, 6>& allCases();

private:
    Value value_;
};

void to_json(nlohmann::json& json, const Action& action);
void from_json(const nlohmann::json& json, Action& action);

} // namespace pellora
