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
bool ruleMatches(std::string_view pattern, std::string_view candidate) {
    if (pattern.empty())
        return false;
    if (contains(pattern, '@'))
        return candidate == pattern;
    const auto at = candidate.rfind('@');
    if (at == std::string_view::npos || at + 1 == candidate.size())
        return false;
    const std::string_view candidateDomain = candidate.substr(at + 1);
    return candidateDomain == pattern ||
           (endsWith(candidateDomain, pattern) && candidateDomain[candidateDomain.size() - pattern.size() - 1] == '.');
}

// normalizeRule's result without a copy when the stored pattern is already in that form, as
// the route editor stores it (ASCII, no capitals, nothing to trim, no leading "@").
std::string_view normalizedRule(const std::string& stored, std::string& scratch) {
    const bool plain = !stored.empty() && stored.front() != '@' &&
                       std::all_of(stored.begin(), stored.end(), [](char c) {
                           const auto byte = static_cast<unsigned char>(c);
                           return byte > ' ' && byte < 0x80 && !(c >= 'A' && c <= 'Z');
                       });
    if (plain)
        return stored;
    scratch = normalizeRule(stored);
    return scratch;
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
    // The email's addresses are normalised once, each rule's pattern once per pass.
    const std::vector<std::string> fromCandidates = candidates(email, MatchField::from);
    const std::vector<std::string> toCandidates = candidates(email, MatchField::to);
    // Address rules beat domain rules wherever they stand; list order decides within a kind.
    std::string scratch;
    for (const bool addressPass : {true, false}) {
        for (const auto& route : config.routes) {
            if (route.isAddressRule() != addressPass)
                continue;
            const std::string_view pattern = normalizedRule(route.domain, scratch);
            for (const auto& candidate : route.matchOn == MatchField::from ? fromCandidates : toCandidates)
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
