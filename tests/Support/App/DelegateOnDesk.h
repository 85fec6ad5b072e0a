#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QThreadPool>
#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/ScriptedShellUI.h"
#include "App/StandInShell.h"
#include "App/VirtualTime.h"
#include "Pellora/Platform/Sim/SimClaude.h"
#include "Pellora/Shell/AppDelegate.h"
#include "Pellora/Shell/ConfigStore.h"

namespace pellora::testing {

// The application delegate on a simulated desktop where Mail runs (for me@home.example) and
// Claude is installed, in virtual time, its modal windows answered by `ui`.
struct DelegateOnDesk : ::testing::Test, Desk {
    std::shared_ptr<SimClaude> claude = std::make_shared<SimClaude>();
    ScriptedShellUI ui;
    RecordingStatusBar statusBar;
    ScriptedHotKeys hotKeys;
    NoInstaller installer;
    std::unique_ptr<AppDelegate> delegate;

    void SetUp() override {
        runMail({"me@home.example"});
        desktop.install(claude);
    }
    void TearDown() override {
        delegate.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    // Creates the delegate and runs the first half of its launch.
    void launch(std::optional<Bundle> bundle = std::nullopt, UpdateManager::Sender checkin = {},
                ShellUI* shell = nullptr) {
        delegate = std::make_unique<AppDelegate>(
            services(), shell ? *shell : ui,
            AppDelegate::Parts{statusBar, hotKeys, installer, std::move(bundle), std::move(checkin)});
        created(*delegate);
        delegate->applicationDidFinishLaunching();
    }
    // Called between the delegate's creation and its launch.
    virtual void created(AppDelegate&) {}
    // Lets posted events and virtual time run until nothing is left within ten minutes.
    void settle() { pellora::testing::settle(clock); }

    void configure(const std::function<void(Config&)>& change) { testing::configure(*delegate->store(), change); }
    static void writeConfig(const std::string& json) {
        writeFile(UserFolders::pelloraSupport() / "config.json", json);
    }
    static Config configOnDisk() { return Config::load(UserFolders::pelloraSupport() / "config.json"); }
};

} // namespace pellora::testing
