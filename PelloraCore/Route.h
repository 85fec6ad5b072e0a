#pragma once

#include <optional>
#include <string>
#include <string_view>

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

    // The text keys of a route object as read, before the reading rules apply (older key
    // names, the kind a route without one gets); absent for a missing or null key. Each JSON
    // reader that meets route objects collects these and leaves the rules to fromFields.
    struct Fields {
        std::optional<std::string_view> domain, address, matchOn, kind, name, chatTitle, url, chatURL, instructions;
        bool operator==(const Fields&) const = default;
    };
    // Absent when "matchOn" or "kind" is not one of their raw values.
    static std::optional<Route> fromFields(const Fields& fields);
};

// The route object of config.json (and of activity entries). Reading also accepts the older
// keys "address", "chatTitle" and "chatURL"; a wrong type or raw value throws.
void to_json(nlohmann::json& json, const Route& route);
void from_json(const nlohmann::json& json, Route& route);

} // namespace pellora
