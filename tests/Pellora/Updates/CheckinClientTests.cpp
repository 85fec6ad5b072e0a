#include <optional>
#include <regex>
#include <string>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "App/LoopbackServer.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Updates/BackendConfig.h"
#include "Pellora/Updates/CheckinClient.h"

namespace pellora {
namespace {

using testing::LoopbackServer;

const CheckinRequest request{"0f0e0d0c-0b0a-4908-8706-050403020100", CheckinRequest::Event::open, std::nullopt,
                             false, true, "1.2.0", "6.1.0", "en-US"};

struct CheckinClientTest : ::testing::Test {
    VirtualClock clock;
    LoopbackServer server;
    CheckinClient::Transport trusting{server.url(), Clock::Duration(20), LoopbackServer::authority(), 100000};
    std::optional<CheckinResponse> response;

    // What one send ended in: "answered", or the error's kind (a ServerError with its status
    // and code) and description.
    std::string send(const CheckinClient::Transport& transport) {
        response.reset();
        try {
            response = testing::runOnNetwork(CheckinClient::send(request, clock, transport));
            return "answered";
        } catch (const CheckinClient::ServerError& error) {
            return "server " + std::to_string(error.status()) + " " + error.code().value_or("-") + ": " +
                   error.description();
        } catch (const CheckinClient::TransportError& error) {
            return "transport: " + error.description();
        } catch (const UserError& error) {
            return error.description();
        }
    }
};

TEST_F(CheckinClientTest, OnlyA200DecodesAndEveryOtherAnswerIsAnError) {
    using S = LoopbackServer;
    const std::string garbled = "The data couldn't be read because it isn't in the correct format.";
    const std::tuple<std::string, std::string, std::optional<CheckinResponse>> cases[] = {
        {S::http(200, "{}"), "answered", CheckinResponse{}},
        {S::http(200, R"({"latest_version":"2.0","message":"hi","update":{"version":"2.0","notes":"New",)"
                      R"("sha256":"AB","min_macos":"14.0","url":"https://example.com/Tovrin-2.0.dmg"}})"),
         "answered", CheckinResponse{"2.0", UpdateInfo{"2.0", "New", "AB", "14.0", "https://example.com/Tovrin-2.0.dmg"}}},
        {S::http(201, "{}"), "server 201 -: The server answered with status 201.", {}},
        {S::http(404, R"({"error":"x"})"), "server 404 x: The server answered with status 404.", {}},
        {S::http(500, "boom", "text/plain"), "server 500 -: The server answered with status 500.", {}},
        {S::http(503, R"({"error":5})"), "server 503 -: The server answered with status 503.", {}},
        {S::http(200, ""), garbled, {}},
        {S::http(200, "<html>hello</html>", "text/html"), garbled, {}},
        {S::http(200, "[1,2]"), garbled, {}},
        {S::http(200, R"({"update":{"version":"2","url":"https://e.com/a"}})"), garbled, {}},
        {S::http(200, std::string(300000, ' ') + "{}"), "transport: The server's answer was too large to read.", {}},
        {"HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n{}", "transport: Connection closed", {}},
    };
    for (const auto& [answer, outcome, decoded] : cases) {
        SCOPED_TRACE(answer.substr(0, 120));
        server.answers.push_back(answer);
        EXPECT_EQ(send(trusting), outcome);
        EXPECT_EQ(response, decoded);
    }
    ASSERT_EQ(server.requests.size(), std::size(cases));
    const auto& first = server.requests.front();
    EXPECT_TRUE(first.head.starts_with("POST /functions/v1/checkin HTTP/1.1\r\n")) << first.head;
    EXPECT_NE(first.head.find("\r\nContent-Type: application/json\r\n"), std::string::npos);
    EXPECT_FALSE(std::regex_search(first.head, std::regex("\r\n(Cookie|Authorization|Cache-Control):", std::regex::icase)));
    EXPECT_EQ(first.body, R"({"device_id":"0f0e0d0c-0b0a-4908-8706-050403020100","event":"open",)"
                          R"("analytics":false,"wants_update":true,"app_version":"1.2.0",)"
                          R"("macos_version":"6.1.0","os_language":"en-US"})");
}

TEST_F(CheckinClientTest, UntrustedServersGetNothingAndNoServerIsAnError) {
    LoopbackServer elsewhere("elsewhere");
    auto untrusted = trusting, wrongName = trusting, nobody = trusting;
    untrusted.extraCertificates.clear();
    wrongName.url = elsewhere.url();
    nobody.url = LoopbackServer().url(); // gone again at once
    const std::pair<CheckinClient::Transport, std::string> cases[] = {
        {untrusted, "SSL handshake failed: The issuer certificate of a locally looked up certificate could not be found"},
        {wrongName, "SSL handshake failed: The host name did not match any of the valid hosts for this certificate"},
        {nobody, "Connection refused"},
    };
    for (const auto& [transport, error] : cases)
        EXPECT_EQ(send(transport), "transport: " + error);
    EXPECT_TRUE(server.received.isEmpty());
    EXPECT_TRUE(elsewhere.received.isEmpty());
}

TEST_F(CheckinClientTest, TimesOutAfterTwentySecondsOfClockTimeOrWhenCancelled) {
    server.fallback = ""; // never answers
    std::vector<std::string> ends;
    auto cancel = CancelToken::create();
    auto sendAndRecord = [&](CancelToken token) -> QCoro::Task<void> {
        try {
            co_await CheckinClient::send(request, clock, trusting, token);
        } catch (const Cancelled&) {
            ends.push_back("cancelled at " + std::to_string(clock.now().count()));
        } catch (const UserError& error) {
            ends.push_back(error.description() + " at " + std::to_string(clock.now().count()));
        }
    };
    auto timed = sendAndRecord({});
    auto cancelled = sendAndRecord(cancel);
    ASSERT_TRUE(testing::waitUntil([&] { return server.requests.size() == 2; }));
    clock.advanceBy(Clock::Duration(19.9));
    cancel.cancel();
    ASSERT_TRUE(testing::waitUntil([&] { return ends.size() == 1; }));
    clock.advanceBy(Clock::Duration(0.1));
    ASSERT_TRUE(testing::waitUntil([&] { return ends.size() == 2; }));
    EXPECT_EQ(ends, (std::vector<std::string>{"cancelled at 19.900000", "The request timed out. at 20.000000"}));
}

TEST(BackendConfig, EndpointAndVersions) {
    EXPECT_EQ(BackendConfig::checkinURL().toString(), "https://" PELLORA_CHECKIN_HOST "/functions/v1/checkin");
    EXPECT_EQ(BackendConfig::appVersion(Bundle{"/Applications/Tovrin.app", "app.tovrin", std::nullopt}), "0.0.0");
    EXPECT_EQ(BackendConfig::appVersion(Bundle{"/Applications/Tovrin.app", "app.tovrin", "1.4.2"}), "1.4.2");
    EXPECT_EQ(BackendConfig::appVersion(), "0.0.0"); // the test program is not in an application folder
    const std::pair<const char*, const char*> triples[] = {{"6.1.0-18-amd64", "6.1.0"}, {"14.5", "14.5.0"}, {"", "0.0.0"}};
    for (const auto& [version, triple] : triples)
        EXPECT_EQ(BackendConfig::versionTriple(version), triple) << version;
    EXPECT_TRUE(std::regex_match(BackendConfig::systemVersion(), std::regex(R"(\d+\.\d+\.\d+)")));
}

} // namespace
} // namespace pellora
