// Route patterns as typed in the route editor, matched against addresses as Mail gave them.
// Input: lines; each pattern line starts with "f" (from) or "t" (to), then the pattern; the
// line "--" ends the patterns; then the sender, then To addresses.
#include <string>
#include <vector>

#include "Fuzz/FuzzTarget.h"
#include "PelloraCore/Config.h"
#include "PelloraCore/Email.h"
#include "PelloraCore/Router.h"

namespace {

using namespace pellora;

// A rule against one candidate, straight from the rule's definition.
bool matches(const Route& route, const std::string& candidate) {
    const std::string pattern = Router::normalizeRule(route.domain);
    if (pattern.empty())
        return false;
    if (pattern.find('@') != std::string::npos)
        return candidate == pattern;
    const auto at = candidate.rfind('@');
    if (at == std::string::npos || at + 1 == candidate.size())
        return false;
    const std::string domain = candidate.substr(at + 1);
    return domain == pattern || (domain.size() > pattern.size() && domain.ends_with("." + pattern));
}

std::vector<std::string> candidates(const Email& email, MatchField field) {
    std::vector<std::string> result;
    if (field == MatchField::from) {
        const auto sender = Router::normalize(email.sender);
        if (sender.find('@') != std::string::npos)
            result.push_back(sender);
    } else {
        for (const auto& to : email.to)
            result.push_back(Router::normalize(to));
    }
    return result;
}

} // namespace

PELLORA_FUZZ_TARGET(RoutePatterns) {
    const auto lines = fuzz::pieces(input);
    Config config;
    std::size_t i = 0;
    for (; i < lines.size() && lines[i] != "--" && config.routes.size() < 16; ++i) {
        Route route;
        route.matchOn = lines[i].starts_with('f') ? MatchField::from : MatchField::to;
        route.domain = std::string(lines[i].substr(lines[i].empty() ? 0 : 1));
        config.routes.push_back(route);
    }
    ++i;
    const std::string sender = i < lines.size() ? std::string(lines[i++]) : "";
    std::vector<std::string> to;
    for (; i < lines.size() && to.size() < 8; ++i)
        to.emplace_back(lines[i]);
    const Email email(sender, "", "", to, {}, "", {}, "", std::nullopt, {});

    // The winner: an address rule whenever one matches, else the first domain rule; within
    // each kind the first rule in the list; and the address it names is one of the email's.
    const auto match = Router::match(email, config);
    std::optional<Router::RouteMatch> expected;
    for (bool addressRules : {true, false}) {
        for (const auto& route : config.routes) {
            if (route.isAddressRule() != addressRules || expected)
                continue;
            for (const auto& candidate : candidates(email, route.matchOn))
                if (!expected && matches(route, candidate))
                    expected = Router::RouteMatch{route, candidate};
        }
    }
    FUZZ_CHECK(match == expected);
    FUZZ_CHECK(!match || !Router::suggestion(email, config));

    for (const auto& a : config.routes) {
        FUZZ_CHECK(!Router::overlaps(a, a));
        for (const auto& b : config.routes)
            FUZZ_CHECK(Router::overlaps(a, b) == Router::overlaps(b, a));
    }

    // An upsert appends the rule with its pattern normalised, and no other rule on its side
    // is left whose pattern normalises to the same.
    if (!config.routes.empty()) {
        Config edited = config;
        const Route added = config.routes.front();
        edited.upsert(added);
        const auto pattern = Router::normalizeRule(added.domain);
        FUZZ_CHECK(edited.routes.back().domain == pattern && edited.routes.back().matchOn == added.matchOn);
        for (std::size_t k = 0; k + 1 < edited.routes.size(); ++k)
            FUZZ_CHECK(edited.routes[k].matchOn != added.matchOn ||
                       Router::normalizeRule(edited.routes[k].domain) != pattern);
        FUZZ_CHECK(edited.routes.size() <= config.routes.size());
    }
}
