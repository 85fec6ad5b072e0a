#pragma once

#include <optional>
#include <string>
#include <vector>

#include "PelloraCore/Action.h"
#include "PelloraCore/Config.h"

namespace pellora {

class ConfigStore;

// The rules of the Prompts tab: the list of the six actions and the editor of the selected
// one. Everything is read from the store's live configuration on every call; every edit is
// one setter on it, saved at once.
class PromptsTabModel {
public:
    // One line of the action list.
    struct Row {
        std::string name;
        std::string placeholder;
        std::string shortcut;
        bool configured = false;
        // What the first line shows: the name, or the dimmed placeholder when it is empty.
        const std::string& title() const { return name.empty() ? placeholder : name; }
        bool dimmed() const { return name.empty(); }
        bool operator==(const Row&) const = default;
    };

    // One line of the explanation under the mode choice.
    struct Line {
        enum class Size { body, callout, caption };
        std::string text;
        std::string symbol; // only the first line has one
        Size size = Size::body;
        bool faded = false; // the primary colour at 78 %
        bool operator==(const Line&) const = default;
    };

    static constexpr const char* notInMenu = "Not in the menu yet";

    explicit PromptsTabModel(ConfigStore& store);

    static std::vector<Row> rows(const Config& config);
    std::vector<Row> rows() const;

    // The action being edited: the selected one, or `reply` while none is.
    std::optional<Action> selected() const { return selected_; }
    void select(std::optional<Action> action) { selected_ = action; }
    Action action() const { return selected_.value_or(Action::reply); }

    std::string name() const;
    std::string placeholder() const;
    std::string shortcut() const;
    ActionMode mode() const;
    std::string prompt() const;
    // The "Menu item" footer, and whether it is the orange warning.
    static std::string footer(const Config& config, Action action);
    std::string footer() const;
    bool footerIsWarning() const;
    bool showsPrompt() const;
    static std::vector<Line> explanation(const Config& config, Action action);
    std::vector<Line> explanation() const;
    // While the configuration holds any override for the action.
    bool canReset() const;

    void setName(const std::string& name);
    void setMode(ActionMode mode);
    void setPrompt(const std::string& prompt);
    void reset();

private:
    template <class Change> void edit(Change change);

    ConfigStore& store_;
    std::optional<Action> selected_;
};

} // namespace pellora
