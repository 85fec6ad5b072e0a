#include <optional>
#include <regex>
#include <string>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "App/LoopbackServer.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Updates/BackendConfig.h"
#include "Pellora/Updates/CheckinClient.h"
#include "PelloraCore/Checkin.h"

namespace pellora {
namespace {

using testing::LoopbackServer;
using Answer = LoopbackServer::Answer;

CheckinRequest openRequest() {
    CheckinRequest request;
    request.deviceId = "0f0e0d0c-0b0a-4908-8706-050403020100";
    request.event = CheckinRequest::Event::open;
    request.analytics = false;
    request.wantsUpdate = true;
    request.appVersion = "1.2.0";
    request.macosVersion = "6.1.0";
    request.osLanguage = "en-US";
    return request;
}

// What one send came back with.
struct Outcome {
    std::optional<CheckinResponse> response;
    std::string error; // the description, when it threw
    std::optional<int> status;
    std::optional<std::string> code;
    bool transport = false;
};

struct CheckinClientTest : ::testing::Test {
    VirtualClock clock;
    LoopbackServer server;

    CheckinClient::Transport trusting() const {
        CheckinClient::Transport transport;
        transport.url = server.url();
        transport.extraCertificates = LoopbackServer::authority();
        return transport;
    }

    Outcome send(const CheckinClient::Transport& transport, CheckinRequest request = openRequest()) {
        Outcome outcome;
        try {
            outcome.response = testing::runOnNetwork(CheckinClient::send(request, clock, transport));
        } catch (const CheckinClient::ServerError& error) {
            outcome.error = error.description();
            outcome.status = error.status();
            outcome.code = error.code();
        } catch (const CheckinClient::TransportError& error) {
            outcome.error = error.description();
            outcome.transport = true;
        } catch (const UserError& error) {
            outcome.error = error.description();
        }
        return outcome;
    }
};

TEST_F(CheckinClientTest, PostsTheCompactBodyWithOnlyTheContentType) {
    server.answers.push_back(Answer::http(200, "{}"));
    const auto outcome = send(trusting());
    ASSERT_TRUE(outcome.response) << outcome.error;
    ASSERT_EQ(server.requests().size(), 1u);
    const auto& request = server.requests().front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/functions/v1/checkin");
    EXPECT_EQ(request.header("content-type"), std::vector<std::string>{"application/json"});
    for (const char* absent : {"cookie", "authorization", "proxy-authorization", "cache-control", "if-none-match"})
        EXPECT_TRUE(request.header(absent).empty()) << absent;
    EXPECT_EQ(request.body, R"({"device_id":"0f0e0d0c-0b0a-4908-8706-050403020100","event":"open",)"
                            R"("analytics":false,"wants_update":true,"app_version":"1.2.0",)"
                            R"("macos_version":"6.1.0","os_language":"en-US"})");
}

TEST_F(CheckinClientTest, OnlyStatus200DecodesAndEveryOtherStatusIsAServerError) {
    const std::string fullUpdate =
        R"({"latest_version":"2.0","message":"hi","update":{"version":"2.0","notes":"New","sha256":"AB",)"
        R"("min_macos":"14.0","url":"https://example.com/Tovrin-2.0.dmg"}})";
    UpdateInfo offered{"2.0", "New", "AB", "14.0", "https://example.com/Tovrin-2.0.dmg"};
    const std::string decodingFailure = "The data couldn't be read because it isn't in the correct format.";
    struct Case {
        const char* what;
        Answer answer;
        std::optional<CheckinResponse> response;
        std::string error;
        std::optional<int> status;
        std::optional<std::string> code;
    };
    const Case cases[] = {
        {"empty object", Answer::http(200, "{}"), CheckinResponse{}, "", {}, {}},
        {"an offer, with a key nobody knows", Answer::http(200, fullUpdate), CheckinResponse{"2.0", offered}, "", {}, {}},
        {"null fields", Answer::http(200, R"({"latest_version":null,"update":null})"), CheckinResponse{}, "", {}, {}},
        {"201 is no success", Answer::http(201, "{}"), {}, "The server answered with status 201.", 201, {}},
        {"404 with an error text", Answer::http(404, R"({"error":"x"})"), {}, "The server answered with status 404.", 404, "x"},
        {"500 in plain text", Answer::http(500, "boom", "text/plain"), {}, "The server answered with status 500.", 500, {}},
        {"error that is not text", Answer::http(503, R"({"error":5})"), {}, "The server answered with status 503.", 503, {}},
        {"error inside an array", Answer::http(400, R"([{"error":"x"}])"), {}, "The server answered with status 400.", 400, {}},
        {"204 without a body", Answer::http(204, ""), {}, "The server answered with status 204.", 204, {}},
        {"empty 200", Answer::http(200, ""), {}, decodingFailure, {}, {}},
        {"200 that is not JSON", Answer::http(200, "<html>hello</html>", "text/html"), {}, decodingFailure, {}, {}},
        {"200 of the wrong shape", Answer::http(200, "[1,2]"), {}, decodingFailure, {}, {}},
        {"offer without sha256", Answer::http(200, R"({"update":{"version":"2","url":"https://e.com/a"}})"), {}, decodingFailure, {}, {}},
        {"offer with a relative url", Answer::http(200, R"({"update":{"version":"2","sha256":"a","url":"a.dmg"}})"), {}, decodingFailure, {}, {}},
        {"version as a number", Answer::http(200, R"({"latest_version":2})"), {}, decodingFailure, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.answers.push_back(c.answer);
        const auto outcome = send(trusting());
        EXPECT_EQ(outcome.response, c.response);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.code, c.code);
        EXPECT_FALSE(outcome.transport);
    }
    EXPECT_EQ(server.requests().size(), std::size(cases));
}

TEST_F(CheckinClientTest, AnswersThatNeverCompleteAreTransportErrors) {
    struct Case {
        const char* what;
        Answer answer;
        std::size_t limit;
        std::optional<std::string> error; // absent: any readable description
    };
    const Case cases[] = {
        {"larger than the cap, announced", Answer::http(200, std::string(300000, ' ') + "{}"), 100000,
         "The server's answer was too large to read."},
        {"closed in the middle of the body", Answer::cutShort(R"({"latest_version":"2.)", 400), 100000, {}},
        {"closed after a whole JSON but short of its length", Answer::cutShort("{}", 400), 100000, {}},
        {"headers that are not HTTP", Answer{"hello there\r\n\r\n"}, 100000, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.answers.push_back(c.answer);
        auto transport = trusting();
        transport.maxAnswerBytes = c.limit;
        // Qt's HTTP layer sends again, up to three times, on a connection that closes with no
        // answer it can read; every attempt gets the same.
        server.fallback = c.answer;
        const auto outcome = send(transport);
        EXPECT_FALSE(outcome.response);
        EXPECT_TRUE(outcome.transport) << outcome.error;
        EXPECT_FALSE(outcome.error.empty());
        if (c.error) {
            EXPECT_EQ(outcome.error, *c.error);
        }
    }
}

TEST_F(CheckinClientTest, AHugeAnswerWithoutLengthIsCutOffAtTheCap) {
    // Chunked: no length up front, so the cap has to catch it while reading.
    std::string chunked = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 64; ++i)
        chunked += "4000\r\n" + std::string(0x4000, ' ') + "\r\n";
    chunked += "2\r\n{}\r\n0\r\n\r\n";
    server.answers.push_back({chunked});
    auto transport = trusting();
    transport.maxAnswerBytes = 100000;
    const auto outcome = send(transport);
    EXPECT_FALSE(outcome.response);
    EXPECT_EQ(outcome.error, "The server's answer was too large to read.");
}

TEST_F(CheckinClientTest, ServersThatAreNotTrustedGetNothing) {
    LoopbackServer elsewhere("elsewhere");
    CheckinClient::Transport wrongName = trusting();
    wrongName.url = elsewhere.url();
    CheckinClient::Transport untrusted = trusting();
    untrusted.extraCertificates.clear();
    struct Case {
        const char* what;
        CheckinClient::Transport transport;
        const LoopbackServer* server;
    };
    const Case cases[] = {
        {"certificate from an authority the client does not know", untrusted, &server},
        {"certificate for another name", wrongName, &elsewhere},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto outcome = send(c.transport);
        EXPECT_FALSE(outcome.response);
        EXPECT_TRUE(outcome.transport);
        EXPECT_NE(outcome.error.find("SSL"), std::string::npos) << outcome.error;
        EXPECT_TRUE(c.server->requests().empty());
        EXPECT_TRUE(c.server->received().isEmpty());
    }
}

TEST_F(CheckinClientTest, NoServerListeningIsATransportError) {
    auto transport = trusting();
    {
        LoopbackServer gone;
        transport.url = gone.url();
    }
    const auto outcome = send(transport);
    EXPECT_TRUE(outcome.transport);
    EXPECT_EQ(outcome.error, "Connection refused");
}

TEST_F(CheckinClientTest, TimesOutAfterTwentySecondsOfVirtualTime) {
    server.answers.push_back(Answer::never());
    std::optional<std::string> error;
    auto sending = [&]() -> QCoro::Task<void> {
        try {
            co_await CheckinClient::send(openRequest(), clock, trusting());
        } catch (const UserError& failure) {
            error = failure.description();
        }
    }();
    ASSERT_TRUE(testing::waitUntil([&] { return server.requests().size() == 1; }));
    clock.advanceBy(Clock::Duration(19.9));
    QCoreApplication::processEvents();
    EXPECT_FALSE(error);
    clock.advanceBy(Clock::Duration(0.1));
    ASSERT_TRUE(testing::waitUntil([&] { return error.has_value(); }));
    EXPECT_EQ(*error, "The request timed out.");
    EXPECT_EQ(clock.now().count(), 20.0);
}

TEST_F(CheckinClientTest, CancellingEndsTheSendAtOnce) {
    server.answers.push_back(Answer::never());
    auto cancel = CancelToken::create();
    bool cancelled = false;
    auto sending = [&]() -> QCoro::Task<void> {
        try {
            co_await CheckinClient::send(openRequest(), clock, trusting(), cancel);
        } catch (const Cancelled&) {
            cancelled = true;
        }
    }();
    ASSERT_TRUE(testing::waitUntil([&] { return server.requests().size() == 1; }));
    cancel.cancel();
    ASSERT_TRUE(testing::waitUntil([&] { return cancelled; }));
    EXPECT_FALSE(clock.hasPending()); // the time-out is withdrawn
}

TEST(BackendConfig, EndpointVersionsAndPolicyLink) {
    const QUrl& url = BackendConfig::checkinURL();
    EXPECT_EQ(url.scheme(), "https");
    EXPECT_EQ(url.path(), "/functions/v1/checkin");
    EXPECT_FALSE(url.host().isEmpty());
    EXPECT_FALSE(BackendConfig::privacyPolicyURL());

    EXPECT_EQ(BackendConfig::appVersion(std::nullopt), "0.0.0");
    EXPECT_EQ(BackendConfig::appVersion(Bundle{"/Applications/Tovrin.app", "app.tovrin", std::nullopt}), "0.0.0");
    EXPECT_EQ(BackendConfig::appVersion(Bundle{"/Applications/Tovrin.app", "app.tovrin", "1.4.2"}), "1.4.2");
    // The test program is not inside an application folder.
    EXPECT_EQ(BackendConfig::appVersion(), "0.0.0");

    const std::pair<const char*, const char*> triples[] = {
        {"6.1.0-18-amd64", "6.1.0"}, {"14.5", "14.5.0"}, {"14", "14.0.0"}, {"", "0.0.0"},
        {"5.15.153.1-microsoft-standard-WSL2", "5.15.153"}, {"6.8-rc1", "6.8.0"},
    };
    for (const auto& [version, triple] : triples)
        EXPECT_EQ(BackendConfig::versionTriple(version), triple) << version;
    EXPECT_TRUE(std::regex_match(BackendConfig::systemVersion(), std::regex(R"(\d+\.\d+\.\d+)")))
        << BackendConfig::systemVersion();
}

} // namespace
} // namespace pellora
