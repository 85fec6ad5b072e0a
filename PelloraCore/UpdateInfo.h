#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace pellora {

// One downloadable update offered by the check-in server.
struct UpdateInfo {
    std::string version;
    std::optional<std::string> notes;
    std::string sha256;                 // hexadecimal; compare case-insensitively
    std::optional<std::string> minMacos; // absent or empty: no minimum
    std::string url;                    // an absolute URL

    bool operator==(const UpdateInfo&) const = default;
};

// The wire form with snake-case keys, optional fields only when present.
void to_json(nlohmann::ordered_json& json, const UpdateInfo& update);
// Missing or null optional fields read as absent, unknown keys are ignored; a missing
// required field, a wrong type or a "url" that is not an absolute URL throws
// nlohmann::json::exception.
void from_json(const nlohmann::json& json, UpdateInfo& update);

} // namespace pellora
