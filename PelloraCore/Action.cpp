#include "Action.h"

#include <nlohmann/json.hpp>

#include "JsonFields.h"
#include "RawValues.h"
#include "Text.h"

namespace pellora {
namespace {

struct Row {
    std::string_view rawValue;
    std::string_view defaultName;
    std::string_view placeholderName;
    ActionMode::Value defaultMode;
    std::string_view keyEquivalent;
    std::string_view defaultInstruction;
};

constexpr Row rows[] = {
    {"reply", "Draft a Reply", "Draft a Reply", ActionMode::prompt, "r",
     "Below is an email I received. Using everything you know from earlier in this "
     "conversation, draft a reply I can send. Match the tone of the thread, answer every "
     "question that was asked, and keep it concise. Give me the draft, plus a short note only "
     "if you had to assume something."},
    {"summary", "Summary & Next Steps", "Summary & Next Steps", ActionMode::prompt, "s",
     "Below is an email thread. Please give me: 1) a short summary, 2) the action items (who, "
     "what, and by when if stated), and 3) proposed next steps. Use earlier context from this "
     "conversation where it helps."},
    {"research", "Deep Dive & Research", "Deep Dive & Research", ActionMode::prompt, "d",
     "Below is an email thread. Please give me a short summary and the action items, then "
     "research the topics, people and organisations involved (use web search) so I have more "
     "context to work with. List your sources and flag anything you could not verify. Finish "
     "with proposed next steps."},
    {"custom1", "", "Custom action 1", ActionMode::prompt, "1", ""},
    {"custom2", "", "Custom action 2", ActionMode::prompt, "2", ""},
    {"pasteOnly", "Paste Only", "Paste Only", ActionMode::pasteOnly, "c", ""},
};

} // namespace

std::string_view Action::rawValue() const { return rows[value_].rawValue; }
std::string_view Action::defaultName() const { return rows[value_].defaultName; }
std::string_view Action::placeholderName() const { return rows[value_].placeholderName; }
ActionMode Action::defaultMode() const { return rows[value_].defaultMode; }
std::string_view Action::keyEquivalent() const { return rows[value_].keyEquivalent; }
std::string_view Action::defaultInstruction() const { return rows[value_].defaultInstruction; }

std::string Action::shortcutLabel() const {
    return "\u2325\u2318" + Text::uppercased(keyEquivalent());
}

std::optional<Action> Action::fromRawValue(std::string_view raw) {
    return caseWithRawValue<Action>(raw);
}

const std::array<Action, 6>& Action::allCases() {
    static const std::array<Action, 6> cases{reply, summary, research, custom1, custom2, pasteOnly};
    return cases;
}

void to_json(nlohmann::json& json, const Action& action) { json = action.rawValue(); }
void from_json(const nlohmann::json& json, Action& action) {
    action = JsonFields::rawValue<Action>(json);
}

} // namespace pellora
