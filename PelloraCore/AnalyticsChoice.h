#pragma once

#include <array>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace pellora {

// The user's consent to share usage information; encodes as its bare raw value.
class AnalyticsChoice {
public:
    enum Value { unset, shared, notShared };

    constexpr AnalyticsChoice(Value value) : value_(value) {}
    constexpr operator Value() const { return value_; }

    std::string_view rawValue() const;

    static std::optional<AnalyticsChoice> fromRawValue(std::string_view raw);
    static const std::array<AnalyticsChoice, 3>& allCases();

private:
    Value value_;
};

void to_json(nlohmann::json& json, const AnalyticsChoice& choice);
void from_json(const nlohmann::json& json, AnalyticsChoice& choice);

} // namespace pellora
