#include "AnalyticsChoice.h"

#include <nlohmann/json.hpp>

#include "JsonFields.h"
#include "RawValues.h"

namespace pellora {
namespace {

constexpr std::string_view rawValues[] = {"unset", "shared", "notShared"};

} // namespace

std::string_view AnalyticsChoice::rawValue() const { return rawValues[value_]; }

std::optional<AnalyticsChoice> AnalyticsChoice::fromRawValue(std::string_view raw) {
    return caseWithRawValue<AnalyticsChoice>(raw);
}

const std::array<AnalyticsChoice, 3>& AnalyticsChoice::allCases() {
    static const std::array<AnalyticsChoice, 3> cases{unset, shared, notShared};
    return cases;
}

void to_json(nlohmann::json& json, const AnalyticsChoice& choice) { json = choice.rawValue(); }
void from_json(const nlohmann::json& json, AnalyticsChoice& choice) {
    choice = JsonFields::rawValue<AnalyticsChoice>(json);
}

} // namespace pellora
