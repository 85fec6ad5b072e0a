#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Pellora/Platform/HotKeys.h"
#include "Pellora/Shell/MenuBarIcon.h"
#include "Pellora/Shell/MenuPanelModel.h"
#include "Pellora/Shell/StatusBar.h"
#include "Pellora/Updates/InstallPipeline.h"

namespace pellora::testing {

// A status bar without widgets: records what the delegate asked of it into `journal`.
class RecordingStatusBar : public StatusBar {
public:
    std::vector<std::string>* journal = nullptr;
    bool created = false;
    bool hasIcon = false;
    bool iconIsTemplate = false;
    std::string toolTip;
    std::function<void()> click;
    MenuPanelModel* panel = nullptr;
    bool shown = false;
    int closes = 0;

    void createStatusItem() override {
        created = true;
        note("statusItem");
    }
    void setButton(const MenuBarIcon& image, const std::string& tip, std::function<void()> action) override {
        hasIcon = true;
        iconIsTemplate = image.isTemplate();
        toolTip = tip;
        click = std::move(action);
        note("button");
    }
    void setPopoverContent(MenuPanelModel& model) override {
        panel = &model;
        note("panel");
    }
    bool hasButton() const override { return created && hasIcon; }
    bool isPopoverShown() const override { return shown; }
    void showPopover() override { shown = true; }
    void closePopover() override {
        shown = false;
        ++closes;
    }

private:
    void note(const std::string& what) {
        if (journal)
            journal->push_back(what);
    }
};

// Global shortcuts whose refusals the test chooses; `press` plays the platform's callback.
class ScriptedHotKeys : public HotKeys {
public:
    std::vector<std::string>* journal = nullptr;
    std::set<int> refusedKeys;
    std::vector<int> registeredKeys; // key codes, in order, refused ones included
    std::vector<std::uint32_t> ids;

    void installHandler(std::function<void(std::uint32_t)> handler) override { handler_ = std::move(handler); }
    bool registerHotKey(int keyCode, int modifiers, std::uint32_t id) override {
        registeredKeys.push_back(keyCode);
        ids.push_back(id);
        if (journal)
            journal->push_back("hotKey " + std::to_string(keyCode));
        return modifiers == 0x900 && !refusedKeys.count(keyCode);
    }
    // Presses the shortcut registered for this key code (as the platform would).
    void press(int keyCode) const {
        for (std::size_t index = 0; index < registeredKeys.size(); ++index)
            if (registeredKeys[index] == keyCode && handler_)
                handler_(ids[index]);
    }

private:
    std::function<void(std::uint32_t)> handler_;
};

// An installer that is never reached in these tests.
class NoInstaller : public InstallPipeline {
public:
    QCoro::Task<void> install(const UpdateInfo&, std::function<void(const std::string&)>) override { co_return; }
};

} // namespace pellora::testing
