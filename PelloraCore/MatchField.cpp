#include "MatchField.h"

#include <nlohmann/json.hpp>

#include "JsonFields.h"
#include "RawValues.h"

namespace pellora {
namespace {

struct Row {
    std::string_view rawValue;
    std::string_view title;
    std::string_view phrase;
};

constexpr Row rows[] = {
    {"to", "To", "sent to"},
    {"from", "From", "received from"},
};

} // namespace

std::string_view MatchField::rawValue() const { return rows[value_].rawValue; }
std::string_view MatchField::title() const { return rows[value_].title; }
std::string_view MatchField::phrase() const { return rows[value_].phrase; }

std::optional<MatchField> MatchField::fromRawValue(std::string_view raw) {
    return caseWithRawValue<MatchField>(raw);
}

const std::array<MatchField, 2>& MatchField::allCases() {
    static const std::array<MatchField, 2> cases{to, from};
    return cases;
}

void to_json(nlohmann::json& json, const MatchField& field) { json = field.rawValue(); }
void from_json(const nlohmann::json& json, MatchField& field) {
    field = JsonFields::rawValue<MatchField>(json);
}

} // namespace pellora
