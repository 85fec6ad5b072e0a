#pragma once

#include <array>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace pellora {

// Which side of an email a route matches.
class MatchField {
public:
    enum Value { to, from };

    constexpr MatchField(Value value) : value_(value) {}
    constexpr operator Value() const { return value_; }

    std::string_view rawValue() const;
    std::string_view title() const;   // "To", "From"
    std::string_view phrase() const;  // "sent to", "received from"

    static std::optional<MatchField> fromRawValue(std::string_view raw);
    static const std::array<MatchField, 2>& allCases();

private:
    Value value_;
};

void to_json(nlohmann::json& json, const MatchField& field);
void from_json(const nlohmann::json& json, MatchField& field);

} // namespace pellora
