#pragma once

#include <array>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace pellora {

// How an action fills the chat. Its raw value is its identity and its JSON form.
class ActionMode {
public:
    enum Value { pasteOnly, prompt };

    constexpr ActionMode(Value value) : value_(value) {}
    constexpr operator Value() const { return value_; }

    std::string_view rawValue() const;
    std::string_view title() const;

    static std::optional<ActionMode> fromRawValue(std::string_view raw);
    static const std::array<ActionMode, 2>& allCases();

private:
    Value value_;
};

// Throws nlohmann::json::exception for anything but one of the raw values.
void to_json(nlohmann::json& json, const ActionMode& mode);
void from_json(const nlohmann::json& json, ActionMode& mode);

} // namespace pellora
