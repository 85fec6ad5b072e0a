#pragma once

#include <array>
#include <chrono>
#include <concepts>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "ActionMode.h"
#include "Route.h"
#include "Shared.h"

namespace pellora {

// One delivery as recorded in activity.jsonl.
//
// A long log repeats a few senders, rules, destinations, action names and prompts: those
// fields are shared values (read as `const std::string&` / `const Route&`, assigned and
// compared like plain ones), and the id is kept as its 16 bytes. So 100,000 entries take less
// memory than half their file.
struct ActivityEntry {
    using Date = std::chrono::sys_seconds; // whole seconds, UTC

    // A UUID, written in its upper-case text form.
    class ID {
    public:
        ID() = default; // the nil UUID
        // A UUID text in either case. Anything else throws std::invalid_argument: an entry
        // with such an id would write a line that no reader takes back.
        ID(std::string_view text);
        ID(const std::string& text) : ID(std::string_view(text)) {}
        ID(const char* text) : ID(std::string_view(text)) {}
        static std::optional<ID> parse(std::string_view text);

        // 36 characters, upper case.
        std::string text() const;
        operator std::string() const { return text(); }

        bool operator==(const ID&) const = default;
        // Against a text, exactly as written (a lower-case text is not equal).
        template <class Text>
            requires std::convertible_to<const Text&, std::string_view>
        friend bool operator==(const ID& id, const Text& text) {
            return id.text() == std::string_view(text);
        }
        friend std::ostream& operator<<(std::ostream& out, const ID& id) { return out << id.text(); }

    private:
        std::array<std::uint8_t, 16> bytes_{};
    };

    ID id;
    Date date{};
    std::string subject;
    SharedText sender;
    std::string messageID;
    SharedText rule;
    Shared<Route> destination;
    SharedText actionName;
    ActionMode mode = ActionMode::prompt;
    SharedText prompt;

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
// Reading is ActivityLine's.
void to_json(nlohmann::json& json, const ActivityEntry& entry);
void to_json(nlohmann::ordered_json& json, const ActivityEntry& entry);

} // namespace pellora
