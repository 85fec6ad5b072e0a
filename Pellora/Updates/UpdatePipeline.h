#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "Pellora/Updates/InstallPipeline.h"
#include "Pellora/Updates/UpdateInstaller.h"
#include "Pellora/Updates/UpdateProgress.h"

namespace pellora {

class ShellUI;
class UpdateProgressWindow;
class Workspace;

// Installs an accepted update with its progress window: download, checksum, staging and
// verification, the detached swap, then quitting. A failure hides the window, reports
// "Update failed: …" and either offers a manual install (when this copy cannot replace
// itself or cannot check the publisher) or shows "The update couldn't be installed".
class UpdatePipeline : public QObject, public InstallPipeline {
    Q_OBJECT
public:
    struct Services {
        // Alerts and the manual-install offer.
        ShellUI& ui;
        // Opens the saved image for a manual install.
        Workspace& workspace;
        UpdateInstaller::Host host;
        // Asks the application to quit; the swap script takes over once it has.
        std::function<void()> quit;
    };

    explicit UpdatePipeline(Services services, QObject* parent = nullptr);
    ~UpdatePipeline() override;

    QCoro::Task<void> install(const UpdateInfo& update, std::function<void(const std::string&)> setStatus) override;

    // The last install's window; null before the first.
    UpdateProgressWindow* window() const { return window_.get(); }

signals:
    // Every change of what the progress window shows.
    void progressChanged(const pellora::UpdateProgress& progress);

private:
    void change(const std::function<void(UpdateProgress&)>& step);
    void offerManualInstall(const std::filesystem::path& image, const UpdateInfo& update, const std::string& reason);

    Services services_;
    std::unique_ptr<UpdateProgressWindow> window_;
    std::unique_ptr<UpdateProgress> progress_;
};

} // namespace pellora
