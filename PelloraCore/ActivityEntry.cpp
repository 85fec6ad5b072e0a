#include "ActivityEntry.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "ActivitySearch.h"
#include "IsoDate.h"
#include "MailLink.h"
#include "Text.h"
#include "Uuid.h"

namespace pellora {

std::string ActivityEntry::newID() { return Text::uppercased(Uuid::random()); }

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10; // Uuid::isValid has let only hexadecimal digits through
}

} // namespace

std::optional<ActivityEntry::ID> ActivityEntry::ID::parse(std::string_view text) {
    if (!Uuid::isValid(text))
        return std::nullopt;
    ID id;
    std::size_t at = 0;
    for (auto& byte : id.bytes_) {
        if (text[at] == '-')
            ++at;
        byte = std::uint8_t(hexValue(text[at]) << 4 | hexValue(text[at + 1]));
        at += 2;
    }
    return id;
}

ActivityEntry::ID::ID(std::string_view text) {
    const auto parsed = parse(text);
    if (!parsed)
        throw std::invalid_argument("not a UUID: " + std::string(text));
    *this = *parsed;
}

std::string ActivityEntry::ID::text() const {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += hex[bytes_[i] >> 4];
        text += hex[bytes_[i] & 0x0F];
    }
    return text;
}

std::optional<std::string> ActivityEntry::mailURL() const { return MailLink::url(messageID); }

bool ActivityEntry::canOpenChat() const {
    const auto target = destination->target();
    return !target.is<ChatTarget::NewChat>() && !target.is<ChatTarget::Incognito>();
}

std::string ActivityEntry::routeText() const {
    if (rule.empty())
        return std::string(noRoutePrefix) + destination->destinationDescription();
    std::string text(destination->matchOn.title());
    text += ' ';
    text += rule.get();
    text += routeArrow;
    text += destination->destinationDescription();
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
    json["id"] = entry.id.text();
    json["date"] = IsoDate::format(entry.date);
    json["subject"] = entry.subject;
    json["sender"] = entry.sender.get();
    json["messageID"] = entry.messageID;
    json["rule"] = entry.rule.get();
    json["destination"] = nlohmann::ordered_json(nlohmann::json(entry.destination.get()));
    json["actionName"] = entry.actionName.get();
    json["mode"] = entry.mode.rawValue();
    json["prompt"] = entry.prompt.get();
}

void to_json(nlohmann::json& json, const ActivityEntry& entry) {
    json = nlohmann::json(nlohmann::ordered_json(entry));
}

} // namespace pellora
