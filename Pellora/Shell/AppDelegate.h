#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QObject>
#include <QCoro/QCoroTask>

#include "Pellora/Platform/Bundle.h"
#include "Pellora/Platform/Clock.h"
#include "Pellora/Shell/AppServices.h"
#include "Pellora/Shell/MenuState.h"
#include "Pellora/Updates/UpdateManager.h"
#include "PelloraCore/Action.h"
#include "PelloraCore/ChatTarget.h"
#include "PelloraCore/Config.h"
#include "PelloraCore/Email.h"
#include "PelloraCore/Route.h"

namespace pellora {

class ActivityStore;
class ConfigStore;
class HotKeyCenter;
class HotKeys;
class InstallPipeline;
class MenuPanelModel;
class SettingsWindowController;
class ShellUI;
class StatusBar;

// The spine of the application: starts it, owns the long-lived state, and runs the send of
// one email for one action from end to end.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // What the delegate drives besides the outside services, chosen by the composition root.
    struct Parts {
        StatusBar& statusBar;
        // The platform's global shortcuts.
        HotKeys& hotKeys;
        // The update manager's installer.
        InstallPipeline& installer;
        // The running application; absent outside an application folder.
        std::optional<Bundle> bundle;
        // Replaces the network for the update manager's check-ins when set (tests).
        UpdateManager::Sender checkin = {};
    };

    // Start-up, in order; the last three run one turn of the event loop after the others.
    enum class LaunchStep {
        createStore,
        createActivity,
        createUpdates,
        createStatusItem,
        setStatusItemButton,
        setUpPanel,
        registerHotKeys,
        sweepAttachmentFolders,
        scheduleFinish,
        askPrivacyChoice, // only when there is something to ask
        requestAccessibilityTrust,
        startUpdates,
    };

    // Where an email goes, as worked out for one send.
    struct Resolved {
        ChatTarget target;
        Route destination; // recorded in the activity log
        std::string rule;  // empty when no stored route applied
        bool operator==(const Resolved&) const = default;
    };

    // How long a delivered email's attachments are kept for Claude's upload.
    static constexpr Clock::Duration attachmentLifetime{120.0};
    // Pause between the counting delivery and the donation prompt.
    static constexpr Clock::Duration donationDelay{1.5};
    // Between choosing an action in the panel and its send, so the panel is gone first.
    static constexpr Clock::Duration panelSendDelay{0.15};

    AppDelegate(AppServices services, ShellUI& ui, Parts parts, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Creates the stores, the update manager, the status item with its panel and the
    // shortcuts, sweeps leftover attachment folders, and schedules finishLaunching.
    void applicationDidFinishLaunching();
    // The first-run consent, the accessibility trust request and the update manager's start.
    void finishLaunching();
    // Shows the settings window, creating it on first use.
    void showSettings();
    // The status item's action: closes the panel when it is shown, shows it otherwise.
    void togglePanel();
    void setUpPanel();
    void registerHotKeys();

    ConfigStore* store() const { return store_.get(); }
    ActivityStore* activity() const { return activity_.get(); }
    UpdateManager* updates() const { return updates_.get(); }
    MenuPanelModel* panel() const { return panel_.get(); }
    SettingsWindowController* settingsWindow() const { return settingsWindow_.get(); }
    MenuState& menuState() { return menuState_; }
    bool busy() const { return busy_; }

    // Starts sending the selected email with `action`; returns at once, the send itself runs
    // from the next turn of the event loop.
    void send(Action action);
    // Absent when the user cancelled in the route chooser.
    std::optional<Resolved> resolveTarget(const Email& email);
    // Removes the email's attachment folder, off the main thread, once `after` has passed.
    void removeAttachmentFolder(const Email& email, Clock::Duration after);

    // Used whenever no route applies and nothing was chosen.
    static Resolved newChatAnswer();

signals:
    void launchStepDone(AppDelegate::LaunchStep step);

private:
    // Runs one send and ends it: any failure becomes the alert, and `busy` is cleared.
    QCoro::Task<void> runSend(Action action, Config snapshot);
    QCoro::Task<void> sendEmail(Action action, Config snapshot);
    QCoro::Task<void> showDonationLater();
    void setBusy(bool busy);
    void fail(const std::string& description);

    AppServices services_;
    ShellUI& ui_;
    Parts parts_;
    std::unique_ptr<ConfigStore> store_;
    std::unique_ptr<ActivityStore> activity_;
    std::unique_ptr<UpdateManager> updates_;
    MenuState menuState_;
    std::unique_ptr<MenuPanelModel> panel_;
    std::unique_ptr<HotKeyCenter> hotKeyCenter_;
    std::unique_ptr<SettingsWindowController> settingsWindow_;
    bool busy_ = false;
};

} // namespace pellora
