// Routing one email among many routes: the send flow asks for every email, the routes tab's
// tester on every key stroke. Target: the winning route among 1,000 routes within 50 µs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "PelloraCore/Config.h"
#include "PelloraCore/Email.h"
#include "PelloraCore/Router.h"

using namespace pellora;

namespace {

// A long route list as a busy user would build it: domain rules written every way the editor
// accepts them, a few address rules, both sides; the one that matches stands last.
Config thousandRoutes() {
    Config config;
    for (int i = 0; i < 999; ++i) {
        Route route;
        route.matchOn = i % 3 ? MatchField::from : MatchField::to;
        route.kind = DestinationKind::chat;
        route.name = "Client " + std::to_string(i);
        if (i % 10 == 0)
            route.domain = "person" + std::to_string(i) + "@client" + std::to_string(i) + ".example";
        else if (i % 10 == 1)
            route.domain = " @Client" + std::to_string(i) + ".Example ";
        else
            route.domain = "client" + std::to_string(i) + ".example";
        config.routes.push_back(route);
    }
    Route winner;
    winner.domain = "acme.com";
    winner.matchOn = MatchField::from;
    winner.kind = DestinationKind::project;
    winner.name = "Acme";
    config.routes.push_back(winner);
    return config;
}

Email email() {
    return Email("Ada Lovelace <Ada@Mail.ACME.com>", "Quarterly report", "Saturday, 5 December 2026 at 06:19:03",
                 {"me@home.example", "Team <team@home.example>", "bob@partner.example"}, {"cc@home.example"}, "Hello",
                 {}, "<q4@acme.com>", std::nullopt, {"me@home.example"});
}

void winningRoute(benchmark::State& state) {
    const Config config = thousandRoutes();
    const Email message = email();
    for (auto _ : state) {
        auto found = Router::match(message, config);
        if (!found || found->route.domain != "acme.com")
            state.SkipWithError("the wrong route won");
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(winningRoute)->Unit(benchmark::kMicrosecond);

} // namespace
