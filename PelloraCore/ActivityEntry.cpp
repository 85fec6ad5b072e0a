#include "ActivityEntry.h"

#include <nlohmann/json.hpp>

#include "ActivitySearch.h"
#include "IsoDate.h"
#include "JsonFields.h"
#include "MailLink.h"
#include "Text.h"
#include "Uuid.h"

namespace pellora {

std::string ActivityEntry::newID() { return Text::uppercased(Uuid::random()); }

std::optional<std::string> ActivityEntry::mailURL() const { return MailLink::url(messageID); }

bool ActivityEntry::canOpenChat() const {
    const auto target = destination.target();
    return !target.is<ChatTarget::NewChat>() && !target.is<ChatTarget::Incognito>();
}

std::string ActivityEntry::routeText() const {
    if (rule.empty())
        return std::string(noRoutePrefix) + destination.destinationDescription();
    std::string text(destination.matchOn.title());
    text += ' ';
    text += rule;
    text += routeArrow;
    text += destination.destinationDescription();
    return text;
}

bool ActivityEntry::matches(std::string_view query) const {
    // The activity tab asks every entry the same query: prepare it once per thread.
    thread_local std::string lastQuery;
    thread_local std::optional<ActivitySearch> search;
    if (!search || lastQuery != query) {
        search.emplace(query);
        lastQuery = query;
    }
    return search->matches(*this);
}

void to_json(nlohmann::ordered_json& json, const ActivityEntry& entry) {
    json = nlohmann::ordered_json::object();
    json["id"] = entry.id;
    json["date"] = IsoDate::format(entry.date);
    json["subject"] = entry.subject;
    json["sender"] = entry.sender;
    json["messageID"] = entry.messageID;
    json["rule"] = entry.rule;
    json["destination"] = nlohmann::ordered_json(nlohmann::json(entry.destination));
    json["actionName"] = entry.actionName;
    json["mode"] = entry.mode.rawValue();
    json["prompt"] = entry.prompt;
}

void to_json(nlohmann::json& json, const ActivityEntry& entry) {
    json = nlohmann::json(nlohmann::ordered_json(entry));
}

void from_json(const nlohmann::json& json, ActivityEntry& entry) {
    using namespace JsonFields;
    const auto required = [&](std::string_view key) -> const nlohmann::json& {
        if (const auto* value = member(json, key))
            return *value;
        fail(json, "missing " + std::string(key));
    };
    ActivityEntry result;
    result.id = string(required("id"));
    if (!Uuid::isValid(result.id))
        fail(required("id"), "expected a UUID");
    result.id = Text::uppercased(result.id);
    const auto date = IsoDate::parse(string(required("date")));
    if (!date)
        fail(required("date"), "expected an ISO 8601 date");
    result.date = *date;
    result.subject = string(required("subject"));
    result.sender = string(required("sender"));
    result.messageID = string(required("messageID"));
    result.rule = string(required("rule"));
    const auto& destination = required("destination");
    requireObject(destination);
    result.destination = destination.get<Route>();
    result.actionName = string(required("actionName"));
    result.mode = rawValue<ActionMode>(required("mode"));
    result.prompt = string(required("prompt"));
    entry = std::move(result);
}

} // namespace pellora
