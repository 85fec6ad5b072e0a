#include "MenuPanelModel.h"

#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Shell/MenuState.h"

namespace pellora {

MenuPanelModel::MenuPanelModel(ConfigStore& store, MenuState& state, std::string version, Callbacks callbacks,
                               QObject* parent)
    : QObject(parent), store_(store), state_(state), version_(std::move(version)), callbacks_(std::move(callbacks)) {
    connect(&store_, &ConfigStore::configChanged, this, &MenuPanelModel::changed);
    connect(&state_, &MenuState::busyChanged, this, &MenuPanelModel::changed);
}

std::string MenuPanelModel::status() const { return state_.busy() ? "Sending…" : "v" + version_; }

bool MenuPanelModel::showsProgress() const { return state_.busy(); }

std::vector<MenuPanelModel::Row> MenuPanelModel::rows() const {
    const Config& config = store_.config();
    std::vector<Row> rows;
    for (Action action : Action::allCases()) {
        if (!config.isConfigured(action))
            continue;
        rows.push_back(Row{action, std::string(symbol(action)), config.name(action), action.shortcutLabel(),
                           state_.busy()});
    }
    return rows;
}

const std::vector<MenuPanelModel::FooterButton>& MenuPanelModel::footer() {
    static const std::vector<FooterButton> buttons{
        {Button::checkForUpdates, "arrow.triangle.2.circlepath", "Check for Updates", false},
        {Button::settings, "gearshape", "Settings", false},
        {Button::support, "heart", "Support the App", false},
        {Button::quit, "power", "Quit Tovrin", true},
    };
    return buttons;
}

std::string_view MenuPanelModel::symbol(Action action) {
    switch (action) {
    case Action::reply: return "arrowshape.turn.up.left";
    case Action::summary: return "checklist";
    case Action::research: return "magnifyingglass";
    case Action::custom1:
    case Action::custom2: return "sparkles";
    case Action::pasteOnly: return "doc.on.clipboard";
    }
    return "";
}

void MenuPanelModel::choose(Action action) {
    if (state_.busy() || !callbacks_.onSend)
        return;
    callbacks_.onSend(action);
}

void MenuPanelModel::press(Button button) {
    const std::function<void()>* callback = nullptr;
    switch (button) {
    case Button::checkForUpdates: callback = &callbacks_.onCheckUpdates; break;
    case Button::settings: callback = &callbacks_.onSettings; break;
    case Button::support: callback = &callbacks_.onSupport; break;
    case Button::quit: callback = &callbacks_.onQuit; break;
    }
    if (callback && *callback)
        (*callback)();
}

} // namespace pellora
