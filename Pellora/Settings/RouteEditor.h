#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PelloraCore/DestinationKind.h"
#include "PelloraCore/MatchField.h"
#include "PelloraCore/Route.h"
#include "PelloraCore/Router.h"

namespace pellora {

// The rules of the route form: its editing state and everything derived from it (the
// pattern it suggests, validation messages, the route it would save, the read-back sentence
// and the preview). It never writes the configuration: the finished route goes to the
// caller's callback. Serves both the Routes tab and the route chooser.
class RouteEditor {
public:
    enum class MatchType { domain, address };

    struct Inputs {
        std::string title;
        std::string subtitle;
        // The route to edit; for a new one, prepared by the caller.
        Route initial;
        // The current email's addresses, offered when the field or match type changes.
        std::optional<Router::RouteSuggestion> suggestions;
        // Whether "Just This Once" and the never-ask toggle are offered (the chooser).
        bool offersOnce = false;
        // The action prompt the preview shows above the sample email.
        std::string previewPrompt;
        // Re-reads the chat titles of Claude's sidebar.
        std::function<std::vector<std::string>()> loadChats;
        std::function<void(const Route&)> onSave;
        std::function<void(const Route&)> onOnce;  // optional
        std::function<void()> onNeverAsk;          // optional
        std::function<void()> onCancel;
    };

    // Reads the chat list once.
    explicit RouteEditor(Inputs inputs);

    const Inputs& inputs() const { return inputs_; }

    // Editing state. Changing the field or the match type refreshes the pattern.
    MatchField field() const { return field_; }
    void setField(MatchField field);
    MatchType matchType() const { return matchType_; }
    void setMatchType(MatchType type);
    const std::string& matchText() const { return matchText_; }
    void setMatchText(std::string text) { matchText_ = std::move(text); }
    const std::optional<std::string>& lastSuggested() const { return lastSuggested_; }
    DestinationKind kind() const { return kind_; }
    void setKind(DestinationKind kind) { kind_ = kind; }
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    const std::string& url() const { return url_; }
    void setUrl(std::string url) { url_ = std::move(url); }
    const std::string& instructions() const { return instructions_; }
    void setInstructions(std::string text) { instructions_ = std::move(text); }
    const std::vector<std::string>& chats() const { return chats_; }
    // "Refresh Chat List": replaces the list with a fresh reading (empty when it fails).
    void refreshChats();
    bool neverAsk() const { return neverAsk_; }
    void setNeverAsk(bool on) { neverAsk_ = on; }

    // Derived values.
    std::optional<std::string> suggestedText(MatchField field, MatchType type) const;
    // Who the rule covers, for the read-back sentence.
    std::string whoPhrase() const;
    // The chats to pick from; a stored chat the sidebar no longer shows stays first.
    std::vector<std::string> chatChoices() const;
    // The entry of chatChoices() that is selected, or absent for the "choose" entry.
    std::optional<std::size_t> selectedChat() const;
    // First entry of the chat picker: "Choose a chat…", or "No chats found".
    std::string chatPrompt() const;
    // The route that would be saved.
    Route draft() const;
    std::optional<std::string> ruleError() const;
    bool linkIsValid() const;
    // Shown under the link field while the link is not valid.
    std::optional<std::string> linkMessage() const;
    bool isValid() const;
    // The text Claude would receive for a sample email.
    std::string preview() const;
    // "Emails **received from** **…** go to: **…**" (light Markdown).
    std::string resultSentence() const;
    std::string fieldHelp() const;
    std::string kindExplanation() const;
    std::string patternLabel() const;
    std::string patternPlaceholder() const;
    // Whether the kind is found by name or link, so the form asks for them.
    bool asksForDestination() const;
    // "Chat link" or "Project link".
    std::string linkLabel() const;
    std::string linkPlaceholder() const;

    // Footer: "Always Use a New Chat" replaces "Just This Once" and "Save" while it shows.
    bool showsNeverAskButton() const;
    bool showsOnceButton() const;

    // The buttons. save() and once() do nothing while the form is not valid.
    void save();
    void once();
    void alwaysNewChat();
    void cancel();

    // The system symbol of each kind, shared by the kind picker and the route list.
    static std::string_view kindSymbol(DestinationKind kind);

private:
    void refreshPattern();

    Inputs inputs_;
    MatchField field_;
    MatchType matchType_;
    std::string matchText_;
    std::optional<std::string> lastSuggested_;
    DestinationKind kind_;
    std::string name_;
    std::string url_;
    std::string instructions_;
    std::vector<std::string> chats_;
    bool neverAsk_ = false;
};

} // namespace pellora
