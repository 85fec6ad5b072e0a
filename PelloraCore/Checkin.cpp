#include "Checkin.h"

#include <nlohmann/json.hpp>

#include "AppVersion.h"

namespace pellora::Checkin {
namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

template <class Record> Record decode(std::string_view body) {
    try {
        return nlohmann::json::parse(body).get<Record>();
    } catch (const nlohmann::json::exception& error) {
        throw DecodingError(error.what());
    }
}

// Never throws for text that is not UTF-8: such bytes are replaced.
std::string dump(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace

std::string DecodingError::description() const {
    return "The data couldn't be read because it isn't in the correct format.";
}

std::string wireKey(std::string_view fieldName) {
    std::string key;
    key.reserve(fieldName.size() + 4);
    for (char c : fieldName) {
        if (c >= 'A' && c <= 'Z') {
            key += '_';
            key += asciiLower(c);
        } else {
            key += c;
        }
    }
    return key;
}

std::string fieldName(std::string_view wireKey) {
    const auto first = wireKey.find_first_not_of('_');
    if (first == std::string_view::npos || wireKey.find('_', first) == std::string_view::npos)
        return std::string(wireKey);
    const auto last = wireKey.find_last_not_of('_');
    std::string_view middle = wireKey.substr(first, last + 1 - first);
    // Underscores only at the ends: there is nothing to join, and the key stays as it is.
    if (middle.find('_') == std::string_view::npos)
        return std::string(wireKey);
    std::string name(wireKey.substr(0, first)); // leading underscores stay
    bool firstPiece = true;
    while (!middle.empty()) {
        const auto stop = middle.find('_');
        const auto piece = middle.substr(0, stop);
        if (!piece.empty()) {
            if (firstPiece) {
                // "MIN_MACOS" reads as minMacos, as "min_macos" does.
                for (char c : piece)
                    name += asciiLower(c);
                firstPiece = false;
            } else {
                name += asciiUpper(piece.front());
                for (char c : piece.substr(1))
                    name += asciiLower(c);
            }
        }
        if (stop == std::string_view::npos)
            break;
        middle.remove_prefix(stop + 1);
    }
    name += wireKey.substr(last + 1); // trailing underscores stay
    return name;
}

nlohmann::json withFieldNames(const nlohmann::json& object) {
    if (!object.is_object())
        throw nlohmann::json::type_error::create(
            302, std::string("expected an object (found ") + object.type_name() + ")", &object);
    nlohmann::json fields = nlohmann::json::object();
    for (const auto& [key, value] : object.items())
        fields.emplace(fieldName(key), value); // emplace keeps the first
    return fields;
}

std::string encode(const CheckinRequest& request) { return dump(nlohmann::ordered_json(request)); }
std::string encode(const CheckinResponse& response) { return dump(nlohmann::ordered_json(response)); }

CheckinResponse decodeResponse(std::string_view body) { return decode<CheckinResponse>(body); }
CheckinRequest decodeRequest(std::string_view body) { return decode<CheckinRequest>(body); }

bool meetsMinimum(std::string_view system, const std::optional<std::string>& minimum) {
    if (!minimum || minimum->empty())
        return true;
    return AppVersion::compare(system, *minimum) != AppVersion::Ordering::ascending;
}

} // namespace pellora::Checkin
