#include "UpdatePipeline.h"

#include <exception>
#include <optional>
#include <system_error>
#include <vector>

#include <QUrl>

#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Platform/Workspace.h"
#include "Pellora/Shell/ShellUI.h"
#include "Pellora/Updates/Background.h"
#include "Pellora/Updates/Downloader.h"
#include "Pellora/Updates/InstallerTools.h"
#include "Pellora/Updates/UpdateError.h"
#include "Pellora/Updates/UpdateProgressWindow.h"
#include "PelloraCore/Text.h"

namespace pellora {
namespace {

namespace fs = std::filesystem;

// The file system's what() starts with "filesystem error:"; people need the reason and the
// place. Everything else is described as everywhere else.
std::string describe(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const fs::filesystem_error& error) {
        return error.code().message() + ": " + error.path1().string();
    } catch (...) {
        return UserError::describe(failure);
    }
}

// This copy cannot replace itself, or cannot tell who published the update: the user can
// still install the downloaded image by hand.
bool leavesItToTheUser(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const UpdateError& error) {
        return error.kind() == UpdateError::Kind::cannotInstallHere ||
               error.kind() == UpdateError::Kind::cannotVerifyPublisher;
    } catch (...) {
        return false;
    }
}

void removeQuietly(const fs::path& file) {
    std::error_code ignored;
    fs::remove(file, ignored);
}

// Renames, or copies and removes when the two folders are on different file systems.
void moveFile(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::rename(from, to, error);
    if (!error)
        return;
    if (error != std::errc::cross_device_link)
        throw fs::filesystem_error("cannot move the file", from, to, error);
    fs::copy_file(from, to);
    removeQuietly(from);
}

// The offered version goes into a file name: it must not name another folder.
std::string fileNamePart(std::string text) {
    for (char& c : text)
        if (c == '/' || c == '\0')
            c = '-';
    return text;
}

} // namespace

UpdatePipeline::UpdatePipeline(Services services, QObject* parent) : QObject(parent), services_(std::move(services)) {}

UpdatePipeline::~UpdatePipeline() = default;

void UpdatePipeline::change(const std::function<void(UpdateProgress&)>& step) {
    step(*progress_);
    window_->show(*progress_);
    emit progressChanged(*progress_);
}

QCoro::Task<void> UpdatePipeline::install(const UpdateInfo& offered, std::function<void(const std::string&)> setStatus) {
    const UpdateInfo update = offered;
    const UpdateInstaller::Host host = services_.host;
    progress_ = std::make_unique<UpdateProgress>(update.version);
    window_ = std::make_unique<UpdateProgressWindow>(update.version);
    window_->present();
    services_.ui.activateApplication();
    emit progressChanged(*progress_);

    std::optional<fs::path> image;
    std::exception_ptr failure;
    try {
        // Each task is built as a named value first: GCC 12 destroys temporaries inside a
        // co_await expression twice.
        std::function<void(double)> report = [this](double fraction) {
            change([&](UpdateProgress& p) { p.downloaded(fraction); });
        };
        auto downloading = UpdateInstaller::Downloader::download(update.url, std::move(report), host.tools.imageExtension());
        image = co_await std::move(downloading);

        change([](UpdateProgress& p) { p.verifying(); });
        auto hashing = inBackground([file = *image] { return UpdateInstaller::sha256(file); });
        const std::string checksum = co_await std::move(hashing);
        if (Text::lowercased(checksum) != Text::lowercased(update.sha256))
            throw UpdateError::badChecksum();

        change([](UpdateProgress& p) { p.preparing(); });
        auto staging = UpdateInstaller::stage(host, *image, update.version);
        const fs::path staged = co_await std::move(staging);

        change([](UpdateProgress& p) { p.restarting(); });
        UpdateInstaller::startReplacement(host, staged);
    } catch (...) {
        failure = std::current_exception();
    }

    if (!failure) {
        removeQuietly(*image);
        services_.quit();
        co_return;
    }
    window_->hide();
    const std::string description = describe(failure);
    if (setStatus)
        setStatus("Update failed: " + description);
    if (image && leavesItToTheUser(failure)) {
        offerManualInstall(*image, update, description);
        co_return;
    }
    if (image)
        removeQuietly(*image);
    services_.ui.activateApplication();
    services_.ui.showAlert("The update couldn't be installed", description);
}

void UpdatePipeline::offerManualInstall(const fs::path& image, const UpdateInfo& update, const std::string& reason) {
    const std::vector<std::string> buttons{"Open Installer", "Cancel"};
    services_.ui.activateApplication();
    const int choice = services_.ui.runAlert(
        "Install version " + update.version + " yourself",
        reason + "\n\nThe update was downloaded. Open it, then drag Tovrin into Applications.", buttons);
    if (choice != 0) {
        removeQuietly(image);
        return;
    }

    const fs::path folder = UserFolders::downloads();
    const fs::path saved = folder / ("Tovrin-" + fileNamePart(update.version) + services_.host.tools.imageExtension());
    try {
        std::error_code ignored;
        fs::remove_all(saved, ignored);
        fs::create_directories(folder);
        moveFile(image, saved);
    } catch (...) {
        services_.ui.activateApplication();
        services_.ui.showAlert("Couldn't save the installer", describe(std::current_exception()));
        return;
    }
    services_.workspace.openURL(
        QUrl::fromLocalFile(QString::fromStdString(saved.string())).toString(QUrl::FullyEncoded).toStdString());
}

} // namespace pellora
