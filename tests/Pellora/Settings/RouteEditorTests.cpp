#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "Pellora/Settings/LightMarkdown.h"
#include "Pellora/Settings/RouteEditor.h"

namespace pellora {
namespace {

using MatchType = RouteEditor::MatchType;
using Suggestion = Router::RouteSuggestion;
using Chats = std::vector<std::string>;

Route route(std::string pattern, MatchField field = MatchField::from, DestinationKind kind = DestinationKind::newChat,
            std::optional<std::string> name = std::nullopt, std::optional<std::string> url = std::nullopt,
            std::optional<std::string> instructions = std::nullopt) {
    return Route{std::move(pattern), field, kind, std::move(name), std::move(url), std::move(instructions)};
}

RouteEditor::Inputs inputs(Route initial, std::optional<Suggestion> suggestions = std::nullopt, Chats chats = {}) {
    RouteEditor::Inputs in;
    in.title = "Add Route";
    in.initial = std::move(initial);
    in.suggestions = std::move(suggestions);
    in.previewPrompt = "Draft a reply.";
    in.loadChats = [chats] { return chats; };
    return in;
}

const Suggestion janeToMe{MatchField::from, "jane@example.com", "me@example.org"};

TEST(RouteEditor, StartsFromTheInitialRoute) {
    RouteEditor domainRule(inputs(
        route("@Example.COM", MatchField::from, DestinationKind::chat, "Invoices", "https://claude.ai/chat/1", "Be brief."),
        janeToMe));
    EXPECT_EQ(domainRule.field(), MatchField::from);
    EXPECT_EQ(domainRule.matchType(), MatchType::domain);
    EXPECT_EQ(domainRule.matchText(), "example.com");
    EXPECT_EQ(domainRule.lastSuggested(), "example.com");
    EXPECT_EQ(domainRule.kind(), DestinationKind::chat);
    EXPECT_EQ(domainRule.name(), "Invoices");
    EXPECT_EQ(domainRule.url(), "https://claude.ai/chat/1");
    EXPECT_EQ(domainRule.instructions(), "Be brief.");
    EXPECT_FALSE(domainRule.neverAsk());

    RouteEditor addressRule(inputs(route("Jane@Example.com", MatchField::to)));
    EXPECT_EQ(addressRule.matchType(), MatchType::address);
    EXPECT_EQ(addressRule.matchText(), "jane@example.com");
    EXPECT_EQ(addressRule.lastSuggested(), std::nullopt);
    EXPECT_EQ(addressRule.name(), "");
    EXPECT_EQ(addressRule.url(), "");
}

// A step of the user: pick a field, pick a match type, or type a pattern.
using Step = std::variant<MatchField::Value, MatchType, std::string>;

TEST(RouteEditor, RefreshesThePatternWhenTheFieldOrMatchTypeChanges) {
    struct Case {
        const char* what;
        Route initial;
        std::optional<Suggestion> suggestion;
        std::vector<Step> steps;
        std::string matchText;
        std::optional<std::string> lastSuggested;
    };
    const Case cases[] = {
        {"untouched pattern follows the field", route("example.com"), janeToMe, {MatchField::to}, "example.org", "example.org"},
        {"untouched address follows the field", route("jane@example.com"), janeToMe, {MatchField::to},
         "me@example.org", "me@example.org"},
        {"a typed pattern stays", route("example.com"), janeToMe, {std::string("example.net"), MatchField::to},
         "example.net", "example.org"},
        {"address to domain keeps the typed domain", route("jane@example.com"), janeToMe,
         {std::string("ann@example.net"), MatchType::domain}, "example.net", "example.com"},
        {"domain to address puts the suggestion in", route("example.com"), janeToMe,
         {std::string("example.net"), MatchType::address}, "jane@example.com", "jane@example.com"},
        {"an address ending in @ leaves no domain", route("jane@example.com"), janeToMe,
         {std::string("ann@"), MatchType::domain}, "", "example.com"},
        {"empty pattern takes the suggestion", route(""), janeToMe, {MatchType::address}, "jane@example.com",
         "jane@example.com"},
        {"no To address leaves it empty", route("example.com"), Suggestion{MatchField::from, "jane@example.com", {}},
         {MatchField::to}, "", std::nullopt},
        {"no suggestion: a typed domain without @ is dropped for address", route("example.com"), std::nullopt,
         {MatchType::address}, "", std::nullopt},
        {"choosing the same field again changes nothing", route("jane@example.com"), janeToMe,
         {std::string("x"), MatchField::from}, "x", "jane@example.com"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RouteEditor editor(inputs(c.initial, c.suggestion));
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
    struct Case {
        MatchType type;
        const char* pattern;
        std::optional<std::string> error;
    };
    const Case cases[] = {
        {MatchType::domain, "", std::nullopt},
        {MatchType::domain, "  \t", std::nullopt},
        {MatchType::domain, "@Example.com", std::nullopt},
        {MatchType::domain, "bücher.example", std::nullopt},
        {MatchType::domain, "exa mple.com", "Remove the spaces."},
        {MatchType::domain, "exa\tmple.com", "Remove the spaces."},
        {MatchType::address, "jane doe@example.com", "Remove the spaces."},
        {MatchType::domain, "jane@example.com", "Enter just the domain, like example.com."},
        {MatchType::domain, "@@example.com", "Enter just the domain, like example.com."},
        {MatchType::address, "Jane@Example.com", std::nullopt},
        {MatchType::address, "a@b@example.com", "Enter a full address, like jane@example.com."},
        {MatchType::address, "@example.com", "Enter a full address, like jane@example.com."},
        {MatchType::address, "jane@", "Enter a full address, like jane@example.com."},
        {MatchType::address, "example.com", "Enter a full address, like jane@example.com."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        RouteEditor editor(inputs(route(""), std::nullopt));
        editor.setMatchType(c.type);
        editor.setMatchText(c.pattern);
        EXPECT_EQ(editor.ruleError(), c.error);
        EXPECT_EQ(editor.isValid(), !c.error && !Router::normalizeRule(c.pattern).empty());
    }
}

TEST(RouteEditor, AcceptsOnlyLinksOnTheChatWebHost) {
    const std::string message = "That doesn't look like a claude.ai link.";
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {"https://claude.ai/chat/abc", true},
        {" https://CLAUDE.ai/project/p1\n", true},
        {"claude://claude.ai/chat/abc", true},
        {"http://claude.ai/chat/abc", false},
        {"https://sub.claude.ai/chat/abc", false},
        {"https://example.com/chat/abc", false},
        {"not a link", false},
    };
    for (const auto& [link, valid] : cases) {
        SCOPED_TRACE(link);
        RouteEditor editor(inputs(route("example.com", MatchField::from, DestinationKind::chat, "Invoices")));
        editor.setUrl(link);
        EXPECT_EQ(editor.linkIsValid(), valid);
        EXPECT_EQ(editor.linkMessage(), valid ? std::nullopt : std::optional(message));
        EXPECT_EQ(editor.isValid(), valid);
    }
}

TEST(RouteEditor, NeedsAChatOrLinkOnlyForKindsThatUseThem) {
    struct Case {
        const char* what;
        DestinationKind kind;
        std::string name;
        std::string url;
        bool valid;
    };
    const Case cases[] = {
        {"chat with neither", DestinationKind::chat, "", "", false},
        {"chat with a blank name", DestinationKind::chat, " \t", "", false},
        {"chat by name", DestinationKind::chat, "Invoices", "", true},
        {"chat by link", DestinationKind::chat, "", "https://claude.ai/chat/1", true},
        {"project with neither", DestinationKind::project, "", "", false},
        {"project by name", DestinationKind::project, "Example Corp", "", true},
        {"new chat alone", DestinationKind::newChat, "", "", true},
        {"incognito alone", DestinationKind::incognito, "", "", true},
        // The link field is hidden for a new chat, so a link left from another kind cannot
        // block it.
        {"new chat with a stale bad link", DestinationKind::newChat, "", "http://claude.ai/chat/1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RouteEditor editor(inputs(route("example.com")));
        editor.setKind(c.kind);
        editor.setName(c.name);
        editor.setUrl(c.url);
        EXPECT_EQ(editor.isValid(), c.valid);
    }
}

TEST(RouteEditor, DraftTrimsWhatItKeeps) {
    RouteEditor chat(inputs(route("")));
    chat.setMatchText("  @Example.COM ");
    chat.setKind(DestinationKind::chat);
    chat.setName(" \tInvoices\u00A0");
    chat.setUrl("  https://claude.ai/chat/1 \n");
    chat.setInstructions("\n  Reply in Dutch.\n\n");
    EXPECT_EQ(chat.draft(), route("example.com", MatchField::from, DestinationKind::chat, "Invoices",
                                  "https://claude.ai/chat/1", "Reply in Dutch."));

    // A name keeps a line feed (only spaces and tabs are trimmed from it).
    chat.setName("Invoices\n");
    EXPECT_EQ(chat.draft().name, "Invoices\n");

    // Switching to a new chat drops name and link; blank instructions are absent.
    chat.setKind(DestinationKind::newChat);
    chat.setInstructions(" \n\u2029");
    EXPECT_EQ(chat.draft(), route("example.com", MatchField::from, DestinationKind::newChat));
}

TEST(RouteEditor, ChatChoicesKeepAStoredChatTheSidebarLost) {
    struct Case {
        Chats chats;
        std::string name;
        Chats choices;
        std::optional<std::size_t> selected;
        std::string prompt;
    };
    const Case cases[] = {
        {{"Invoices", "Jane Doe"}, "", {"Invoices", "Jane Doe"}, std::nullopt, "Choose a chat…"},
        {{"Invoices", "Jane Doe"}, "Jane Doe", {"Invoices", "Jane Doe"}, 1, "Choose a chat…"},
        {{"Invoices", "Jane Doe"}, " Old thread\t", {"Old thread", "Invoices", "Jane Doe"}, 0, "Choose a chat…"},
        {{}, "", {}, std::nullopt, "No chats found"},
        {{}, "Old thread", {"Old thread"}, 0, "Choose a chat…"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RouteEditor editor(inputs(route("example.com", MatchField::from, DestinationKind::chat, c.name), std::nullopt, c.chats));
        EXPECT_EQ(editor.chatChoices(), c.choices);
        EXPECT_EQ(editor.selectedChat(), c.selected);
        EXPECT_EQ(editor.chatPrompt(), c.prompt);
    }
}

TEST(RouteEditor, RefreshingTheChatListOnlyReplacesIt) {
    std::vector<Chats> readings{{"Invoices"}, {"Invoices", "Jane Doe"}};
    int reads = 0;
    bool fail = false;
    RouteEditor::Inputs in = inputs(route("example.com", MatchField::from, DestinationKind::chat, "Jane Doe"));
    in.loadChats = [&]() -> Chats {
        if (fail)
            throw std::runtime_error("Claude went away");
        return readings.at(std::size_t(reads++));
    };
    RouteEditor editor(in);
    EXPECT_EQ(editor.chats(), Chats{"Invoices"});
    EXPECT_EQ(editor.chatChoices(), (Chats{"Jane Doe", "Invoices"}));

    editor.refreshChats();
    EXPECT_EQ(editor.chats(), (Chats{"Invoices", "Jane Doe"}));
    EXPECT_EQ(editor.selectedChat(), 1u);

    fail = true;
    editor.refreshChats();
    EXPECT_EQ(editor.chats(), Chats{});
    EXPECT_EQ(editor.name(), "Jane Doe");

    in.loadChats = nullptr;
    EXPECT_EQ(RouteEditor(in).chatPrompt(), "Choose a chat…"); // the stored name stays
}

TEST(RouteEditor, ResultSentenceReadsTheRuleBack) {
    struct Case {
        MatchField::Value field;
        MatchType type;
        std::string pattern;
        DestinationKind kind;
        std::string name;
        std::string sentence;
        std::string shown;
    };
    const Case cases[] = {
        {MatchField::from, MatchType::domain, "", DestinationKind::newChat, "",
         "Emails **received from** **anyone at example.com** go to: **New chat each time**",
         "Emails received from anyone at example.com go to: New chat each time"},
        {MatchField::to, MatchType::address, "", DestinationKind::incognito, "",
         "Emails **sent to** **jane@example.com** go to: **Incognito chat**",
         "Emails sent to jane@example.com go to: Incognito chat"},
        {MatchField::from, MatchType::domain, " @Example.ORG", DestinationKind::chat, "Invoices",
         "Emails **received from** **anyone at example.org** go to: **Invoices**",
         "Emails received from anyone at example.org go to: Invoices"},
        {MatchField::to, MatchType::domain, "example.net", DestinationKind::project, "",
         "Emails **sent to** **anyone at example.net** go to: **New chat in project:**",
         "Emails sent to anyone at example.net go to: New chat in project:"},
        {MatchField::from, MatchType::address, "first_last@example.com", DestinationKind::chat, "Q3 *urgent* <b>",
         "Emails **received from** **first\\_last@example.com** go to: **Q3 \\*urgent\\* \\<b\\>**",
         "Emails received from first_last@example.com go to: Q3 *urgent* <b>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sentence);
        RouteEditor editor(inputs(route("", c.field, c.kind, c.name)));
        editor.setMatchType(c.type);
        editor.setMatchText(c.pattern);
        EXPECT_EQ(editor.resultSentence(), c.sentence);
        EXPECT_EQ(LightMarkdown::plain(editor.resultSentence()).toStdString(), c.shown);
    }
}

TEST(RouteEditor, HelpTextsFollowFieldMatchTypeAndKind) {
    RouteEditor editor(inputs(route("example.com", MatchField::from)));
    EXPECT_EQ(editor.fieldHelp(), "From looks at who the email came from, which is what you want for mail you "
                                  "receive. A domain covers everyone there, subdomains too.");
    EXPECT_EQ(editor.patternLabel(), "Domain");
    EXPECT_EQ(editor.patternPlaceholder(), "example.com");
    editor.setField(MatchField::to);
    editor.setMatchType(MatchType::address);
    EXPECT_EQ(editor.fieldHelp(), "To looks at who the email was sent to. One address takes priority over a domain "
                                  "rule. To cover both directions with a client, add one From route and one To route.");
    EXPECT_EQ(editor.patternLabel(), "Email address");
    EXPECT_EQ(editor.patternPlaceholder(), "jane@example.com");

    struct Kind {
        DestinationKind kind;
        const char* explanation;
        const char* symbol;
        bool asks;
        const char* linkLabel;
        const char* linkPlaceholder;
    };
    const Kind kinds[] = {
        {DestinationKind::chat, "Every email goes into one conversation, so Claude builds up context over time.",
         "bubble.left.and.bubble.right", true, "Chat link", "https://claude.ai/chat/…"},
        {DestinationKind::project, "Each email starts a new chat inside the project, which shares the project's knowledge.",
         "folder", true, "Project link", "https://claude.ai/project/…"},
        {DestinationKind::newChat, "Each email starts a fresh chat.", "square.and.pencil", false, "Chat link",
         "https://claude.ai/chat/…"},
        {DestinationKind::incognito, "Each email starts a private chat that isn't saved to your history.", "eye.slash",
         false, "Chat link", "https://claude.ai/chat/…"},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.symbol);
        editor.setKind(k.kind);
        EXPECT_EQ(editor.kindExplanation(), k.explanation);
        EXPECT_EQ(RouteEditor::kindSymbol(k.kind), k.symbol);
        EXPECT_EQ(editor.asksForDestination(), k.asks);
        EXPECT_EQ(editor.linkLabel(), k.linkLabel);
        EXPECT_EQ(editor.linkPlaceholder(), k.linkPlaceholder);
    }
}

TEST(RouteEditor, PreviewShowsWhatClaudeWouldReceive) {
    const std::string sample = "From: Jane Doe <jane@example.com>\n"
                               "To: me@example.org\n"
                               "Date: Mon, 5 May 2026\n"
                               "Subject: Question about the quote\n"
                               "\n"
                               "(the text of the email)";
    RouteEditor::Inputs in = inputs(route("example.com"));
    in.previewPrompt = "\nDraft a reply.\n";
    RouteEditor editor(in);
    EXPECT_EQ(editor.preview(), "\nDraft a reply.\n\n\n" + sample); // passed through as given

    editor.setInstructions("  Be formal.\n");
    EXPECT_EQ(editor.preview(), "Draft a reply.\n\nStanding instructions for this client:\nBe formal.\n\n" + sample);

    in.previewPrompt = "";
    EXPECT_EQ(RouteEditor(in).preview(), sample);
}

TEST(RouteEditor, ButtonsCallBackOnlyWhenOfferedAndValid) {
    std::vector<std::string> calls;
    RouteEditor::Inputs in = inputs(route("example.com"));
    in.offersOnce = true;
    in.onSave = [&](const Route& saved) { calls.push_back("save " + saved.domain); };
    in.onOnce = [&](const Route& once) { calls.push_back("once " + once.domain); };
    in.onNeverAsk = [&] { calls.push_back("never ask"); };
    in.onCancel = [&] { calls.push_back("cancel"); };
    RouteEditor editor(in);

    EXPECT_TRUE(editor.showsOnceButton());
    EXPECT_FALSE(editor.showsNeverAskButton());
    editor.alwaysNewChat(); // not shown yet
    editor.save();
    editor.once();
    editor.setMatchText("exa mple.com");
    editor.save();
    editor.once();
    editor.setNeverAsk(true);
    EXPECT_FALSE(editor.showsOnceButton());
    EXPECT_TRUE(editor.showsNeverAskButton());
    editor.save(); // replaced by "Always Use a New Chat"
    editor.alwaysNewChat();
    editor.cancel();
    EXPECT_EQ(calls, (std::vector<std::string>{"save example.com", "once example.com", "never ask", "cancel"}));

    // The settings form offers neither "Just This Once" nor the never-ask button.
    in.offersOnce = false;
    in.onOnce = nullptr;
    in.onNeverAsk = nullptr;
    RouteEditor settings(in);
    settings.setNeverAsk(true);
    EXPECT_FALSE(settings.showsOnceButton());
    EXPECT_FALSE(settings.showsNeverAskButton());
}

} // namespace
} // namespace pellora
