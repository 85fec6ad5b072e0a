#pragma once

#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

#include "App/Desk.h"
#include "App/Driving.h"
#include "Pellora/Settings/SettingsContext.h"
#include "Pellora/Shell/ActivityStore.h"
#include "Pellora/Shell/ConfigStore.h"
#include "Pellora/Updates/UpdateManager.h"
#include "App/ScriptedShellUI.h"
#include "App/StandInShell.h"

namespace pellora::testing {

// Everything a settings tab is handed, on the simulated desktop, with the stores' files in
// the test's own home.
struct SettingsFixture : ::testing::Test, Desk {
    ScriptedShellUI ui;
    NoInstaller installer;
    ConfigStore store;
    ActivityStore activity;
    UpdateManager updates{store, UpdateManager::Services{clock, ui, installer, std::nullopt}};
    SettingsContext context{store, activity, updates, services(), ui};

    void configure(const std::function<void(Config&)>& change) { testing::configure(store, change); }
    static std::string configText() { return readFile(UserFolders::pelloraSupport() / "config.json"); }
    static Config configOnDisk() { return Config::load(UserFolders::pelloraSupport() / "config.json"); }

    // The texts of the visible labels under `root`, in creation order.
    static QStringList labelTexts(const QWidget* root) {
        QStringList texts;
        for (const auto* label : root->findChildren<QLabel*>())
            if (!label->text().isEmpty() && label->isVisibleTo(root))
                texts << label->text();
        return texts;
    }
};

} // namespace pellora::testing
