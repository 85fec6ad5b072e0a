#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace pellora {

// The tabs of the settings window, in the order of the tab bar.
class SettingsTabID {
public:
    enum Value { routes, prompts, activity, general, account };

    constexpr SettingsTabID(Value value) : value_(value) {}
    constexpr operator Value() const { return value_; }

    std::string_view rawValue() const;
    std::string_view title() const;
    // The system symbol drawn above the title.
    std::string_view symbol() const;

    static std::optional<SettingsTabID> fromRawValue(std::string_view raw);
    static const std::array<SettingsTabID, 5>& allCases();

private:
    Value value_;
};

} // namespace pellora
