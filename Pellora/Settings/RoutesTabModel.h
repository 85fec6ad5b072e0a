#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "Pellora/Settings/RouteEditor.h"
#include "PelloraCore/Route.h"

namespace pellora {

class ConfigStore;

// The rules of the Routes tab: the explainer's examples, the rows of the route list with
// their overlap warnings, the selection, every edit of the list (each stored, and so saved,
// through the configuration store at once), the asking toggle and the route tester.
class RoutesTabModel {
public:
    struct ExampleRow {
        std::string icon;
        std::string title;
        std::string matchText;
        std::string destination;
        std::string note;
        // "Email matching **…** → …" (light Markdown).
        std::string line() const;
    };

    struct RouteRow {
        Route route;
        // The routes of the list that overlap this one, in list order.
        std::vector<Route> overlaps;

        std::string fieldChip() const;
        std::string ruleChip() const;
        // The first non-empty line of the standing instructions, trimmed.
        std::optional<std::string> instructionsLine() const;
        std::optional<std::string> warning() const;
    };

    explicit RoutesTabModel(ConfigStore& store);

    static const std::vector<ExampleRow>& examples();
    static std::vector<RouteRow> rows(const std::vector<Route>& routes);
    std::vector<RouteRow> rows() const;
    static std::string emptyText();

    // The id of the selected route.
    const std::optional<std::string>& selection() const { return selection_; }
    void select(std::optional<std::string> id) { selection_ = std::move(id); }
    bool canRemove() const;
    void removeSelected();
    // Moves the route at `from` so that it ends up at `to` (both list positions).
    void move(std::size_t from, std::size_t to);

    // The editor for a new route (no `editing`) or for `editing` as it is now; its chat list
    // and callbacks are the caller's.
    RouteEditor::Inputs editorInputs(const std::optional<Route>& editing) const;
    // The editor's Save: adds, or replaces the route as it was, and selects the result.
    void saveEdit(const std::optional<Route>& editing, const Route& route);

    bool askForUnknownRoutes() const;
    void setAskForUnknownRoutes(bool on);
    std::string toggleNote() const;

    std::string testFrom;
    std::string testTo;
    // Which route the tester's sender and recipient would follow (light Markdown).
    std::string testResult() const;

private:
    ConfigStore& store_;
    std::optional<std::string> selection_;
};

} // namespace pellora
