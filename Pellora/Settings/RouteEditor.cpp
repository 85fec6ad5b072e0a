#include "RouteEditor.h"

#include <algorithm>

#include "Pellora/Settings/LightMarkdown.h"
#include "Pellora/Settings/Samples.h"
#include "PelloraCore/ChatLink.h"
#include "PelloraCore/Email.h"
#include "PelloraCore/PromptBuilder.h"
#include "PelloraCore/Text.h"

namespace pellora {
namespace {

std::vector<std::string> readChats(const std::function<std::vector<std::string>()>& loadChats) {
    if (!loadChats)
        return {};
    // A sidebar that cannot be read is an empty list, never a broken form.
    try {
        return loadChats();
    } catch (...) {
        return {};
    }
}

bool containsWhitespace(std::string_view text) {
    const std::u32string points = Text::codePoints(text);
    return std::any_of(points.begin(), points.end(), Text::isWhitespaceOrNewline);
}

// Each kind's system symbol (the kind picker and the route list) and its explanation, in the
// order of the kinds.
struct KindRow {
    std::string_view symbol;
    std::string_view explanation;
};
constexpr KindRow kindRows[] = {
    {"bubble.left.and.bubble.right", "Every email goes into one conversation, so Claude builds up context over time."},
    {"folder", "Each email starts a new chat inside the project, which shares the project's knowledge."},
    {"square.and.pencil", "Each email starts a fresh chat."},
    {"eye.slash", "Each email starts a private chat that isn't saved to your history."},
};
static_assert(DestinationKind::chat == 0 && DestinationKind::incognito == 3);

const KindRow& kindRow(DestinationKind kind) { return kindRows[DestinationKind::Value(kind)]; }

bool isUsedByName(DestinationKind kind) {
    return kind == DestinationKind::chat || kind == DestinationKind::project;
}

} // namespace

RouteEditor::RouteEditor(Inputs inputs)
    : inputs_(std::move(inputs)),
      field_(inputs_.initial.matchOn),
      matchType_(inputs_.initial.isAddressRule() ? MatchType::address : MatchType::domain),
      matchText_(Router::normalizeRule(inputs_.initial.domain)),
      kind_(inputs_.initial.kind),
      name_(inputs_.initial.name.value_or("")),
      url_(inputs_.initial.url.value_or("")),
      instructions_(inputs_.initial.instructions.value_or("")),
      chats_(readChats(inputs_.loadChats)) {
    lastSuggested_ = suggestedText(field_, matchType_);
}

void RouteEditor::setField(MatchField field) {
    if (field == field_)
        return;
    field_ = field;
    refreshPattern();
}

void RouteEditor::setMatchType(MatchType type) {
    if (type == matchType_)
        return;
    matchType_ = type;
    refreshPattern();
}

void RouteEditor::refreshChats() { chats_ = readChats(inputs_.loadChats); }

void RouteEditor::refreshPattern() {
    const std::optional<std::string> suggested = suggestedText(field_, matchType_);
    if (matchText_.empty() || matchText_ == lastSuggested_) {
        matchText_ = suggested.value_or("");
    } else if (matchType_ == MatchType::domain) {
        // A typed address becomes its domain.
        const auto at = matchText_.rfind('@');
        if (at != std::string::npos)
            matchText_ = matchText_.substr(at + 1);
    } else if (matchText_.find('@') == std::string::npos) {
        matchText_ = suggested.value_or("");
    }
    lastSuggested_ = suggested;
}

std::optional<std::string> RouteEditor::suggestedText(MatchField field, MatchType type) const {
    if (!inputs_.suggestions)
        return std::nullopt;
    const std::optional<std::string> address = inputs_.suggestions->address(field);
    if (!address)
        return std::nullopt;
    if (type == MatchType::address)
        return address;
    return Router::domain(*address);
}

std::string RouteEditor::whoPhrase() const {
    const std::string pattern = Router::normalizeRule(matchText_);
    if (matchType_ == MatchType::address)
        return pattern.empty() ? std::string(Samples::personAddress) : pattern;
    return "anyone at " + (pattern.empty() ? std::string(Samples::companyDomain) : pattern);
}

std::vector<std::string> RouteEditor::chatChoices() const {
    const std::string trimmedName = Text::trimmedSpaces(name_);
    if (trimmedName.empty() || std::find(chats_.begin(), chats_.end(), trimmedName) != chats_.end())
        return chats_;
    std::vector<std::string> choices{trimmedName};
    choices.insert(choices.end(), chats_.begin(), chats_.end());
    return choices;
}

std::optional<std::size_t> RouteEditor::selectedChat() const {
    const std::string trimmedName = Text::trimmedSpaces(name_);
    if (trimmedName.empty())
        return std::nullopt;
    const auto choices = chatChoices();
    const auto found = std::find(choices.begin(), choices.end(), trimmedName);
    if (found == choices.end())
        return std::nullopt;
    return std::size_t(found - choices.begin());
}

std::string RouteEditor::chatPrompt() const {
    return chatChoices().empty() ? "No chats found" : "Choose a chat…";
}

Route RouteEditor::draft() const {
    Route route;
    route.domain = Router::normalizeRule(matchText_);
    route.matchOn = field_;
    route.kind = kind_;
    if (isUsedByName(kind_)) {
        if (std::string name = Text::trimmedSpaces(name_); !name.empty())
            route.name = std::move(name);
        if (std::string url = Text::trimmed(url_); !url.empty())
            route.url = std::move(url);
    }
    if (std::string instructions = Text::trimmed(instructions_); !instructions.empty())
        route.instructions = std::move(instructions);
    return route;
}

std::optional<std::string> RouteEditor::ruleError() const {
    const std::string pattern = Router::normalizeRule(matchText_);
    if (pattern.empty())
        return std::nullopt;
    // Any white space, not only U+0020: a pasted tab or line break is just as wrong.
    if (containsWhitespace(pattern))
        return "Remove the spaces.";
    if (matchType_ == MatchType::domain) {
        if (pattern.find('@') != std::string::npos)
            return "Enter just the domain, like " + std::string(Samples::companyDomain) + ".";
        return std::nullopt;
    }
    const auto at = pattern.find('@');
    const bool fullAddress = at != std::string::npos && at > 0 && at + 1 < pattern.size() &&
                             pattern.find('@', at + 1) == std::string::npos;
    if (!fullAddress)
        return "Enter a full address, like " + std::string(Samples::personAddress) + ".";
    return std::nullopt;
}

bool RouteEditor::linkIsValid() const {
    return Text::trimmed(url_).empty() || ChatLink::appURL(url_).has_value();
}

std::optional<std::string> RouteEditor::linkMessage() const {
    if (linkIsValid())
        return std::nullopt;
    return "That doesn't look like a " + std::string(ChatLink::chatWebHost()) + " link.";
}

bool RouteEditor::isValid() const {
    if (Router::normalizeRule(matchText_).empty() || ruleError())
        return false;
    if (!isUsedByName(kind_))
        // The link field is hidden for these kinds and the draft drops the link, so a link
        // left over from another kind cannot block saving without a visible reason.
        return true;
    const Route route = draft();
    return linkIsValid() && (route.name || route.url);
}

std::string RouteEditor::preview() const {
    const Email sample(std::string(Samples::sender), "Question about the quote", "Mon, 5 May 2026",
                       {std::string(Samples::ownAddress)}, {}, "(the text of the email)", {}, "", std::nullopt,
                       {});
    return sample.prompt(PromptBuilder::compose(inputs_.previewPrompt, draft().instructions));
}

std::string RouteEditor::resultSentence() const {
    // The pieces are trimmed of spaces so that a closing "**" always follows a letter (one
    // after a space would show as two asterisks).
    return "Emails **" + std::string(field_.phrase()) + "** **" +
           LightMarkdown::escaped(Text::trimmedSpaces(whoPhrase())) + "** go to: **" +
           LightMarkdown::escaped(Text::trimmedSpaces(draft().destinationDescription())) + "**";
}

std::string RouteEditor::fieldHelp() const {
    std::string help = field_ == MatchField::from
                           ? "From looks at who the email came from, which is what you want for mail you receive. "
                           : "To looks at who the email was sent to. ";
    if (matchType_ == MatchType::domain)
        help += "A domain covers everyone there, subdomains too.";
    else
        help += "One address takes priority over a domain rule. To cover both directions with a client, add "
                "one From route and one To route.";
    return help;
}

std::string RouteEditor::kindExplanation() const { return std::string(kindRow(kind_).explanation); }

std::string RouteEditor::patternLabel() const {
    return matchType_ == MatchType::domain ? "Domain" : "Email address";
}

std::string RouteEditor::patternPlaceholder() const {
    return std::string(matchType_ == MatchType::domain ? Samples::companyDomain : Samples::personAddress);
}

bool RouteEditor::asksForDestination() const { return isUsedByName(kind_); }

std::string RouteEditor::linkLabel() const {
    return kind_ == DestinationKind::project ? "Project link" : "Chat link";
}

std::string RouteEditor::linkPlaceholder() const {
    return "https://" + std::string(ChatLink::chatWebHost()) +
           (kind_ == DestinationKind::project ? "/project/…" : "/chat/…");
}

bool RouteEditor::showsNeverAskButton() const { return neverAsk_ && inputs_.onNeverAsk != nullptr; }

bool RouteEditor::showsOnceButton() const {
    return !showsNeverAskButton() && inputs_.offersOnce && inputs_.onOnce != nullptr;
}

void RouteEditor::save() {
    if (!showsNeverAskButton() && isValid() && inputs_.onSave)
        inputs_.onSave(draft());
}

void RouteEditor::once() {
    if (showsOnceButton() && isValid())
        inputs_.onOnce(draft());
}

void RouteEditor::alwaysNewChat() {
    if (showsNeverAskButton())
        inputs_.onNeverAsk();
}

void RouteEditor::cancel() {
    if (inputs_.onCancel)
        inputs_.onCancel();
}

std::string_view RouteEditor::kindSymbol(DestinationKind kind) { return kindRow(kind).symbol; }

} // namespace pellora
