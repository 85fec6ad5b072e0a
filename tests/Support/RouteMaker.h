#pragma once

#include <optional>
#include <string>

#include "PelloraCore/Route.h"

namespace pellora::testing {

// A route with the fields given and the rest at their defaults (no name, link or
// instructions), without spelling out every field of the record.
inline Route route(std::string pattern, MatchField field = MatchField::to,
                   DestinationKind kind = DestinationKind::newChat, std::optional<std::string> name = {},
                   std::optional<std::string> url = {}, std::optional<std::string> instructions = {}) {
    return Route{std::move(pattern), field, kind, std::move(name), std::move(url), std::move(instructions)};
}

} // namespace pellora::testing
