#include <gtest/gtest.h>

#include "PelloraCore/Router.h"

using namespace pellora;

namespace {

Email email(std::string sender, std::vector<std::string> to, std::vector<std::string> cc = {},
            std::vector<std::string> accounts = {}) {
    return Email(std::move(sender), "s", "d", std::move(to), std::move(cc), "b", {}, "", std::nullopt,
                 std::move(accounts));
}

Route rule(std::string pattern, MatchField field = MatchField::from, std::optional<std::string> name = std::nullopt) {
    return Route{std::move(pattern), field, DestinationKind::chat, std::move(name), std::nullopt, std::nullopt};
}

Config configWith(std::vector<Route> routes) {
    Config config;
    config.routes = std::move(routes);
    return config;
}

} // namespace

TEST(Router, NormalizeAddressesPatternsAndDomains) {
    const std::pair<const char*, const char*> cases[] = {
        {"Ann Lee <ANN@Example.COM>", "ann@example.com"},
        {"\u00A0 Bob@X.org\u2028", "bob@x.org"},
        {"< ann@x.org >", " ann@x.org "},
        {"a <b> <C@D.e>", "c@d.e"},
        {"x> <y", "x> <y"},
        {"Ann <ann@x.org", "ann <ann@x.org"},
        {"İ@X.ORG", "i\u0307@x.org"},
        {"<>", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Router::normalize(text), expected) << text;

    EXPECT_EQ(Router::normalizeRule(" \u3000@Example.COM\u0085"), "example.com");
    EXPECT_EQ(Router::normalizeRule("@@x.org"), "@x.org");
    EXPECT_EQ(Router::normalizeRule(" @ "), "");
    EXPECT_EQ(Router::domain("ann@Example.com"), "Example.com");
    EXPECT_EQ(Router::domain("a@b@c.org"), "c.org");
    EXPECT_EQ(Router::domain("ann@"), std::nullopt);
    EXPECT_EQ(Router::domain("example.com"), std::nullopt);
}

TEST(Router, AddressRulesBeatDomainRulesThenListOrder) {
    const auto config = configWith({rule("example.com", MatchField::from, "domain"),
                                    rule("to.org", MatchField::to, "to"),
                                    rule("ann@example.com", MatchField::from, "ann")});
    EXPECT_EQ(Router::match(email("Ann <ANN@example.com>", {"x@to.org"}), config),
              (Router::RouteMatch{rule("ann@example.com", MatchField::from, "ann"), "ann@example.com"}));

    // Among domain rules a "to" rule above beats a "from" rule below.
    const auto ordered = configWith({rule("to.org", MatchField::to, "to"), rule("example.com", MatchField::from, "from")});
    EXPECT_EQ(Router::route(email("bob@example.com", {"x@to.org"}), ordered)->name, "to");

    // A parent domain listed first wins over its subdomain.
    const auto nested = configWith({rule("@Example.com", MatchField::from, "parent"), rule("mail.example.com", MatchField::from, "child")});
    EXPECT_EQ(Router::match(email("bob@mail.example.com", {}), nested), // the rule as stored
              (Router::RouteMatch{rule("@Example.com", MatchField::from, "parent"), "bob@mail.example.com"}));
}

TEST(Router, WhatADomainRuleMatches) {
    const auto config = configWith({rule("example.com")});
    const std::pair<const char*, bool> senders[] = {
        {"a@example.com", true}, {"a@deep.sub.example.com", true}, {"a@badexample.com", false},
        {"a@example.com.evil", false}, {"example.com", false}, {"a@", false}, {"x@y@EXAMPLE.com", true},
    };
    for (const auto& [sender, matches] : senders)
        EXPECT_EQ(Router::match(email(sender, {}), config).has_value(), matches) << sender;

    for (const char* pattern : {"@", "  ", ""})
        EXPECT_FALSE(Router::match(email("a@example.com", {"a@example.com"}), configWith({rule(pattern), rule(pattern, MatchField::to)})))
            << pattern;
    // Spaces kept inside angle brackets make the address differ.
    EXPECT_FALSE(Router::match(email("Ann < ann@x.org>", {}), configWith({rule("ann@x.org")})));
}

TEST(Router, ToRulesSeeEveryToRecipientButNeverCc) {
    const auto config = configWith({rule("x.org", MatchField::to)});
    EXPECT_EQ(Router::match(email("me@home.net", {"", "bob@y.org", "Cy <CY@x.org>"}), config),
              (Router::RouteMatch{rule("x.org", MatchField::to), "cy@x.org"}));
    EXPECT_FALSE(Router::match(email("me@home.net", {"bob@y.org"}, {"cy@x.org"}), config));
    EXPECT_FALSE(Router::match(email("cy@x.org", {}), config));
}

TEST(Router, SuggestionChoosesTheCorrespondentsSide) {
    using S = Router::RouteSuggestion;
    const std::tuple<const char*, Email, std::optional<S>> cases[] = {
        {"received", email("Ann <ann@a.org>", {"Me <me@home.net>"}, {}, {"ME@home.net"}),
         S{MatchField::from, "ann@a.org", "me@home.net"}},
        {"sent", email("Me <Me@Home.net>", {"Bob <bob@b.org>", "c@c.org"}, {}, {"me@home.net"}),
         S{MatchField::to, "me@home.net", "bob@b.org"}},
        {"sent without recipients", email("me@home.net", {}, {"c@c.org"}, {"me@home.net"}),
         S{MatchField::from, "me@home.net", std::nullopt}},
        {"sender without address", email("Mail Delivery System", {"me@home.net"}, {}, {"me@home.net"}),
         S{MatchField::to, std::nullopt, "me@home.net"}},
        {"unknown account, recipient present", email("ann@a.org", {"bob@b.org"}),
         S{MatchField::to, "ann@a.org", "bob@b.org"}},
        {"unknown account, no recipient", email("ann@a.org", {}), S{MatchField::from, "ann@a.org", std::nullopt}},
        {"nothing to suggest", email("nobody", {}), std::nullopt},
    };
    for (const auto& [label, mail, expected] : cases)
        EXPECT_EQ(Router::suggestion(mail, Config()), expected) << label;

    EXPECT_EQ(Router::suggestion(email("ann@a.org", {}), configWith({rule("a.org")})), std::nullopt);
}

TEST(Router, Overlaps) {
    const auto parent = rule("example.com"), child = rule("@Mail.Example.com ");
    const std::tuple<Route, Route, bool> cases[] = {
        {parent, parent, false}, {parent, child, true}, {child, parent, true}, {parent, rule("@example.com"), true},
        {parent, rule("mail.example.com", MatchField::to), false}, {parent, rule("ann@example.com"), false},
        {parent, rule("badexample.com"), false}, {rule("@"), rule(" "), false},
    };
    for (const auto& [a, b, overlapping] : cases)
        EXPECT_EQ(Router::overlaps(a, b), overlapping) << a.domain << " / " << b.domain;
}

TEST(ConfigRoutes, UpsertAppendsReplaceKeepsThePlaceAndBothDropTheSamePattern) {
    auto config = configWith({rule("example.com", MatchField::from, "old"), rule("example.com", MatchField::to, "to"),
                              rule("other.org")});
    config.upsert(rule(" @EXAMPLE.Com\t", MatchField::from, "new"));
    EXPECT_EQ(config.routes, (std::vector<Route>{rule("example.com", MatchField::to, "to"), rule("other.org"),
                                                 rule("example.com", MatchField::from, "new")}));

    config = configWith({rule("a.org"), rule("b.org"), rule("c.org")});
    config.replace(rule("b.org"), rule(" B.org ", MatchField::from, "edited"));
    EXPECT_EQ(config.routes, (std::vector<Route>{rule("a.org"), rule("b.org", MatchField::from, "edited"), rule("c.org")}));

    // Editing c.org into a.org removes the old a.org rule and takes c.org's place.
    config.replace(rule("c.org"), rule("@A.ORG", MatchField::from, "merged"));
    EXPECT_EQ(config.routes, (std::vector<Route>{rule("b.org", MatchField::from, "edited"), rule("a.org", MatchField::from, "merged")}));

    // A rule no longer in the list: upsert.
    config.replace(rule("gone.org"), rule("B.org", MatchField::from, "again"));
    EXPECT_EQ(config.routes, (std::vector<Route>{rule("a.org", MatchField::from, "merged"), rule("b.org", MatchField::from, "again")}));
}
