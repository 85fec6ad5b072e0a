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

std::optional<Route> Route::fromFields(const Fields& fields) {
    // Older documents wrote "address", "chatTitle" and "chatURL"; the newer keys win.
    const auto text = [](std::optional<std::string_view> value) {
        return value ? std::optional<std::string>(*value) : std::nullopt;
    };
    Route result;
    result.domain = std::string(fields.domain ? *fields.domain : fields.address.value_or(""));
    if (fields.matchOn) {
        const auto matchOn = MatchField::fromRawValue(*fields.matchOn);
        if (!matchOn)
            return std::nullopt;
        result.matchOn = *matchOn;
    }
    if (fields.kind) {
        const auto kind = DestinationKind::fromRawValue(*fields.kind);
        if (!kind)
            return std::nullopt;
        result.kind = *kind;
    } else {
        result.kind = fields.chatTitle || fields.chatURL ? DestinationKind::chat : DestinationKind::newChat;
    }
    result.name = text(fields.name ? fields.name : fields.chatTitle);
    result.url = text(fields.url ? fields.url : fields.chatURL);
    result.instructions = text(fields.instructions);
    return result;
}

void from_json(const nlohmann::json& json, Route& route) {
    using namespace JsonFields;
    // Every present key is type-checked, also an older one that a newer one overrides.
    const auto text = [&](std::string_view key) -> std::optional<std::string_view> {
        if (const auto* value = member(json, key)) {
            if (!value->is_string())
                fail(*value, "expected a string");
            return value->get_ref<const std::string&>();
        }
        return std::nullopt;
    };
    const Route::Fields fields{text("domain"), text("address"), text("matchOn"), text("kind"),         text("name"),
                               text("chatTitle"), text("url"), text("chatURL"), text("instructions")};
    auto result = Route::fromFields(fields);
    if (!result)
        fail(json, "unknown raw value");
    route = std::move(*result);
}

} // namespace pellora
