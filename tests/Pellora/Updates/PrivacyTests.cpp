#include <set>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "App/DelegateOnDesk.h"
#include "App/Eml.h"
#include "App/FakeCheckin.h"
#include "App/LoopbackServer.h"

namespace pellora {
namespace {

using Privacy = testing::DelegateOnDesk;

TEST_F(Privacy, NoByteOfAnEmailOrItsPromptReachesTheCheckInServer) {
    select({testing::eml("From: Olwen Pryce <olwen.pryce@hollowmere.example>\r\nTo: me@home.example\r\n"
                         "Subject: Zanzibar Xylophone-7781\r\nMessage-ID: <xylophone.7781@hollowmere.example>\r\n",
                         "Marmalade ledger: the vault code is Quokka-2290.\r\n",
                         {{"Aubergine-9931.txt", "text/plain", "Persimmon contents 4471\n"}})});
    launch();
    QCoreApplication::processEvents(); // the deferred half of the launch
    configure([](Config& config) {
        config.askForUnknownRoutes = false;
        config.setName("Zorblax digest", Action::custom1);
        config.setInstruction("Quibblewort: list every figure", Action::custom1);
    });
    delegate->send(Action::custom1);
    settle();
    ASSERT_EQ(claude->sentMessages().size(), 1u);
    ASSERT_NE(claude->sentMessages()[0].text.find("Quibblewort: list every figure"), std::string::npos);

    // Every kind of check-in, over real HTTPS.
    testing::LoopbackServer server;
    testing::FakeInstaller fakeInstaller;
    UpdateManager::Services services{clock, ui, fakeInstaller, Bundle{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.0.0"}};
    services.checkin.url = server.url();
    services.checkin.extraCertificates = testing::LoopbackServer::authority();
    UpdateManager manager(*delegate->store(), services);
    const auto sends = [&](std::size_t count) {
        return testing::waitUntil([&] { return server.requests.size() == count && !manager.busy(); });
    };
    manager.start();
    ASSERT_TRUE(sends(1));
    manager.checkNow();
    ASSERT_TRUE(sends(2));
    configure([](Config& config) { config.analyticsChoice = AnalyticsChoice::shared; });
    manager.syncConsent();
    ASSERT_TRUE(sends(3));
    testing::runOnNetwork(manager.erase());
    ASSERT_EQ(manager.status(), "Your data was erased from the server.");

    ASSERT_NE(server.received.indexOf("\"device_id\""), -1); // the recording works
    for (const char* secret : {"Zanzibar", "Xylophone", "7781", "Marmalade", "Quokka", "Aubergine", "9931",
                               "Persimmon", "4471", "UGVyc2ltbW9u" /* base64 */, "Zorblax", "Quibblewort",
                               "Olwen", "Pryce", "hollowmere"})
        EXPECT_EQ(server.received.indexOf(secret), -1) << secret;

    const std::set<std::string> keys{"device_id", "event", "analytics", "wants_update", "app_version",
                                     "macos_version", "os_language"};
    std::vector<std::string> events;
    for (const auto& request : server.requests) {
        const auto json = nlohmann::json::parse(request.body);
        std::set<std::string> found;
        for (const auto& item : json.items())
            found.insert(item.key());
        found.erase("action");
        EXPECT_EQ(found, keys) << request.body;
        events.push_back(json.at("event").get<std::string>() + " " + json.value("action", "-"));
    }
    EXPECT_EQ(events, (std::vector<std::string>{"open -", "update_check -", "consent_change -", "consent_change erase"}));
}

} // namespace
} // namespace pellora
