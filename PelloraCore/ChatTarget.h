#pragma once

#include <optional>
#include <string>
#include <variant>

namespace pellora {

// Where exactly one delivery goes. Compared by case and payload.
struct ChatTarget {
    // An existing chat (or project) opened by its deep link.
    struct Link {
        std::string url;
        bool operator==(const Link&) const = default;
    };
    // A chat found by its title in Claude's sidebar.
    struct Sidebar {
        std::string title;
        bool operator==(const Sidebar&) const = default;
    };
    // A new chat inside a project, opened by link when there is one, else by name.
    struct Project {
        std::string name;
        std::optional<std::string> link;
        bool operator==(const Project&) const = default;
    };
    struct NewChat {
        bool operator==(const NewChat&) const = default;
    };
    struct Incognito {
        bool operator==(const Incognito&) const = default;
    };

    using Value = std::variant<Link, Sidebar, Project, NewChat, Incognito>;
    Value value;

    static ChatTarget link(std::string url) { return {Link{std::move(url)}}; }
    static ChatTarget sidebar(std::string title) { return {Sidebar{std::move(title)}}; }
    static ChatTarget project(std::string name, std::optional<std::string> link) {
        return {Project{std::move(name), std::move(link)}};
    }
    static ChatTarget newChat() { return {NewChat{}}; }
    static ChatTarget incognito() { return {Incognito{}}; }

    template <class Case> bool is() const { return std::holds_alternative<Case>(value); }
    template <class Case> const Case* as() const { return std::get_if<Case>(&value); }

    bool operator==(const ChatTarget&) const = default;
};

} // namespace pellora
