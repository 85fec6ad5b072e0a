#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QObject>
#include <QCoro/QCoroTask>

#include "Pellora/Platform/Clock.h"
#include "Pellora/Shell/AppServices.h"
#include "Pellora/Shell/MenuState.h"
#include "PelloraCore/Action.h"
#include "PelloraCore/ChatTarget.h"
#include "PelloraCore/Config.h"
#include "PelloraCore/Email.h"
#include "PelloraCore/Route.h"

namespace pellora {

class ActivityStore;
class ConfigStore;
class ShellUI;

// The spine of the application: owns the long-lived state and runs the send of one email
// for one action from end to end.
class AppDelegate : public QObject {
    Q_OBJECT
public:
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

    AppDelegate(AppServices services, ShellUI& ui, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Creates the stores and sweeps leftover attachment folders.
    void applicationDidFinishLaunching();

    ConfigStore* store() const { return store_.get(); }
    ActivityStore* activity() const { return activity_.get(); }
    MenuState& menuState() { return menuState_; }
    bool busy() const { return busy_; }

    // Starts sending the selected email with `action`; returns at once.
    void send(Action action);
    // Absent when the user cancelled in the route chooser.
    std::optional<Resolved> resolveTarget(const Email& email);
    // Removes the email's attachment folder, off the main thread, once `after` has passed.
    void removeAttachmentFolder(const Email& email, Clock::Duration after);

    // Used whenever no route applies and nothing was chosen.
    static Resolved newChatAnswer();

private:
    // Runs one send and ends it: any failure becomes the alert, and `busy` is cleared.
    QCoro::Task<void> runSend(Action action, Config snapshot);
    QCoro::Task<void> sendEmail(Action action, Config snapshot);
    QCoro::Task<void> showDonationLater();
    void setBusy(bool busy);
    void fail(const std::string& description);

    AppServices services_;
    ShellUI& ui_;
    std::unique_ptr<ConfigStore> store_;
    std::unique_ptr<ActivityStore> activity_;
    MenuState menuState_;
    bool busy_ = false;
};

} // namespace pellora
