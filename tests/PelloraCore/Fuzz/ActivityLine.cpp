// One line of activity.jsonl, as another version, a hand edit or a cut-off write left it.
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "Fuzz/FuzzTarget.h"
#include "PelloraCore/ActivityLine.h"
#include "PelloraCore/IsoDate.h"
#include "PelloraCore/JsonFields.h"

namespace {

using namespace pellora;

std::size_t depth(const nlohmann::json& value) {
    std::size_t deepest = 0;
    if (value.is_structured())
        for (const auto& element : value)
            deepest = std::max(deepest, depth(element));
    return value.is_structured() ? deepest + 1 : 0;
}

// The entry as the JSON library reads the line, straight from the record's rules: the
// reading that the line reader must agree with.
std::optional<ActivityEntry> reference(std::string_view line) {
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(line);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    if (!json.is_object() || depth(json) > 1000)
        return std::nullopt;
    try {
        using namespace JsonFields;
        const auto required = [&](const char* key) -> const nlohmann::json& {
            if (const auto* value = member(json, key))
                return *value;
            fail(json, "missing");
        };
        ActivityEntry entry;
        const auto id = ActivityEntry::ID::parse(string(required("id")));
        const auto date = IsoDate::parse(string(required("date")));
        const auto mode = ActionMode::fromRawValue(string(required("mode")));
        if (!id || !date || !mode)
            return std::nullopt;
        entry.id = *id;
        entry.date = *date;
        entry.mode = *mode;
        entry.subject = string(required("subject"));
        entry.sender = string(required("sender"));
        entry.messageID = string(required("messageID"));
        entry.rule = string(required("rule"));
        requireObject(required("destination"));
        entry.destination = required("destination").get<Route>();
        entry.actionName = string(required("actionName"));
        entry.prompt = string(required("prompt"));
        return entry;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

} // namespace

PELLORA_FUZZ_TARGET(ActivityLine) {
    const auto decoded = ActivityLine::decode(input);
    FUZZ_CHECK(decoded == reference(input));
    if (!decoded)
        return;
    // An entry writes one line that reads back as the same entry.
    const std::string line = ActivityLine::encode(*decoded);
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    FUZZ_CHECK(ActivityLine::decode(line) == decoded);
}
