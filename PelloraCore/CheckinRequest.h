#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace pellora {

// One check-in request body. Fields are encoded in this order, under snake-case keys.
struct CheckinRequest {
    // Why the request is sent; encodes as its bare wire value.
    class Event {
    public:
        enum Value { open, updateCheck, consentChange };

        constexpr Event(Value value) : value_(value) {}
        constexpr operator Value() const { return value_; }

        std::string_view rawValue() const; // "open", "update_check", "consent_change"

        static std::optional<Event> fromRawValue(std::string_view raw);
        static const std::array<Event, 3>& allCases();

    private:
        Value value_;
    };

    // The only action the application sends, with Event::consentChange.
    static constexpr std::string_view eraseAction = "erase";

    std::string deviceId;
    Event event = Event::open;
    std::optional<std::string> action; // left out of the body when absent
    bool analytics = false;            // true exactly when the user chose to share
    bool wantsUpdate = false;
    std::string appVersion;
    std::string macosVersion;
    std::string osLanguage;

    bool operator==(const CheckinRequest&) const = default;
};

// Throws nlohmann::json::exception for anything but one of the wire values.
void to_json(nlohmann::json& json, const CheckinRequest::Event& event);
void from_json(const nlohmann::json& json, CheckinRequest::Event& event);

// The wire form: snake-case keys in field order, "action" only when set.
void to_json(nlohmann::ordered_json& json, const CheckinRequest& request);
// Reads the wire form (keys through Checkin::fieldName); throws on a missing field or a
// wrong type.
void from_json(const nlohmann::json& json, CheckinRequest& request);

} // namespace pellora
