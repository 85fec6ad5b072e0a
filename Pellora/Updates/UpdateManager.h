#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QCoro/QCoroTask>

#include "Pellora/Platform/Bundle.h"
#include "Pellora/Platform/CancelToken.h"
#include "Pellora/Updates/CheckinClient.h"
#include "PelloraCore/CheckinRequest.h"
#include "PelloraCore/CheckinResponse.h"
#include "PelloraCore/UpdateInfo.h"

namespace pellora {

class ConfigStore;
class InstallPipeline;
class ShellUI;

// The application's side of the check-in protocol: the start check-in, the weekly update
// check, manual checks, consent changes and erasing; runs an accepted update's install.
class UpdateManager : public QObject {
    Q_OBJECT
public:
    // Sends one check-in; the default is CheckinClient::send to `checkin`.
    using Sender = std::function<QCoro::Task<CheckinResponse>(CheckinRequest, CancelToken)>;

    struct Services {
        Clock& clock;
        // Alerts and the install confirmation.
        ShellUI& ui;
        InstallPipeline& installer;
        // The running application; absent when it does not run from a bundle.
        std::optional<Bundle> bundle;
        // Where check-ins go.
        CheckinClient::Transport checkin = {};
        // What check-ins report as the system version and judge minimum systems by.
        std::string systemVersion = BackendConfig::systemVersion();
        // Replaces the network altogether when set.
        Sender send = {};
    };

    // How often the loop looks whether the weekly check is due.
    static constexpr Clock::Duration recheckInterval{21600.0};
    // The age after which an update check is due.
    static constexpr Clock::Duration interval{604800.0};
    // Notes beyond this many characters are left out of the confirmation.
    static constexpr std::size_t notesLimit = 800;

    UpdateManager(ConfigStore& store, Services services, QObject* parent = nullptr);
    ~UpdateManager() override;

    // The start check-in and the periodic loop; returns at once.
    void start();
    // A manual update check; returns at once.
    void checkNow();
    // A consent-change check-in; returns at once.
    void syncConsent();
    // Asks the server to erase this installation's data.
    QCoro::Task<void> erase();

    bool busy() const { return busy_; }
    const std::string& status() const { return status_; }
    // The running version, as check-ins report it.
    std::string appVersion() const;

signals:
    void busyChanged(bool busy);
    void statusChanged();

private:
    QCoro::Task<void> run(CheckinRequest::Event event, bool manual, std::optional<bool> wantsUpdate);
    QCoro::Task<void> recheckLoop();
    QCoro::Task<CheckinResponse> send(CheckinRequest request);
    QCoro::Task<void> handle(CheckinResponse response, bool manual);
    CheckinRequest makeRequest(CheckinRequest::Event event, bool wantsUpdate) const;
    bool updateCheckDue() const;
    bool confirmInstall(const UpdateInfo& update);
    bool runsFromBundle() const;
    void setBusy(bool busy);
    void setStatus(const std::string& status);
    void alert(const std::string& title, const std::string& text);

    ConfigStore& store_;
    Services services_;
    bool busy_ = false;
    std::string status_;
    // Fired when the manager goes: every wait and request it started ends at once.
    CancelToken lifetime_ = CancelToken::create();
    bool started_ = false;
};

} // namespace pellora
