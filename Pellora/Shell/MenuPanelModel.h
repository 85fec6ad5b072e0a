#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>

#include "PelloraCore/Action.h"

namespace pellora {

class ConfigStore;
class MenuState;

// The menu panel's rules, without widgets: which actions are listed (live, as the
// configuration changes), the header, the rows and the footer buttons, and what choosing
// them does. The panel widget draws this and redraws on `changed`.
class MenuPanelModel : public QObject {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(Action)> onSend;
        std::function<void()> onCheckUpdates;
        std::function<void()> onSettings;
        std::function<void()> onSupport;
        std::function<void()> onQuit;
    };

    struct Row {
        Action action;
        std::string symbol;
        std::string title;
        std::string shortcut; // "⌥⌘S"
        bool disabled = false;
        bool operator==(const Row&) const = default;
    };

    enum class Button { checkForUpdates, settings, support, quit };

    struct FooterButton {
        Button button;
        std::string symbol;
        std::string label; // shown as the tool tip
        bool afterSpace = false; // a flexible space stands before it
        bool operator==(const FooterButton&) const = default;
    };

    static constexpr std::string_view title = "Tovrin";
    static constexpr std::string_view sectionLabel = "Send to Claude";
    static constexpr std::string_view emptyText =
        "No actions are set up yet. Give one a name and a prompt in Settings → Prompts.";

    // `version` is the bundle's short version ("0.0.0" without one).
    MenuPanelModel(ConfigStore& store, MenuState& state, std::string version, Callbacks callbacks,
                   QObject* parent = nullptr);

    // "v" and the version while idle, "Sending…" while a send runs.
    std::string status() const;
    // A progress indicator stands before the status while a send runs.
    bool showsProgress() const;
    // One row per action that is set up, in the actions' order.
    std::vector<Row> rows() const;
    static const std::vector<FooterButton>& footer();
    static std::string_view symbol(Action action);

    // The row's action; ignored while a send runs, as the rows are disabled then.
    void choose(Action action);
    // A footer button; these work while a send runs.
    void press(Button button);

signals:
    // The configuration or the busy state changed: draw again.
    void changed();

private:
    ConfigStore& store_;
    MenuState& state_;
    std::string version_;
    Callbacks callbacks_;
};

} // namespace pellora
