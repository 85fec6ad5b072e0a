#include "ActivityLineReader.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <simdjson.h>

#include "IsoDate.h"
#include "TextPool.h"

namespace pellora {
namespace {

namespace ondemand = simdjson::ondemand;
using simdjson::error_code;
using simdjson::SUCCESS;

static_assert(ActivityLineReader::padding >= simdjson::SIMDJSON_PADDING);

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// The ten keys of an entry in field order, and any other.
enum Key { id, date, subject, sender, messageID, rule, destination, actionName, mode, prompt, otherKey };
constexpr std::string_view keyNames[otherKey] = {"id",         "date",        "subject",    "sender", "messageID",
                                                 "rule",       "destination", "actionName", "mode",   "prompt"};

// The keys of a route object that the route rules read, and any other.
enum RouteKey { domain, address, matchOn, kind, name, chatTitle, url, chatURL, instructions, otherRouteKey };
constexpr std::string_view routeKeyNames[otherRouteKey] = {"domain", "address",   "matchOn", "kind",        "name",
                                                           "chatTitle", "url", "chatURL", "instructions"};

// Every key of every line is looked up: compare only with the names of the same length.
template <class K, std::size_t n> K named(std::string_view text, const std::string_view (&names)[n]) {
    for (std::size_t k = 0; k < n; ++k)
        if (names[k].size() == text.size() && std::memcmp(names[k].data(), text.data(), text.size()) == 0)
            return K(k);
    return K(n);
}

template <class Fields> auto& routeField(Fields& fields, RouteKey key) {
    switch (key) {
    case domain: return fields.domain;
    case address: return fields.address;
    case matchOn: return fields.matchOn;
    case kind: return fields.kind;
    case name: return fields.name;
    case chatTitle: return fields.chatTitle;
    case url: return fields.url;
    case chatURL: return fields.chatURL;
    default: return fields.instructions;
    }
}

// Containers nested deeper than this make a line unreadable. simdjson's own limit (1024)
// is only checked by assertions in debug builds; stopping short of it is the same everywhere.
constexpr int maximumDepth = 1000;

// Reads a value to its end. On-demand parsing checks only what it is asked for, so a value
// that nobody needs is walked all the same: a line with a broken value anywhere is not JSON.
// `depth` counts the containers around the value, the line's own object included.
error_code check(ondemand::value value, int depth) {
    ondemand::json_type type;
    if (const auto error = value.type().get(type))
        return error;
    if ((type == ondemand::json_type::object || type == ondemand::json_type::array) && depth >= maximumDepth)
        return simdjson::DEPTH_ERROR;
    switch (type) {
    case ondemand::json_type::object: {
        ondemand::object object;
        if (const auto error = value.get_object().get(object))
            return error;
        for (auto field : object) {
            std::string_view key;
            ondemand::value inner;
            if (const auto error = field.unescaped_key().get(key))
                return error;
            if (const auto error = field.value().get(inner))
                return error;
            if (const auto error = check(inner, depth + 1))
                return error;
        }
        return SUCCESS;
    }
    case ondemand::json_type::array: {
        ondemand::array array;
        if (const auto error = value.get_array().get(array))
            return error;
        for (auto element : array) {
            ondemand::value inner;
            if (const auto error = element.get(inner))
                return error;
            if (const auto error = check(inner, depth + 1))
                return error;
        }
        return SUCCESS;
    }
    case ondemand::json_type::string: {
        std::string_view text;
        return value.get_string().get(text);
    }
    case ondemand::json_type::number: {
        // As a double: any integer reads, and one beyond the double range does not, as with
        // the JSON library that writes the file.
        double number;
        return value.get_double().get(number);
    }
    case ondemand::json_type::boolean: {
        bool boolean;
        return value.get_bool().get(boolean);
    }
    case ondemand::json_type::null: {
        bool isNull = false;
        if (const auto error = value.is_null().get(isNull))
            return error;
        return isNull ? SUCCESS : simdjson::INCORRECT_TYPE;
    }
    }
    return simdjson::INCORRECT_TYPE;
}

// A key's last value, as far as the entry cares.
struct Slot {
    enum class Kind { missing, text, null, other } kind = Kind::missing;
    std::string_view text; // for Kind::text: unescaped, valid until the next line
};

error_code readSlot(ondemand::value value, Slot& slot, int depth) {
    // Texts first: a value of another type is left as it was and can be looked at again.
    const auto text = value.get_string().get(slot.text);
    if (text != simdjson::INCORRECT_TYPE) {
        slot.kind = Slot::Kind::text;
        return text;
    }
    ondemand::json_type type;
    if (const auto error = value.type().get(type))
        return error;
    slot.kind = type == ondemand::json_type::null ? Slot::Kind::null : Slot::Kind::other;
    return check(value, depth);
}

// A key as written when it holds no escape (nearly always: no copy is made), else unescaped.
// Stage one has checked that the key is a well-formed string, so its closing quote is there.
error_code keyOf(ondemand::field& field, std::string_view& key) {
    const char* const raw = field.key().raw();
    const char* end = raw;
    while (*end != '"' && *end != '\\')
        ++end;
    if (*end == '"') {
        key = std::string_view(raw, std::size_t(end - raw));
        return SUCCESS;
    }
    return field.unescaped_key().get(key);
}

struct DestinationSlot {
    enum class Kind { missing, object, other } kind = Kind::missing;
    Route::Fields fields;
    unsigned wrongKeys = 0; // route keys whose last value is neither text nor null
};

error_code readDestination(ondemand::value value, DestinationSlot& slot) {
    ondemand::json_type type;
    if (const auto error = value.type().get(type))
        return error;
    slot = {};
    if (type != ondemand::json_type::object) {
        slot.kind = DestinationSlot::Kind::other;
        return check(value, 1);
    }
    slot.kind = DestinationSlot::Kind::object;
    ondemand::object object;
    if (const auto error = value.get_object().get(object))
        return error;
    for (auto result : object) {
        ondemand::field field;
        std::string_view key;
        if (const auto error = std::move(result).get(field))
            return error;
        if (const auto error = keyOf(field, key))
            return error;
        ondemand::value& inner = field.value();
        const auto routeKey = named<RouteKey>(key, routeKeyNames);
        if (routeKey == otherRouteKey) {
            if (const auto error = check(inner, 2))
                return error;
            continue;
        }
        Slot read;
        if (const auto error = readSlot(inner, read, 2))
            return error;
        routeField(slot.fields, routeKey) =
            read.kind == Slot::Kind::text ? std::optional<std::string_view>(read.text) : std::nullopt;
        if (read.kind == Slot::Kind::other)
            slot.wrongKeys |= 1u << routeKey;
        else
            slot.wrongKeys &= ~(1u << routeKey);
    }
    return SUCCESS;
}

} // namespace

struct ActivityLineReader::State {
    ondemand::parser parser;
    TextPool texts;
    // Destinations by the fields they were read from: a log holds few, each thousands of times.
    struct KnownDestination {
        std::array<std::optional<std::string>, otherRouteKey> fields;
        Shared<Route> route;
    };
    std::vector<KnownDestination> destinations;
    std::unordered_map<std::uint64_t, std::size_t> destinationsByHash; // the first with that hash
    std::string copy;                                                 // a padded copy of a line for read()

    static std::uint64_t hash(const Route::Fields& fields) {
        std::uint64_t value = 0;
        for (int k = 0; k < otherRouteKey; ++k) {
            const auto& field = routeField(fields, RouteKey(k));
            value = (value + (field ? TextPool::hash(*field) : 0x5bd1e995u)) * 0x9E3779B97F4A7C15ull;
        }
        return value;
    }

    static bool same(const KnownDestination& known, const Route::Fields& fields) {
        for (int k = 0; k < otherRouteKey; ++k) {
            const auto& field = routeField(fields, RouteKey(k));
            const auto& knownField = known.fields[std::size_t(k)];
            if (field.has_value() != knownField.has_value() || (field && *field != *knownField))
                return false;
        }
        return true;
    }

    std::optional<Shared<Route>> route(const Route::Fields& fields) {
        const auto key = hash(fields);
        const auto found = destinationsByHash.find(key);
        if (found != destinationsByHash.end() && same(destinations[found->second], fields))
            return destinations[found->second].route;
        auto route = Route::fromFields(fields);
        if (!route)
            return std::nullopt;
        Shared<Route> shared(std::move(*route));
        if (found == destinationsByHash.end()) { // a different one with the same hash is read anew each time
            KnownDestination known{{}, shared};
            for (int k = 0; k < otherRouteKey; ++k)
                if (const auto& field = routeField(fields, RouteKey(k)))
                    known.fields[std::size_t(k)] = std::string(*field);
            destinationsByHash.emplace(key, destinations.size());
            destinations.push_back(std::move(known));
        }
        return shared;
    }

    bool read(std::string_view line, ActivityEntry& entry) {
        // The text ends at a NUL byte, as for the JSON library that writes the file: a log
        // whose end was filled with zeros by a crash still yields the entry before them.
        line = line.substr(0, line.find('\0'));
        if (line.starts_with(byteOrderMark))
            line.remove_prefix(byteOrderMark.size());
        ondemand::document document;
        if (parser.iterate(line.data(), line.size(), line.size() + padding).get(document))
            return false;
        ondemand::object object;
        if (document.get_object().get(object))
            return false;
        Slot slots[otherKey];
        DestinationSlot place;
        for (auto result : object) {
            ondemand::field field;
            std::string_view keyText;
            if (std::move(result).get(field) || keyOf(field, keyText))
                return false;
            ondemand::value& value = field.value();
            const auto key = named<Key>(keyText, keyNames);
            const error_code error = key == destination ? readDestination(value, place)
                                     : key == otherKey  ? check(value, 1)
                                                        : readSlot(value, slots[key], 1);
            if (error)
                return false;
        }
        // Nothing may follow the object.
        const char* rest = nullptr;
        if (document.current_location().get(rest) != simdjson::OUT_OF_BOUNDS)
            return false;

        for (int k = 0; k < otherKey; ++k)
            if (k != destination && slots[k].kind != Slot::Kind::text)
                return false;
        if (place.kind != DestinationSlot::Kind::object || place.wrongKeys != 0)
            return false;

        const auto parsedID = ActivityEntry::ID::parse(slots[id].text);
        const auto parsedDate = IsoDate::parse(slots[date].text);
        const auto parsedMode = ActionMode::fromRawValue(slots[mode].text);
        auto parsedDestination = route(place.fields);
        if (!parsedID || !parsedDate || !parsedMode || !parsedDestination)
            return false;
        entry.id = *parsedID;
        entry.date = *parsedDate;
        entry.subject.assign(slots[subject].text);
        entry.sender = texts.intern(slots[sender].text);
        entry.messageID.assign(slots[messageID].text);
        entry.rule = texts.intern(slots[rule].text);
        entry.destination = std::move(*parsedDestination);
        entry.actionName = texts.intern(slots[actionName].text);
        entry.mode = *parsedMode;
        entry.prompt = texts.intern(slots[prompt].text);
        return true;
    }
};

ActivityLineReader::ActivityLineReader() : state_(std::make_unique<State>()) {}
ActivityLineReader::~ActivityLineReader() = default;

bool ActivityLineReader::readPadded(std::string_view line, ActivityEntry& entry) { return state_->read(line, entry); }

bool ActivityLineReader::read(std::string_view line, ActivityEntry& entry) {
    auto& copy = state_->copy;
    copy.assign(line);
    copy.resize(line.size() + padding);
    return state_->read(std::string_view(copy.data(), line.size()), entry);
}

} // namespace pellora
