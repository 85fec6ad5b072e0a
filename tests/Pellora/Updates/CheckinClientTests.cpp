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

const std::string garbled = "The data couldn't be read because it isn't in the correct format.";
const CheckinRequest request{"0f0e0d0c-0b0a-4908-8706-050403020100", CheckinRequest::Event::open, std::nullopt,
                             false, true, "1.2.0", "6.1.0", "en-US"};

// What one send ended in: the response, or the error's description (with the status and
// code of a ServerError; `transport` for a TransportError).
struct Outcome {
    std::optional<CheckinResponse> response;
    std::string error;
    std::optional<int> status;
    std::optional<std::string> code;
    bool transport = false;
};

struct CheckinClientTest : ::testing::Test {
    VirtualClock clock;
    LoopbackServer server;
    CheckinClient::Transport trusting{server.url(), Clock::Duration(20), LoopbackServer::authority(), 100000};

    Outcome send(const CheckinClient::Transport& transport) {
        Outcome outcome;
        try {
            outcome.response = testing::runOnNetwork(CheckinClient::send(request, clock, transport));
        } catch (const CheckinClient::ServerError& error) {
            outcome = {std::nullopt, error.description(), error.status(), error.code()};
        } catch (const UserError& error) {
            outcome.error = error.description();
            outcome.transport = dynamic_cast<const CheckinClient::TransportError*>(&error) != nullptr;
        }
        return outcome;
    }
};

TEST_F(CheckinClientTest, OnlyA200DecodesAndEveryOtherAnswerIsAnError) {
    using S = LoopbackServer;
    const UpdateInfo offer{"2.0", "New", "AB", "14.0", "https://example.com/Tovrin-2.0.dmg"};
    const struct {
        std::string answer;
        std::optional<CheckinResponse> response;
        std::string error;
        std::optional<int> status = std::nullopt;
        std::optional<std::string> code = std::nullopt;
        bool transport = false;
    } cases[] = {
        {S::http(200, "{}"), CheckinResponse{}, ""},
        {S::http(200, R"({"latest_version":"2.0","message":"hi","update":{"version":"2.0","notes":"New",)"
                      R"("sha256":"AB","min_macos":"14.0","url":"https://example.com/Tovrin-2.0.dmg"}})"),
         CheckinResponse{"2.0", offer}, ""},
        {S::http(201, "{}"), {}, "The server answered with status 201.", 201},
        {S::http(404, R"({"error":"x"})"), {}, "The server answered with status 404.", 404, "x"},
        {S::http(500, "boom", "text/plain"), {}, "The server answered with status 500.", 500},
        {S::http(503, R"({"error":5})"), {}, "The server answered with status 503.", 503},
        {S::http(200, ""), {}, garbled},
        {S::http(200, "<html>hello</html>", "text/html"), {}, garbled},
        {S::http(200, "[1,2]"), {}, garbled},
        {S::http(200, R"({"update":{"version":"2","url":"https://e.com/a"}})"), {}, garbled},
        {S::http(200, std::string(300000, ' ') + "{}"), {}, "The server's answer was too large to read.", {}, {}, true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n{}", {}, "Connection closed", {}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.substr(0, 120));
        server.answers.push_back(c.answer);
        const auto outcome = send(trusting);
        EXPECT_EQ(outcome.response, c.response);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.code, c.code);
        EXPECT_EQ(outcome.transport, c.transport);
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
    for (const auto& [transport, error] : cases) {
        const auto outcome = send(transport);
        EXPECT_TRUE(outcome.transport);
        EXPECT_EQ(outcome.error, error);
    }
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

TEST(BackendConfig, EndpointVersionsAndNoPolicyLink) {
    EXPECT_EQ(BackendConfig::checkinURL().toString(), "https://" PELLORA_CHECKIN_HOST "/functions/v1/checkin");
    EXPECT_FALSE(BackendConfig::privacyPolicyURL());
    EXPECT_EQ(BackendConfig::appVersion(std::nullopt), "0.0.0");
    EXPECT_EQ(BackendConfig::appVersion(Bundle{"/Applications/Tovrin.app", "app.tovrin", std::nullopt}), "0.0.0");
    EXPECT_EQ(BackendConfig::appVersion(Bundle{"/Applications/Tovrin.app", "app.tovrin", "1.4.2"}), "1.4.2");
    EXPECT_EQ(BackendConfig::appVersion(), "0.0.0"); // the test program is not in an application folder
    const std::pair<const char*, const char*> triples[] = {
        {"6.1.0-18-amd64", "6.1.0"}, {"14.5", "14.5.0"}, {"", "0.0.0"}, {"5.15.153.1-microsoft-standard-WSL2", "5.15.153"}};
    for (const auto& [version, triple] : triples)
        EXPECT_EQ(BackendConfig::versionTriple(version), triple) << version;
    EXPECT_TRUE(std::regex_match(BackendConfig::systemVersion(), std::regex(R"(\d+\.\d+\.\d+)")));
}

} // namespace
} // namespace pellora
