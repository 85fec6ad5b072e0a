#include "CheckinRequest.h"

#include <nlohmann/json.hpp>

#include "Checkin.h"
#include "JsonFields.h"
#include "RawValues.h"

namespace pellora {
namespace {

constexpr std::string_view wireValues[] = {"open", "update_check", "consent_change"};

} // namespace

std::string_view CheckinRequest::Event::rawValue() const { return wireValues[value_]; }

std::optional<CheckinRequest::Event> CheckinRequest::Event::fromRawValue(std::string_view raw) {
    return caseWithRawValue<CheckinRequest::Event>(raw);
}

const std::array<CheckinRequest::Event, 3>& CheckinRequest::Event::allCases() {
    static const std::array<Event, 3> cases{open, updateCheck, consentChange};
    return cases;
}

void to_json(nlohmann::json& json, const CheckinRequest::Event& event) { json = event.rawValue(); }
void from_json(const nlohmann::json& json, CheckinRequest::Event& event) {
    event = JsonFields::rawValue<CheckinRequest::Event>(json);
}

void to_json(nlohmann::ordered_json& json, const CheckinRequest& request) {
    using Checkin::wireKey;
    json = nlohmann::ordered_json::object();
    json[wireKey("deviceId")] = request.deviceId;
    json[wireKey("event")] = request.event.rawValue();
    if (request.action)
        json[wireKey("action")] = *request.action;
    json[wireKey("analytics")] = request.analytics;
    json[wireKey("wantsUpdate")] = request.wantsUpdate;
    json[wireKey("appVersion")] = request.appVersion;
    json[wireKey("macosVersion")] = request.macosVersion;
    json[wireKey("osLanguage")] = request.osLanguage;
}

void from_json(const nlohmann::json& json, CheckinRequest& request) {
    using namespace JsonFields;
    const auto fields = Checkin::withFieldNames(json);
    const auto required = [&](std::string_view field) -> const nlohmann::json& {
        if (const auto* value = member(fields, field))
            return *value;
        fail(fields, "missing " + std::string(field));
    };
    CheckinRequest result;
    result.deviceId = string(required("deviceId"));
    result.event = rawValue<CheckinRequest::Event>(required("event"));
    result.action = optionalString(fields, "action");
    result.analytics = boolean(required("analytics"));
    result.wantsUpdate = boolean(required("wantsUpdate"));
    result.appVersion = string(required("appVersion"));
    result.macosVersion = string(required("macosVersion"));
    result.osLanguage = string(required("osLanguage"));
    request = std::move(result);
}

} // namespace pellora
