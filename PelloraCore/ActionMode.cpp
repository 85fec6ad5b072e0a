#include "ActionMode.h"

#include <nlohmann/json.hpp>

#include "JsonFields.h"
#include "RawValues.h"

namespace pellora {
namespace {

struct Row {
    std::string_view rawValue;
    std::string_view title;
};

constexpr Row rows[] = {
    {"pasteOnly", "Paste the email only"},
    {"prompt", "Add a prompt to the email"},
};

} // namespace

std::string_view ActionMode::rawValue() const { return rows[value_].rawValue; }
std::string_view ActionMode::title() const { return rows[value_].title; }

std::optional<ActionMode> ActionMode::fromRawValue(std::string_view raw) {
    return caseWithRawValue<ActionMode>(raw);
}

const std::array<ActionMode, 2>& ActionMode::allCases() {
    static const std::array<ActionMode, 2> cases{pasteOnly, prompt};
    return cases;
}

void to_json(nlohmann::json& json, const ActionMode& mode) { json = mode.rawValue(); }
void from_json(const nlohmann::json& json, ActionMode& mode) {
    mode = JsonFields::rawValue<ActionMode>(json);
}

} // namespace pellora
