#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "ChatTarget.h"
#include "DestinationKind.h"
#include "MatchField.h"

namespace pellora {

// One routing rule: which emails (by address or domain, on one side) go where in Claude.
struct Route {
    std::string domain;
    MatchField matchOn = MatchField::to;
    DestinationKind kind = DestinationKind::newChat;
    std::optional<std::string> name;
    std::optional<std::string> url;
    std::optional<std::string> instructions;

    // matchOn's raw value, ":", then the pattern exactly as stored.
    std::string id() const;
    // Contains "@" and does not begin with it.
    bool isAddressRule() const;
    // A short text for lists ("New chat each time", "New chat in project: …").
    std::string destinationDescription() const;
    // What delivery acts on; falls back to a new chat when nothing usable is set.
    ChatTarget target() const;

    bool operator==(const Route&) const = default;
};

// The route object of config.json (and of activity entries). Reading also accepts the older
// keys "address", "chatTitle" and "chatURL"; a wrong type or raw value throws.
void to_json(nlohmann::json& json, const Route& route);
void from_json(const nlohmann::json& json, Route& route);

} // namespace pellora
