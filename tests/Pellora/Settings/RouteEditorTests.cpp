#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "Pellora/Settings/LightMarkdown.h"
#include "Pellora/Settings/RouteEditor.h"
#include "RouteMaker.h"

namespace pellora {
namespace {

using pellora::testing::route;
using MatchType = RouteEditor::MatchType;
using Suggestion = Router::RouteSuggestion;
using Chats = std::vector<std::string>;
using Kind = DestinationKind;
constexpr auto from = MatchField::from;
constexpr auto to = MatchField::to;

RouteEditor::Inputs inputs(Route initial, std::optional<Suggestion> suggestions = {}, Chats chats = {}) {
    RouteEditor::Inputs in;
    in.initial = std::move(initial);
    in.suggestions = std::move(suggestions);
    in.previewPrompt = "Draft a reply.";
    in.loadChats = [chats] { return chats; };
    return in;
}

const Suggestion janeToMe{from, "jane@example.com", "me@example.org"};

// A step of the user: pick a field, pick a match type, or type a pattern.
using Step = std::variant<MatchField::Value, MatchType, std::string>;

TEST(RouteEditor, StartsFromTheInitialRouteAndRefreshesThePattern) {
    EXPECT_EQ(RouteEditor(inputs(route("@Example.COM"))).matchType(), MatchType::domain);
    EXPECT_EQ(RouteEditor(inputs(route("Jane@Example.com"))).matchType(), MatchType::address);
    struct Case {
        const char* what;
        std::string initial;
        std::optional<Suggestion> suggestion;
        std::vector<Step> steps;
        std::string matchText;
        std::optional<std::string> lastSuggested;
    };
    const std::string typed = "example.net";
    const Case cases[] = {
        {"stored pattern, normalised", "@Example.COM", janeToMe, {}, "example.com", "example.com"},
        {"untouched domain follows", "example.com", janeToMe, {to}, "example.org", "example.org"},
        {"untouched address follows", "jane@example.com", janeToMe, {to}, "me@example.org", "me@example.org"},
        {"typed pattern stays", "example.com", janeToMe, {typed, to}, "example.net", "example.org"},
        {"typed address becomes its domain", "jane@example.com", janeToMe,
         {std::string("ann@example.net"), MatchType::domain}, "example.net", "example.com"},
        {"typed domain gives way to the address", "example.com", janeToMe, {typed, MatchType::address},
         "jane@example.com", "jane@example.com"},
        {"nothing after the @", "jane@example.com", janeToMe, {std::string("ann@"), MatchType::domain}, "",
         "example.com"},
        {"empty takes the suggestion", "", janeToMe, {MatchType::address}, "jane@example.com", "jane@example.com"},
        {"no To address", "example.com", Suggestion{from, "jane@example.com", {}}, {to}, "", std::nullopt},
        {"no suggestion", "example.com", std::nullopt, {MatchType::address}, "", std::nullopt},
        {"same field again", "jane@example.com", janeToMe, {std::string("x"), from}, "x", "jane@example.com"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RouteEditor editor(inputs(route(c.initial, from), c.suggestion));
        for (const Step& step : c.steps) {
            if (const auto* field = std::get_if<MatchField::Value>(&step))
                editor.setField(*field);
            else if (const auto* type = std::get_if<MatchType>(&step))
                editor.setMatchType(*type);
            else
                editor.setMatchText(std::get<std::string>(step));
        }
        EXPECT_EQ(editor.matchText(), c.matchText);
        EXPECT_EQ(editor.lastSuggested(), c.lastSuggested);
    }
}

TEST(RouteEditor, SaysWhyAPatternIsWrong) {
    const std::string spaces = "Remove the spaces.";
    const std::string justDomain = "Enter just the domain, like example.com.";
    const std::string fullAddress = "Enter a full address, like jane@example.com.";
    const std::tuple<MatchType, const char*, std::optional<std::string>, bool> cases[] = {
        {MatchType::domain, " \t", std::nullopt, false},
        {MatchType::domain, "@Example.com", std::nullopt, true},
        {MatchType::domain, "exa mple.com", spaces, false},
        {MatchType::domain, "exa\tmple.com", spaces, false}, // any white space, not only U+0020
        {MatchType::address, "jane doe@example.com", spaces, false},
        {MatchType::domain, "jane@example.com", justDomain, false},
        {MatchType::address, "Jane@Example.com", std::nullopt, true},
        {MatchType::address, "a@b@example.com", fullAddress, false},
        {MatchType::address, "@example.com", fullAddress, false},
        {MatchType::address, "jane@", fullAddress, false},
    };
    for (const auto& [type, pattern, error, valid] : cases) {
        SCOPED_TRACE(pattern);
        RouteEditor editor(inputs(route("")));
        editor.setMatchType(type);
        editor.setMatchText(pattern);
        EXPECT_EQ(editor.ruleError(), error);
        EXPECT_EQ(editor.isValid(), valid);
    }
}

TEST(RouteEditor, ValidDestinationsAndLinks) {
    const std::tuple<Kind, const char*, const char*, bool, bool> cases[] = {
        {Kind::chat, "", "", true, false},
        {Kind::chat, "Invoices", "", true, true},
        {Kind::chat, "", " https://CLAUDE.ai/chat/1\n", true, true},
        {Kind::chat, "Invoices", "http://claude.ai/chat/1", false, false},
        {Kind::project, "Invoices", "https://example.com/project/1", false, false},
        {Kind::project, " \t", "", true, false},
        // The link field is hidden for a new chat, so a link left from another kind cannot block it.
        {Kind::newChat, "", "http://claude.ai/chat/1", false, true},
    };
    for (const auto& [kind, name, url, linkValid, valid] : cases) {
        SCOPED_TRACE(std::string(kind.rawValue()) + " " + name + " " + url);
        RouteEditor editor(inputs(route("example.com")));
        editor.setKind(kind);
        editor.setName(name);
        editor.setUrl(url);
        EXPECT_EQ(editor.linkMessage(),
                  linkValid ? std::nullopt : std::optional<std::string>("That doesn't look like a claude.ai link."));
        EXPECT_EQ(editor.isValid(), valid);
    }
}

TEST(RouteEditor, DraftTrimsWhatItKeeps) {
    RouteEditor chat(inputs(route("")));
    chat.setField(from);
    chat.setMatchText("  @Example.COM ");
    chat.setKind(Kind::chat);
    chat.setName(" \tInvoices\u00A0");
    chat.setUrl("  https://claude.ai/chat/1 \n");
    chat.setInstructions("\n  Reply in Dutch.\n\n");
    EXPECT_EQ(chat.draft(), (route("example.com", from, Kind::chat, "Invoices", "https://claude.ai/chat/1",
                                   "Reply in Dutch.")));
    chat.setName("Invoices\n"); // only spaces and tabs are trimmed from a name
    EXPECT_EQ(chat.draft().name, "Invoices\n");

    chat.setKind(Kind::newChat);
    chat.setInstructions(" \n\u2029");
    EXPECT_EQ(chat.draft(), (route("example.com", from)));
}

TEST(RouteEditor, ChatChoicesKeepAStoredChatTheSidebarLost) {
    const Chats sidebar{"Invoices", "Jane Doe"};
    const std::tuple<Chats, const char*, Chats, std::optional<std::size_t>, const char*> cases[] = {
        {sidebar, "", sidebar, std::nullopt, "Choose a chat…"},
        {sidebar, "Jane Doe", sidebar, 1, "Choose a chat…"},
        {sidebar, " Old thread\t", {"Old thread", "Invoices", "Jane Doe"}, 0, "Choose a chat…"},
        {{}, "", {}, std::nullopt, "No chats found"},
    };
    for (const auto& [chats, name, choices, selected, prompt] : cases) {
        SCOPED_TRACE(name);
        RouteEditor editor(inputs(route("example.com", from, Kind::chat, name), {}, chats));
        EXPECT_EQ(editor.chatChoices(), choices);
        EXPECT_EQ(editor.selectedChat(), selected);
        EXPECT_EQ(editor.chatPrompt(), prompt);
    }

    // Refreshing only replaces the list; a sidebar that cannot be read is an empty one.
    bool claudeGone = false;
    RouteEditor::Inputs in = inputs(route("example.com", from, Kind::chat, "Jane Doe"));
    in.loadChats = [&]() -> Chats {
        if (claudeGone)
            throw std::runtime_error("Claude went away");
        return {"Invoices"};
    };
    RouteEditor editor(in);
    EXPECT_EQ(editor.chatChoices(), (Chats{"Jane Doe", "Invoices"}));
    claudeGone = true;
    editor.refreshChats();
    EXPECT_EQ(editor.chatChoices(), Chats{"Jane Doe"});
}

TEST(RouteEditor, ResultSentenceReadsTheRuleBack) {
    const std::tuple<MatchField::Value, MatchType, const char*, Kind, const char*, const char*> cases[] = {
        {from, MatchType::domain, "", Kind::newChat, "",
         "Emails **received from** **anyone at example.com** go to: **New chat each time**"},
        {to, MatchType::address, "", Kind::incognito, "", "Emails **sent to** **jane@example.com** go to: **Incognito chat**"},
        {from, MatchType::domain, " @Example.ORG", Kind::chat, "Invoices",
         "Emails **received from** **anyone at example.org** go to: **Invoices**"},
        // No space before a closing "**", or it would show as asterisks.
        {to, MatchType::domain, "example.net", Kind::project, "",
         "Emails **sent to** **anyone at example.net** go to: **New chat in project:**"},
        {from, MatchType::address, "first_last@example.com", Kind::chat, "Q3 *urgent* <b>",
         "Emails **received from** **first\\_last@example.com** go to: **Q3 \\*urgent\\* \\<b\\>**"},
    };
    for (const auto& [field, type, pattern, kind, name, sentence] : cases) {
        RouteEditor editor(inputs(route("", field, kind, name)));
        editor.setMatchType(type);
        editor.setMatchText(pattern);
        EXPECT_EQ(editor.resultSentence(), sentence);
    }
    EXPECT_EQ(LightMarkdown::plain(std::get<5>(cases[4])).toStdString(),
              "Emails received from first_last@example.com go to: Q3 *urgent* <b>");
}

TEST(RouteEditor, HelpTextFollowsFieldAndMatchType) {
    RouteEditor editor(inputs(route("example.com", from)));
    EXPECT_EQ(editor.fieldHelp(), "From looks at who the email came from, which is what you want for mail you "
                                  "receive. A domain covers everyone there, subdomains too.");
    editor.setField(to);
    editor.setMatchType(MatchType::address);
    EXPECT_EQ(editor.fieldHelp(), "To looks at who the email was sent to. One address takes priority over a domain "
                                  "rule. To cover both directions with a client, add one From route and one To route.");

}

TEST(RouteEditor, PreviewShowsWhatClaudeWouldReceive) {
    const std::string sample = "From: Jane Doe <jane@example.com>\nTo: me@example.org\nDate: Mon, 5 May 2026\n"
                               "Subject: Question about the quote\n\n(the text of the email)";
    RouteEditor::Inputs in = inputs(route("example.com"));
    in.previewPrompt = "\nDraft a reply.\n";
    RouteEditor editor(in);
    EXPECT_EQ(editor.preview(), "\nDraft a reply.\n\n\n" + sample); // the prompt exactly as passed in
    editor.setInstructions("  Be formal.\n");
    EXPECT_EQ(editor.preview(), "Draft a reply.\n\nStanding instructions for this client:\nBe formal.\n\n" + sample);
}

} // namespace
} // namespace pellora
