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

std::optional<ActivityEntry::ID> ActivityEntry::ID::parse(std::string_view text) {
    // Read for every entry of a long log: one pass over a table.
    static constexpr auto hexValues = [] {
        std::array<std::int8_t, 256> values{};
        values.fill(-1);
        for (int i = 0; i < 10; ++i)
            values['0' + i] = std::int8_t(i);
        for (int i = 0; i < 6; ++i)
            values['a' + i] = values['A' + i] = std::int8_t(10 + i);
        return values;
    }();
    static constexpr std::size_t starts[16] = {0, 2, 4, 6, 9, 11, 14, 16, 19, 21, 24, 26, 28, 30, 32, 34};
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return std::nullopt;
    ID id;
    int invalid = 0;
    for (std::size_t i = 0; i < 16; ++i) {
        const int high = hexValues[std::uint8_t(text[starts[i]])], low = hexValues[std::uint8_t(text[starts[i] + 1])];
        invalid |= high | low; // negative when either is not a hexadecimal digit
        id.bytes_[i] = std::uint8_t(high << 4 | (low & 0x0F));
    }
    if (invalid < 0)
        return std::nullopt;
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
