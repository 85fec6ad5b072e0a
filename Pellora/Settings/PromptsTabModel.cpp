#include "PromptsTabModel.h"

#include "Pellora/Shell/ConfigStore.h"

namespace pellora {

PromptsTabModel::PromptsTabModel(ConfigStore& store) : store_(store) {}

std::vector<PromptsTabModel::Row> PromptsTabModel::rows(const Config& config) {
    std::vector<Row> result;
    for (Action action : Action::allCases())
        result.push_back({config.name(action), std::string(action.placeholderName()), action.shortcutLabel(),
                          config.isConfigured(action)});
    return result;
}

std::vector<PromptsTabModel::Row> PromptsTabModel::rows() const { return rows(store_.config()); }

std::string PromptsTabModel::name() const { return store_.config().name(action()); }
std::string PromptsTabModel::placeholder() const { return std::string(action().placeholderName()); }
std::string PromptsTabModel::shortcut() const { return action().shortcutLabel(); }
ActionMode PromptsTabModel::mode() const { return store_.config().mode(action()); }
std::string PromptsTabModel::prompt() const { return store_.config().instruction(action()); }

std::string PromptsTabModel::footer(const Config& config, Action action) {
    if (config.isConfigured(action))
        return "Shown under Send to Claude in the menu bar.";
    std::string text = "This action appears in the menu once it has a name";
    if (config.mode(action) == ActionMode::prompt)
        text += " and a prompt";
    return text + ".";
}

std::string PromptsTabModel::footer() const { return footer(store_.config(), action()); }
bool PromptsTabModel::footerIsWarning() const { return !store_.config().isConfigured(action()); }
bool PromptsTabModel::showsPrompt() const { return mode() == ActionMode::prompt; }

std::vector<PromptsTabModel::Line> PromptsTabModel::explanation(const Config& config, Action action) {
    using Size = Line::Size;
    std::vector<Line> lines;
    if (config.mode(action) == ActionMode::prompt) {
        lines.push_back({"Your prompt is placed above the email, and both are pasted into the routed Claude chat.",
                         "text.bubble", Size::body, false});
        lines.push_back({config.autoSend
                             ? "Then it is sent right away, so Claude starts working on it immediately."
                             : "Auto-send is off, so it waits in Claude's message box until you press Return.",
                         "", Size::callout, true});
        lines.push_back({"Turn auto-send on or off in General.", "", Size::caption, true});
    } else {
        lines.push_back({"The email is pasted into the routed Claude chat, and nothing else happens.",
                         "doc.on.clipboard", Size::body, false});
        lines.push_back({"Nothing is sent. Type your own request in Claude, then press Return.", "", Size::callout,
                         true});
    }
    lines.push_back({"Either way, the email's From, To, Cc, date, subject, body and attachments are included.", "",
                     Size::caption, true});
    return lines;
}

std::vector<PromptsTabModel::Line> PromptsTabModel::explanation() const {
    return explanation(store_.config(), action());
}

bool PromptsTabModel::canReset() const { return store_.config().actions.contains(std::string(action().rawValue())); }

template <class Change> void PromptsTabModel::edit(Change change) {
    Config config = store_.config();
    change(config);
    store_.setConfig(config);
}

void PromptsTabModel::setName(const std::string& name) {
    edit([&](Config& config) { config.setName(name, action()); });
}

void PromptsTabModel::setMode(ActionMode mode) {
    edit([&](Config& config) { config.setMode(mode, action()); });
}

void PromptsTabModel::setPrompt(const std::string& prompt) {
    edit([&](Config& config) { config.setInstruction(prompt, action()); });
}

void PromptsTabModel::reset() {
    edit([&](Config& config) { config.resetAction(action()); });
}

} // namespace pellora
