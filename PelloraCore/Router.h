#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Config.h"
#include "Email.h"
#include "MatchField.h"
#include "Route.h"

// Decides which route an email follows, proposes a rule for an unrouted email, and owns the
// normalising of addresses and patterns.
namespace pellora::Router {

struct RouteMatch {
    Route route;          // as stored in the configuration
    std::string address;  // the email's normalised address that matched it
    bool operator==(const RouteMatch&) const = default;
};

struct RouteSuggestion {
    MatchField field = MatchField::to;
    std::optional<std::string> fromAddress;
    std::optional<std::string> toAddress;

    std::optional<std::string> address(MatchField forField) const;
    bool operator==(const RouteSuggestion&) const = default;
};

// Trim; keep what lies between the last "<" and a later last ">"; lower-case.
std::string normalize(std::string_view text);
// Trim, lower-case, drop one leading "@".
std::string normalizeRule(std::string_view text);
// Everything after the last "@", unchanged; absent when there is no "@" or nothing follows.
std::optional<std::string> domain(std::string_view text);

std::optional<RouteMatch> match(const Email& email, const Config& config);
std::optional<Route> route(const Email& email, const Config& config);
std::optional<RouteSuggestion> suggestion(const Email& email, const Config& config);
// Whether two domain rules on the same side can match the same address.
bool overlaps(const Route& a, const Route& b);

} // namespace pellora::Router
