#include <gtest/gtest.h>

#include "PelloraCore/Action.h"
#include "PelloraCore/Config.h"
#include "PelloraCore/Text.h"

using namespace pellora;

namespace {

const std::string replyPrompt =
    "Below is an email I received. Using everything you know from earlier in this conversation, draft a "
    "reply I can send. Match the tone of the thread, answer every question that was asked, and keep it "
    "concise. Give me the draft, plus a short note only if you had to assume something.";
const std::string summaryPrompt =
    "Below is an email thread. Please give me: 1) a short summary, 2) the action items (who, what, and by "
    "when if stated), and 3) proposed next steps. Use earlier context from this conversation where it helps.";
const std::string researchPrompt =
    "Below is an email thread. Please give me a short summary and the action items, then research the "
    "topics, people and organisations involved (use web search) so I have more context to work with. List "
    "your sources and flag anything you could not verify. Finish with proposed next steps.";

} // namespace

TEST(Action, Table) {
    struct Row {
        Action action;
        const char *raw, *name, *placeholder;
        ActionMode mode;
        const char *key, *label;
    };
    const Row rows[] = {
        {Action::reply, "reply", "Draft a Reply", "Draft a Reply", ActionMode::prompt, "r", "⌥⌘R"},
        {Action::summary, "summary", "Summary & Next Steps", "Summary & Next Steps", ActionMode::prompt, "s", "⌥⌘S"},
        {Action::research, "research", "Deep Dive & Research", "Deep Dive & Research", ActionMode::prompt, "d", "⌥⌘D"},
        {Action::custom1, "custom1", "", "Custom action 1", ActionMode::prompt, "1", "⌥⌘1"},
        {Action::custom2, "custom2", "", "Custom action 2", ActionMode::prompt, "2", "⌥⌘2"},
        {Action::pasteOnly, "pasteOnly", "Paste Only", "Paste Only", ActionMode::pasteOnly, "c", "⌥⌘C"},
    };
    ASSERT_EQ(Action::allCases().size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        const auto& row = rows[i];
        EXPECT_EQ(Action::allCases()[i], row.action);
        EXPECT_EQ(row.action.rawValue(), row.raw);
        EXPECT_EQ(row.action.defaultName(), row.name);
        EXPECT_EQ(row.action.placeholderName(), row.placeholder);
        EXPECT_EQ(row.action.defaultMode(), row.mode);
        EXPECT_EQ(row.action.keyEquivalent(), row.key);
        EXPECT_EQ(row.action.shortcutLabel(), row.label);
        EXPECT_EQ(Action::fromRawValue(row.raw), row.action);
    }
    EXPECT_EQ(Action::fromRawValue("Reply"), std::nullopt);
    EXPECT_EQ(ActionMode(ActionMode::pasteOnly).title(), "Paste the email only");
    EXPECT_EQ(ActionMode(ActionMode::prompt).title(), "Add a prompt to the email");
    EXPECT_EQ(ActionMode::fromRawValue("pasteonly"), std::nullopt);
}

TEST(Action, BuiltInPrompts) {
    const std::tuple<Action, std::string, std::size_t> prompts[] = {
        {Action::reply, replyPrompt, 279}, {Action::summary, summaryPrompt, 204}, {Action::research, researchPrompt, 283},
        {Action::custom1, "", 0}, {Action::custom2, "", 0}, {Action::pasteOnly, "", 0},
    };
    for (const auto& [action, text, length] : prompts) {
        EXPECT_EQ(action.defaultInstruction(), text) << action.rawValue();
        EXPECT_EQ(Text::characterCount(text), length) << action.rawValue();
    }
}

TEST(ActionOverrides, WhenAnActionIsSetUp) {
    // A custom action needs a name and a prompt, or a name and the paste-only mode; only spaces
    // and tabs are trimmed from names, so a line feed counts as a name.
    using Text = std::optional<std::string>;
    const std::tuple<Action, Text, Text, std::optional<ActionMode>, bool> cases[] = {
        {Action::reply, {}, {}, {}, true},
        {Action::pasteOnly, {}, {}, {}, true},
        {Action::custom1, {}, {}, {}, false},
        {Action::custom1, "Translate", {}, {}, false},
        {Action::custom1, "Translate", "Translate to French.", {}, true},
        {Action::custom2, "Archive", {}, ActionMode::pasteOnly, true},
        {Action::reply, "", {}, {}, false},
        {Action::reply, {}, "", {}, false},
        {Action::reply, {}, " \n\u2028\u0085", {}, false},
        {Action::reply, {}, "", ActionMode::pasteOnly, true},
        {Action::summary, " \t\u3000", {}, {}, false},
        {Action::summary, "\n", {}, {}, true},
    };
    for (const auto& [action, name, prompt, mode, configured] : cases) {
        Config config;
        if (name)
            config.setName(*name, action);
        if (prompt)
            config.setInstruction(*prompt, action);
        if (mode)
            config.setMode(*mode, action);
        EXPECT_EQ(config.isConfigured(action), configured) << action.rawValue() << " " << name.value_or("-");
    }

    Config config;
    EXPECT_EQ(std::tuple(config.name(Action::custom1), config.instruction(Action::reply), config.mode(Action::pasteOnly)),
              std::tuple("", replyPrompt, ActionMode::pasteOnly));
    config.setName("", Action::reply);
    config.setInstruction("", Action::summary);
    EXPECT_EQ(std::tuple(config.actions.at("reply").name, config.name(Action::reply), config.instruction(Action::summary)),
              std::tuple("", "", ""));
    config.resetAction(Action::reply);
    config.resetAction(Action::summary);
    EXPECT_TRUE(config.actions.empty());
}

TEST(ActionOverrides, ValuesEqualToTheDefaultAreNeverStored) {
    Config config;
    config.setName("Draft a Reply", Action::reply);
    config.setName("", Action::custom1);
    config.setMode(ActionMode::prompt, Action::custom1);
    config.setMode(ActionMode::pasteOnly, Action::pasteOnly);
    config.setInstruction(replyPrompt, Action::reply);
    config.setInstruction("", Action::custom2);
    EXPECT_TRUE(config.actions.empty());

    // Setting a field back to its default removes it; the last one removes the entry.
    config.setName("Reply", Action::reply);
    config.setMode(ActionMode::pasteOnly, Action::reply);
    EXPECT_EQ(config.actions.at("reply"), (ActionSetting{"Reply", ActionMode::pasteOnly, std::nullopt}));
    config.setName("Draft a Reply", Action::reply);
    EXPECT_EQ(config.actions.at("reply"), (ActionSetting{std::nullopt, ActionMode::pasteOnly, std::nullopt}));
    config.setMode(ActionMode::prompt, Action::reply);
    EXPECT_TRUE(config.actions.empty());
}
