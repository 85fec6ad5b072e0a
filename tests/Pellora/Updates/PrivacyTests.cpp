#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "App/Eml.h"
#include "App/LoopbackServer.h"
#include "App/ScriptedShellUI.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Updates/InstallPipeline.h"
#include "Pellora/Updates/UpdateManager.h"
#include "TestHome.h"

namespace pellora {
namespace {

struct NoInstaller : InstallPipeline {
    QCoro::Task<void> install(const UpdateInfo&, std::function<void(const std::string&)>) override { co_return; }
};

// Every piece of the email, its attachment and the prompt, each unmistakable on the wire.
const std::string subject = "Zanzibar quarterly Xylophone-7781";
const std::string body = "Marmalade ledger 5512: the vault code is Quokka-2290.\r\n";
const std::string attachmentName = "Aubergine-9931.txt";
const std::string attachmentBytes = "Persimmon contents 4471, private\n";
const std::string promptName = "Zorblax digest";
const std::string prompt = "Quibblewort: list every figure in this email";
const std::string sender = "olwen.pryce@hollowmere.example";

TEST(Privacy, NoByteOfAnEmailReachesTheCheckInServer) {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    auto mail = std::make_shared<SimMail>();
    auto claude = std::make_shared<SimClaude>();
    testing::ScriptedShellUI ui;
    AppDelegate delegate{AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, ui};
    desktop.install(mail);
    desktop.launch(SimMail::identifier);
    desktop.install(claude);
    const auto selected = testing::testHome() / "selected.eml";
    std::ofstream(selected, std::ios::binary) << testing::eml(
        "From: Olwen Pryce <" + sender + ">\r\nTo: me@home.example\r\nSubject: " + subject +
            "\r\nDate: Sat, 05 Dec 2026 06:19:03 +0000\r\nMessage-ID: <xylophone.7781@hollowmere.example>\r\n",
        body, {{attachmentName, "text/plain", attachmentBytes}});
    mail->setSelection({selected});
    delegate.applicationDidFinishLaunching();

    Config config = delegate.store()->config();
    config.askForUnknownRoutes = false;
    config.setName(promptName, Action::custom1);
    config.setInstruction(prompt, Action::custom1);
    delegate.store()->setConfig(config);

    delegate.send(Action::custom1);
    while (delegate.busy()) {
        QCoreApplication::processEvents();
        if (delegate.busy() && !clock.advance())
            FAIL() << "the send never ended";
    }
    ASSERT_EQ(claude->sentMessages().size(), 1u);
    ASSERT_NE(claude->sentMessages()[0].text.find(prompt), std::string::npos);
    ASSERT_NE(claude->sentMessages()[0].text.find("Quokka-2290"), std::string::npos);

    // Every kind of check-in, over real HTTPS.
    testing::LoopbackServer server;
    NoInstaller installer;
    UpdateManager::Services services{clock, ui, installer, Bundle{"/Applications/Tovrin.app", "app.tovrin.Tovrin", "1.0.0"}};
    services.checkin.url = server.url();
    services.checkin.extraCertificates = testing::LoopbackServer::authority();
    UpdateManager manager(*delegate.store(), services);
    const auto finished = [&](std::size_t requests) {
        return testing::waitUntil([&] { return server.requests().size() == requests && !manager.busy(); });
    };
    manager.start();
    ASSERT_TRUE(finished(1));
    manager.checkNow();
    ASSERT_TRUE(finished(2));
    config = delegate.store()->config();
    config.analyticsChoice = AnalyticsChoice::shared;
    delegate.store()->setConfig(config);
    manager.syncConsent();
    ASSERT_TRUE(finished(3));
    testing::runOnNetwork(manager.erase());
    ASSERT_EQ(manager.status(), "Your data was erased from the server.");
    QThreadPool::globalInstance()->waitForDone();

    const QByteArray received = server.received();
    ASSERT_NE(received.indexOf("\"device_id\""), -1); // the recording works
    const std::string secrets[] = {
        subject, "Xylophone-7781", "Marmalade ledger", "Quokka-2290", attachmentName, "Aubergine",
        attachmentBytes, "Persimmon", QByteArray::fromStdString(attachmentBytes).toBase64().toStdString(),
        prompt, "Quibblewort", promptName, "Zorblax", sender, "hollowmere", "Olwen", "xylophone.7781",
    };
    for (const auto& secret : secrets)
        EXPECT_EQ(received.indexOf(QByteArray::fromStdString(secret)), -1) << secret;

    const std::set<std::string> allowed{"device_id", "event", "action", "analytics", "wants_update",
                                        "app_version", "macos_version", "os_language"};
    std::vector<std::string> events;
    ASSERT_EQ(server.requests().size(), 4u);
    for (const auto& request : server.requests()) {
        const auto json = nlohmann::json::parse(request.body);
        ASSERT_TRUE(json.is_object());
        std::set<std::string> keys;
        for (const auto& [key, value] : json.items())
            keys.insert(key);
        std::set<std::string> expected = allowed;
        if (!json.contains("action"))
            expected.erase("action");
        EXPECT_EQ(keys, expected) << request.body;
        events.push_back(json["event"].get<std::string>() + (json.contains("action") ? "+" + json["action"].get<std::string>() : ""));
    }
    EXPECT_EQ(events, (std::vector<std::string>{"open", "update_check", "consent_change", "consent_change+erase"}));
}

} // namespace
} // namespace pellora
