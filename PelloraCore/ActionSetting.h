#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "ActionMode.h"

namespace pellora {

// The user's overrides for one action; an absent field means the built-in default.
struct ActionSetting {
    std::optional<std::string> name;
    std::optional<ActionMode> mode;
    std::optional<std::string> prompt;

    bool isEmpty() const { return !name && !mode && !prompt; }
    bool operator==(const ActionSetting&) const = default;
};

// Keys "name", "mode", "prompt", each written only when present; null reads as absent.
void to_json(nlohmann::json& json, const ActionSetting& setting);
void from_json(const nlohmann::json& json, ActionSetting& setting);

} // namespace pellora
