#include "Router.h"

#include <algorithm>
#include <set>
#include <vector>

#include "Text.h"

namespace pellora::Router {
namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool contains(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

// The addresses of the email that a rule on `field` is tested against, in order.
std::vector<std::string> candidates(const Email& email, MatchField field) {
    std::vector<std::string> result;
    if (field == MatchField::from) {
        auto sender = normalize(email.sender);
        if (contains(sender, '@'))
            result.push_back(std::move(sender));
    } else {
        for (const auto& recipient : email.to)
            result.push_back(normalize(recipient));
    }
    return result;
}

// A pattern with "@" names one address; any other names a domain and its subdomains.
bool ruleMatches(const std::string& pattern, const std::string& candidate) {
    if (pattern.empty())
        return false;
    if (contains(pattern, '@'))
        return candidate == pattern;
    const auto candidateDomain = domain(candidate);
    return candidateDomain && (*candidateDomain == pattern || endsWith(*candidateDomain, "." + pattern));
}

} // namespace

std::optional<std::string> RouteSuggestion::address(MatchField forField) const {
    return forField == MatchField::to ? toAddress : fromAddress;
}

std::string normalize(std::string_view text) {
    const std::string trimmed = Text::trimmed(text);
    std::string_view address = trimmed;
    const auto open = address.rfind('<');
    const auto close = address.rfind('>');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open)
        address = address.substr(open + 1, close - open - 1);
    return Text::lowercased(address);
}

std::string normalizeRule(std::string_view text) {
    std::string rule = Text::lowercased(Text::trimmed(text));
    if (!rule.empty() && rule.front() == '@')
        rule.erase(0, 1);
    return rule;
}

std::optional<std::string> domain(std::string_view text) {
    const auto at = text.rfind('@');
    if (at == std::string_view::npos || at + 1 == text.size())
        return std::nullopt;
    return std::string(text.substr(at + 1));
}

std::optional<RouteMatch> match(const Email& email, const Config& config) {
    // Address rules beat domain rules wherever they stand; list order decides within a kind.
    for (const bool addressPass : {true, false}) {
        for (const auto& route : config.routes) {
            if (route.isAddressRule() != addressPass)
                continue;
            const std::string pattern = normalizeRule(route.domain);
            for (const auto& candidate : candidates(email, route.matchOn))
                if (ruleMatches(pattern, candidate))
                    return RouteMatch{route, candidate};
        }
    }
    return std::nullopt;
}

std::optional<Route> route(const Email& email, const Config& config) {
    if (auto found = match(email, config))
        return std::move(found->route);
    return std::nullopt;
}

std::optional<RouteSuggestion> suggestion(const Email& email, const Config& config) {
    if (match(email, config))
        return std::nullopt;
    const auto fromCandidates = candidates(email, MatchField::from);
    const auto toCandidates = candidates(email, MatchField::to);
    std::optional<std::string> from, to;
    if (!fromCandidates.empty())
        from = fromCandidates.front();
    if (!toCandidates.empty())
        to = toCandidates.front();
    if (!from && !to)
        return std::nullopt;

    std::set<std::string> own;
    for (const auto& address : email.accountAddresses)
        own.insert(normalize(address));

    MatchField field = MatchField::to;
    if (own.empty() || (from && own.contains(*from)))
        // No way to tell, or the user wrote it: the recipient is the correspondent.
        field = to ? MatchField::to : MatchField::from;
    else if (!from)
        field = MatchField::to;
    else
        // The user received it.
        field = MatchField::from;
    return RouteSuggestion{field, from, to};
}

bool overlaps(const Route& a, const Route& b) {
    if (a.id() == b.id() || a.matchOn != b.matchOn)
        return false;
    if (a.isAddressRule() || b.isAddressRule())
        return false;
    const std::string patternA = normalizeRule(a.domain);
    const std::string patternB = normalizeRule(b.domain);
    if (patternA.empty() || patternB.empty())
        return false;
    return patternA == patternB || endsWith(patternA, "." + patternB) || endsWith(patternB, "." + patternA);
}

} // namespace pellora::Router
