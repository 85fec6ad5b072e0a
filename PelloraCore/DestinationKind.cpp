#include "DestinationKind.h"

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
    {"chat", "Existing chat"},
    {"project", "New chat in a project"},
    {"newChat", "New chat"},
    {"incognito", "Incognito chat"},
};

} // namespace

std::string_view DestinationKind::rawValue() const { return rows[value_].rawValue; }
std::string_view DestinationKind::title() const { return rows[value_].title; }

std::optional<DestinationKind> DestinationKind::fromRawValue(std::string_view raw) {
    return caseWithRawValue<DestinationKind>(raw);
}

const std::array<DestinationKind, 4>& DestinationKind::allCases() {
    static const std::array<DestinationKind, 4> cases{chat, project, newChat, incognito};
    return cases;
}

void to_json(nlohmann::json& json, const DestinationKind& kind) { json = kind.rawValue(); }
void from_json(const nlohmann::json& json, DestinationKind& kind) {
    kind = JsonFields::rawValue<DestinationKind>(json);
}

} // namespace pellora
