#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "UpdateInfo.h"

namespace pellora {

// One check-in response body; every field is optional.
struct CheckinResponse {
    std::optional<std::string> latestVersion; // carried, never acted on
    std::optional<UpdateInfo> update;         // present when an update is offered

    bool operator==(const CheckinResponse&) const = default;
};

void to_json(nlohmann::ordered_json& json, const CheckinResponse& response);
// Same rules as UpdateInfo's reading; the body must be an object.
void from_json(const nlohmann::json& json, CheckinResponse& response);

} // namespace pellora
