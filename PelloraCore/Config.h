#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Action.h"
#include "ActionSetting.h"
#include "AnalyticsChoice.h"
#include "Route.h"

namespace pellora {

// The whole of the user's settings: the document config.json.
struct Config {
    // Dates are seconds since 2001-01-01 00:00:00 UTC, kept as the stored double so that a
    // save/load round trip compares equal.
    using Date = double;

    std::vector<Route> routes;
    std::map<std::string, ActionSetting> actions;
    bool autoSend = true;
    bool askForUnknownRoutes = true;
    bool keepActivityLog = true;
    double openDelay = 1.0;
    AnalyticsChoice analyticsChoice = AnalyticsChoice::unset;
    std::optional<Date> analyticsChoiceDate;
    std::optional<Date> lastUpdateCheck;
    std::int64_t emailsSent = 0;
    bool donatePromptShown = false;

    // Deliveries after which the support prompt appears once.
    static constexpr std::int64_t donateAfterEmails = 20;

    // Never fails: a missing, unreadable or undecodable file gives the default document.
    static Config load(const std::filesystem::path& file);
    // Creates missing folders, then writes pretty-printed JSON with sorted keys atomically.
    // Throws std::filesystem::filesystem_error or std::runtime_error.
    void save(const std::filesystem::path& file) const;

    // Action overrides; a value equal to the built-in default is never stored.
    std::string name(Action action) const;
    ActionMode mode(Action action) const;
    std::string instruction(Action action) const;
    bool isConfigured(Action action) const;
    void setName(const std::string& name, Action action);
    void setMode(ActionMode mode, Action action);
    void setInstruction(const std::string& prompt, Action action);
    void resetAction(Action action);

    // Route-list edits; both store the pattern normalised.
    void upsert(const Route& route);
    void replace(const Route& old, const Route& updated);

    // Counts one delivery; true exactly once, when the support prompt is due.
    bool recordDelivery();

    bool operator==(const Config&) const = default;
};

// The document's JSON form. from_json throws on a wrong type or raw value anywhere.
void to_json(nlohmann::json& json, const Config& config);
void from_json(const nlohmann::json& json, Config& config);

} // namespace pellora
