#include "ActionSetting.h"

#include <nlohmann/json.hpp>

#include "JsonFields.h"

namespace pellora {

void to_json(nlohmann::json& json, const ActionSetting& setting) {
    json = nlohmann::json::object();
    if (setting.name)
        json["name"] = *setting.name;
    if (setting.mode)
        json["mode"] = *setting.mode;
    if (setting.prompt)
        json["prompt"] = *setting.prompt;
}

void from_json(const nlohmann::json& json, ActionSetting& setting) {
    ActionSetting result;
    result.name = JsonFields::optionalString(json, "name");
    result.mode = JsonFields::optionalRawValue<ActionMode>(json, "mode");
    result.prompt = JsonFields::optionalString(json, "prompt");
    setting = std::move(result);
}

} // namespace pellora
