#pragma once

#include <array>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace pellora {

// What kind of place in Claude a route sends email to.
class DestinationKind {
public:
    enum Value { chat, project, newChat, incognito };

    constexpr DestinationKind(Value value) : value_(value) {}
    constexpr operator Value() const { return value_; }

    std::string_view rawValue() const;
    std::string_view title() const;

    static std::optional<DestinationKind> fromRawValue(std::string_view raw);
    static const std::array<DestinationKind, 4>& allCases();

private:
    Value value_;
};

void to_json(nlohmann::json& json, const DestinationKind& kind);
void from_json(const nlohmann::json& json, DestinationKind& kind);

} // namespace pellora
