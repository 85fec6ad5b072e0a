#pragma once

#include <optional>
#include <string>

#include <QObject>
#include <QCoro/QCoroTask>

#include "Pellora/Platform/Bundle.h"

namespace pellora {

class Clock;
class ConfigStore;
class InstallPipeline;
class ShellUI;

// The application's side of the check-in protocol: the start check-in, the weekly update
// check, manual checks, consent changes and erasing; runs an accepted update's install.
class UpdateManager : public QObject {
    Q_OBJECT
public:
    struct Services {
        Clock& clock;
        // Alerts and the install confirmation.
        ShellUI& ui;
        InstallPipeline& installer;
        // The running application; absent when it does not run from a bundle.
        std::optional<Bundle> bundle;
    };

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

signals:
    void busyChanged(bool busy);
    void statusChanged();

private:
    ConfigStore& store_;
    Services services_;
    bool busy_ = false;
    std::string status_;
};

} // namespace pellora
