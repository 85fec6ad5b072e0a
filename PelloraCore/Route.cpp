#include "Route.h"

#include <nlohmann/json.hpp>

#include "ChatLink.h"
#include "JsonFields.h"
#include "Text.h"

namespace pellora {

std::string Route::id() const { return std::string(matchOn.rawValue()) + ":" + domain; }

bool Route::isAddressRule() const {
    return domain.find('@') != std::string::npos && domain.front() != '@';
}

std::string Route::destinationDescription() const {
    const std::string trimmedName = name ? Text::trimmedSpaces(*name) : std::string();
    switch (kind) {
    case DestinationKind::chat:
        if (!trimmedName.empty())
            return trimmedName;
        if (url)
            return *url;
        return std::string(DestinationKind(DestinationKind::chat).title());
    case DestinationKind::project:
        return "New chat in project: " + (!trimmedName.empty() ? trimmedName : url.value_or(""));
    case DestinationKind::newChat:
        return "New chat each time";
    case DestinationKind::incognito:
        return std::string(DestinationKind(DestinationKind::incognito).title());
    }
    return {};
}

ChatTarget Route::target() const {
    const std::optional<std::string> link = url ? ChatLink::appURL(*url) : std::nullopt;
    const std::string title = name ? Text::trimmedSpaces(*name) : std::string();
    switch (kind) {
    case DestinationKind::chat:
        if (link)
            return ChatTarget::link(*link);
        if (!title.empty())
            return ChatTarget::sidebar(title);
        return ChatTarget::newChat();
    case DestinationKind::project:
        if (link || !title.empty())
            return ChatTarget::project(title, link);
        return ChatTarget::newChat();
    case DestinationKind::newChat:
        return ChatTarget::newChat();
    case DestinationKind::incognito:
        return ChatTarget::incognito();
    }
    return ChatTarget::newChat();
}

void to_json(nlohmann::json& json, const Route& route) {
    json = nlohmann::json::object();
    json["domain"] = route.domain;
    json["matchOn"] = route.matchOn;
    json["kind"] = route.kind;
    if (route.name)
        json["name"] = *route.name;
    if (route.url)
        json["url"] = *route.url;
    if (route.instructions)
        json["instructions"] = *route.instructions;
}

void from_json(const nlohmann::json& json, Route& route) {
    using namespace JsonFields;
    // Older documents wrote "address", "chatTitle" and "chatURL"; the newer keys win, but
    // every present key is type-checked either way.
    const auto domain = optionalString(json, "domain");
    const auto address = optionalString(json, "address");
    const auto name = optionalString(json, "name");
    const auto chatTitle = optionalString(json, "chatTitle");
    const auto url = optionalString(json, "url");
    const auto chatURL = optionalString(json, "chatURL");

    Route result;
    result.domain = domain ? *domain : address.value_or("");
    result.matchOn = optionalRawValue<MatchField>(json, "matchOn").value_or(MatchField::to);
    const auto kind = optionalRawValue<DestinationKind>(json, "kind");
    if (kind)
        result.kind = *kind;
    else
        result.kind = chatTitle || chatURL ? DestinationKind::chat : DestinationKind::newChat;
    result.name = name ? name : chatTitle;
    result.url = url ? url : chatURL;
    result.instructions = optionalString(json, "instructions");
    route = std::move(result);
}

} // namespace pellora
