#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "ActionMode.h"
#include "Route.h"

namespace pellora {

// One delivery as recorded in activity.jsonl.
struct ActivityEntry {
    using Date = std::chrono::sys_seconds; // whole seconds, UTC

    std::string id;          // upper-case UUID text
    Date date{};
    std::string subject;
    std::string sender;
    std::string messageID;
    std::string rule;
    Route destination;
    std::string actionName;
    ActionMode mode = ActionMode::prompt;
    std::string prompt;

    // A new random id in the stored form (upper-case UUID).
    static std::string newID();

    // The fixed pieces of routeText.
    static constexpr std::string_view noRoutePrefix = "No route · ";
    static constexpr std::string_view routeArrow = " → ";

    // The link that reopens the email in Mail; absent when none can be made.
    std::optional<std::string> mailURL() const;
    // False for a new or incognito chat.
    bool canOpenChat() const;
    // "No route · …" or "From example.com → …".
    std::string routeText() const;
    // Every word of the query (case-insensitive) occurs in the entry's searchable text. To
    // run one query over many entries, prepare an ActivitySearch once.
    bool matches(std::string_view query) const;

    bool operator==(const ActivityEntry&) const = default;
};

// The ten keys; the ordered form keeps them in field order, as activity.jsonl has them.
void to_json(nlohmann::json& json, const ActivityEntry& entry);
void to_json(nlohmann::ordered_json& json, const ActivityEntry& entry);
// All ten keys are required: a missing or null key, a wrong type, an id that is not a UUID
// (read in either case, kept upper-case) or a date not in the stored form throws
// nlohmann::json::exception.
void from_json(const nlohmann::json& json, ActivityEntry& entry);

} // namespace pellora
