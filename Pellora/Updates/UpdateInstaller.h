#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QCoro/QCoroTask>

#include "Pellora/Platform/Bundle.h"

namespace pellora {

class InstallerTools;

// The steps of installing an accepted update: checksum, staging the new copy out of the
// image, checking that it is a newer version of this application by the same publisher,
// and handing the swap to a detached script. Downloading is UpdateInstaller::Downloader.
namespace UpdateInstaller {

// The running copy that an update replaces, and the platform's tools for the work.
struct Host {
    const InstallerTools& tools;
    // The running application's folder; outside a bundle, the executable's folder with no
    // identifier and no version.
    Bundle application;
    long long processIdentifier = 0;

    // This process.
    static Host current(const InstallerTools& tools);
};

// A new name in the user's temporary folder: prefix + a new upper-case UUID + suffix.
std::filesystem::path temporaryItem(const std::string& prefix, const std::string& suffix);

// The SHA-256 of the file's bytes as 64 lower-case hexadecimal digits, read in 1 MiB chunks.
// Throws std::system_error when the file cannot be opened or read.
std::string sha256(const std::filesystem::path& file);

// Unpacks the image into a new staging folder "PLR-update-" + UUID in the temporary folder,
// copies the first application found at the image's top level (by name) into it and
// verifies the copy. Runs on a worker thread. Returns the staged application; the staging
// folder stays. Throws UpdateError, or the error of a failed step as it came.
QCoro::Task<std::filesystem::path> stage(Host host, std::filesystem::path image, std::string expectedVersion);

// Accepts a staged application only when it has the running application's bundle identifier,
// exactly the expected version, a version newer than the running one, and a valid signature
// by the running copy's team. Throws UpdateError.
void verify(const Host& host, const std::filesystem::path& staged, const std::string& expectedVersion);

// The team identifier of the application's valid signature, or absent when it has none.
// Throws UpdateError::invalidSignature.
std::optional<std::string> signingTeam(const InstallerTools& tools, const std::filesystem::path& application);

// Runs the program to its end with its output sent to the null device and returns its exit
// status (128 + the signal's number when a signal ended it). Throws std::system_error when
// it cannot be started.
int run(const std::string& program, const std::vector<std::string>& arguments);

// Checks that the running copy can be replaced where it is, writes the swap script and
// starts it detached through nohup. Returns the script's process identifier at once.
// Throws UpdateError::cannotInstallHere, or the error of writing or starting the script.
long long startReplacement(const Host& host, const std::filesystem::path& staged);

} // namespace UpdateInstaller
} // namespace pellora
