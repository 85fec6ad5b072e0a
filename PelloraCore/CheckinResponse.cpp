#include "CheckinResponse.h"

#include <nlohmann/json.hpp>

#include "Checkin.h"
#include "JsonFields.h"

namespace pellora {

void to_json(nlohmann::ordered_json& json, const CheckinResponse& response) {
    using Checkin::wireKey;
    json = nlohmann::ordered_json::object();
    if (response.latestVersion)
        json[wireKey("latestVersion")] = *response.latestVersion;
    if (response.update)
        json[wireKey("update")] = *response.update;
}

void from_json(const nlohmann::json& json, CheckinResponse& response) {
    const auto fields = Checkin::withFieldNames(json);
    CheckinResponse result;
    result.latestVersion = JsonFields::optionalString(fields, "latestVersion");
    if (const auto* update = JsonFields::member(fields, "update"))
        result.update = update->get<UpdateInfo>();
    response = std::move(result);
}

} // namespace pellora
