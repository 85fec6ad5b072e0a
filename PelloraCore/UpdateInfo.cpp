#include "UpdateInfo.h"

#include <nlohmann/json.hpp>

#include "Checkin.h"
#include "JsonFields.h"
#include "Url.h"

namespace pellora {

void to_json(nlohmann::ordered_json& json, const UpdateInfo& update) {
    using Checkin::wireKey;
    json = nlohmann::ordered_json::object();
    json[wireKey("version")] = update.version;
    if (update.notes)
        json[wireKey("notes")] = *update.notes;
    json[wireKey("sha256")] = update.sha256;
    if (update.minMacos)
        json[wireKey("minMacos")] = *update.minMacos;
    json[wireKey("url")] = update.url;
}

void from_json(const nlohmann::json& json, UpdateInfo& update) {
    using namespace JsonFields;
    const auto fields = Checkin::withFieldNames(json);
    const auto required = [&](std::string_view field) -> std::string {
        if (const auto* value = member(fields, field))
            return string(*value);
        fail(fields, "missing " + std::string(field));
    };
    UpdateInfo result;
    result.version = required("version");
    result.notes = optionalString(fields, "notes");
    result.sha256 = required("sha256");
    result.minMacos = optionalString(fields, "minMacos");
    result.url = required("url");
    if (!Url::isAbsolute(result.url))
        fail(fields.at("url"), "expected an absolute URL");
    update = std::move(result);
}

} // namespace pellora
