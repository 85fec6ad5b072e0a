#include "RoutesTabModel.h"

#include <algorithm>

#include "Pellora/Settings/LightMarkdown.h"
#include "Pellora/Settings/Samples.h"
#include "Pellora/Shell/ConfigStore.h"
#include "PelloraCore/Email.h"
#include "PelloraCore/Router.h"
#include "PelloraCore/Text.h"

namespace pellora {
namespace {

bool isLineBreak(char32_t c) {
    return c == U'\n' || c == U'\r' || c == U'\v' || c == U'\f' || c == U'\u0085' || c == U'\u2028' ||
           c == U'\u2029';
}

std::string quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

} // namespace

std::string RoutesTabModel::ExampleRow::line() const {
    return "Email matching **" + LightMarkdown::escaped(matchText) + "** → " + LightMarkdown::escaped(destination);
}

std::string RoutesTabModel::RouteRow::fieldChip() const { return std::string(route.matchOn.title()); }

std::string RoutesTabModel::RouteRow::ruleChip() const { return route.isAddressRule() ? "Address" : "Domain"; }

std::optional<std::string> RoutesTabModel::RouteRow::instructionsLine() const {
    if (!route.instructions)
        return std::nullopt;
    std::u32string line;
    for (const char32_t c : Text::codePoints(*route.instructions) + U'\n') {
        if (!isLineBreak(c)) {
            line += c;
            continue;
        }
        if (std::string trimmed = Text::trimmed(Text::utf8(line)); !trimmed.empty())
            return trimmed;
        line.clear();
    }
    return std::nullopt;
}

std::optional<std::string> RoutesTabModel::RouteRow::warning() const {
    if (overlaps.empty())
        return std::nullopt;
    std::string patterns;
    for (const Route& other : overlaps)
        patterns += (patterns.empty() ? "" : ", ") + other.domain;
    return "Overlaps with " + patterns + ". The one higher in the list wins.";
}

RoutesTabModel::RoutesTabModel(ConfigStore& store) : store_(store) {}

const std::vector<RoutesTabModel::ExampleRow>& RoutesTabModel::examples() {
    static const std::vector<ExampleRow> rows{
        {"tray.and.arrow.down", "From: mail you receive", std::string(Samples::personAddress),
         "the chat " + quoted(Samples::personName),
         "a domain such as " + std::string(Samples::companyDomain) + " covers everyone at that company"},
        {"paperplane", "To: mail you send", std::string(Samples::companyDomain),
         "the project " + quoted(Samples::companyName),
         "a client you write to and hear from needs one From route and one To route"},
    };
    return rows;
}

std::vector<RoutesTabModel::RouteRow> RoutesTabModel::rows(const std::vector<Route>& routes) {
    std::vector<RouteRow> rows;
    rows.reserve(routes.size());
    for (const Route& route : routes) {
        RouteRow row{route, {}};
        for (const Route& other : routes)
            if (Router::overlaps(route, other))
                row.overlaps.push_back(other);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<RoutesTabModel::RouteRow> RoutesTabModel::rows() const { return rows(store_.config().routes); }

std::string RoutesTabModel::emptyText() {
    return "No routes yet.\nThey are added when you send an email that has none, or with +.";
}

bool RoutesTabModel::canRemove() const {
    if (!selection_)
        return false;
    const auto& routes = store_.config().routes;
    return std::any_of(routes.begin(), routes.end(), [this](const Route& route) { return route.id() == *selection_; });
}

void RoutesTabModel::removeSelected() {
    if (!canRemove())
        return;
    Config config = store_.config();
    std::erase_if(config.routes, [this](const Route& route) { return route.id() == *selection_; });
    selection_.reset();
    store_.setConfig(config);
}

void RoutesTabModel::move(std::size_t from, std::size_t to) {
    Config config = store_.config();
    if (from >= config.routes.size() || to >= config.routes.size() || from == to)
        return;
    Route moving = std::move(config.routes[from]);
    config.routes.erase(config.routes.begin() + std::ptrdiff_t(from));
    config.routes.insert(config.routes.begin() + std::ptrdiff_t(to), std::move(moving));
    store_.setConfig(config);
}

RouteEditor::Inputs RoutesTabModel::editorInputs(const std::optional<Route>& editing) const {
    RouteEditor::Inputs inputs;
    inputs.title = editing ? "Edit Route" : "Add Route";
    inputs.subtitle = "Choose which emails this applies to, and where Claude should receive them.";
    if (editing) {
        inputs.initial = *editing;
    } else {
        inputs.initial.domain = "";
        inputs.initial.matchOn = MatchField::to;
        inputs.initial.kind = DestinationKind::newChat;
    }
    inputs.offersOnce = false;
    inputs.previewPrompt = store_.config().instruction(Action::reply);
    return inputs;
}

void RoutesTabModel::saveEdit(const std::optional<Route>& editing, const Route& route) {
    Config config = store_.config();
    if (editing)
        config.replace(*editing, route);
    else
        config.upsert(route);
    Route stored = route;
    stored.domain = Router::normalizeRule(route.domain);
    selection_ = stored.id();
    store_.setConfig(config);
}

bool RoutesTabModel::askForUnknownRoutes() const { return store_.config().askForUnknownRoutes; }

void RoutesTabModel::setAskForUnknownRoutes(bool on) {
    if (on == askForUnknownRoutes())
        return;
    Config config = store_.config();
    config.askForUnknownRoutes = on;
    store_.setConfig(config);
}

std::string RoutesTabModel::toggleNote() const {
    return askForUnknownRoutes()
               ? "A window asks the first time you send an email that has none, and remembers your answer."
               : "Emails without a route always start a new chat.";
}

std::string RoutesTabModel::testResult() const {
    if (testFrom.empty() && testTo.empty())
        return "Type a sender and a recipient to see which route would apply.";
    std::vector<std::string> to;
    if (!testTo.empty())
        to.push_back(testTo);
    const Email email(testFrom, "", "", std::move(to), {}, "", {}, "", std::nullopt, {});
    const auto match = Router::match(email, store_.config());
    if (!match)
        return askForUnknownRoutes() ? "No route matches. The app would ask where to send it."
                                     : "No route matches. It would start a new chat.";
    using LightMarkdown::escaped;
    const Route& route = match->route;
    return "**" + std::string(route.matchOn.title()) + " " + escaped(route.domain) + "** (" +
           (route.isAddressRule() ? "address" : "domain") + ") matches " + escaped(match->address) +
           ", so it goes to: **" + escaped(Text::trimmedSpaces(route.destinationDescription())) + "**.";
}

} // namespace pellora
