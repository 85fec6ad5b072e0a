#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QThreadPool>
#include <gtest/gtest.h>

#include "App/ScriptedShellUI.h"
#include "App/StandInShell.h"
#include "App/VirtualTime.h"
#include "Pellora/Platform/Sim/MemoryPasteboard.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Platform/Sim/SimDesktop.h"
#include "Pellora/Platform/Sim/SimMail.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/ConfigStore.h"
#include "TestHome.h"

namespace pellora::testing {

// The application delegate on a simulated desktop where Mail runs (for me@home.example) and
// Claude is installed, in virtual time, its modal windows answered by `ui`.
struct DelegateOnDesk : ::testing::Test {
    VirtualClock clock;
    MemoryPasteboard pasteboard;
    SimDesktop desktop{clock, pasteboard};
    std::shared_ptr<SimMail> mail = std::make_shared<SimMail>();
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
    ScriptedShellUI ui;
    RecordingStatusBar statusBar;
    ScriptedHotKeys hotKeys;
    NoInstaller installer;
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override {
        desktop.install(mail);
        desktop.launch(SimMail::identifier);
        desktop.install(claude);
        mail->setAccountAddresses({"me@home.example"});
    }
    void TearDown() override {
        delegate.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    // Creates the delegate and runs the first half of its launch.
    void launch(std::optional<Bundle> bundle = std::nullopt, UpdateManager::Sender checkin = {},
                ShellUI* shell = nullptr) {
        delegate = std::make_unique<AppDelegate>(
            AppServices{desktop, desktop, desktop, desktop, pasteboard, clock}, shell ? *shell : ui,
            AppDelegate::Parts{statusBar, hotKeys, installer, std::move(bundle), std::move(checkin)});
        created(*delegate);
        delegate->applicationDidFinishLaunching();
    }
    // Called between the delegate's creation and its launch.
    virtual void created(AppDelegate&) {}
    // Lets posted events and virtual time run until nothing is left within ten minutes.
    void settle() { pellora::testing::settle(clock); }

    // Selects this .eml text in Mail.
    void select(const std::string& message) {
        const auto path = testHome() / "selected.eml";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << message;
        mail->setSelection({path});
    }
    void configure(const std::function<void(Config&)>& change) {
        Config config = delegate->store()->config();
        change(config);
        delegate->store()->setConfig(config);
    }
    static void writeConfig(const std::string& json) {
        std::filesystem::create_directories(UserFolders::pelloraSupport());
        std::ofstream(UserFolders::pelloraSupport() / "config.json") << json;
    }
    static Config configOnDisk() { return Config::load(UserFolders::pelloraSupport() / "config.json"); }
};

} // namespace pellora::testing
