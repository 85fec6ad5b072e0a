#pragma once

#include <variant>

#include "PelloraCore/Route.h"

namespace pellora {

// The user's answer in the route chooser.
struct ChooserResult {
    // Store this route and send the email with it.
    struct Save {
        Route route;
        bool operator==(const Save&) const = default;
    };
    // Send this email with this route; store nothing.
    struct Once {
        Route route;
        bool operator==(const Once&) const = default;
    };
    // Stop asking and send to a new chat.
    struct AlwaysNewChat {
        bool operator==(const AlwaysNewChat&) const = default;
    };
    // Do not send the email.
    struct Cancel {
        bool operator==(const Cancel&) const = default;
    };

    std::variant<Save, Once, AlwaysNewChat, Cancel> value = Cancel{};

    static ChooserResult save(Route route) { return {Save{std::move(route)}}; }
    static ChooserResult once(Route route) { return {Once{std::move(route)}}; }
    static ChooserResult alwaysNewChat() { return {AlwaysNewChat{}}; }
    static ChooserResult cancel() { return {Cancel{}}; }

    bool operator==(const ChooserResult&) const = default;
};

} // namespace pellora
