#pragma once

#include "Pellora/Shell/AppServices.h"

namespace pellora {

class ActivityStore;
class ConfigStore;
class ShellUI;
class UpdateManager;

// What the settings window and its tabs work with, handed down from the delegate.
struct SettingsContext {
    ConfigStore& store;
    ActivityStore& activity;
    UpdateManager& updates;
    // The platform: the workspace for links, accessibility trust, Claude for chats.
    AppServices services;
    // Alerts and confirmations.
    ShellUI& ui;
};

} // namespace pellora
