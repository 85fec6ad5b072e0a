#include "SettingsTabID.h"

#include "PelloraCore/RawValues.h"

namespace pellora {
namespace {

struct Row {
    std::string_view rawValue;
    std::string_view title;
    std::string_view symbol;
};

// The privacy and support tab is named for privacy, with the shield its banner also shows.
constexpr Row rows[] = {
    {"routes", "Routes", "arrow.triangle.branch"},
    {"prompts", "Prompts", "text.bubble"},
    {"activity", "Activity", "clock.arrow.circlepath"},
    {"general", "General", "gearshape"},
    {"account", "Privacy", "lock.shield.fill"},
};

} // namespace

std::string_view SettingsTabID::rawValue() const { return rows[value_].rawValue; }
std::string_view SettingsTabID::title() const { return rows[value_].title; }
std::string_view SettingsTabID::symbol() const { return rows[value_].symbol; }

std::optional<SettingsTabID> SettingsTabID::fromRawValue(std::string_view raw) {
    return caseWithRawValue<SettingsTabID>(raw);
}

const std::array<SettingsTabID, 5>& SettingsTabID::allCases() {
    static const std::array<SettingsTabID, 5> cases{routes, prompts, activity, general, account};
    return cases;
}

} // namespace pellora
