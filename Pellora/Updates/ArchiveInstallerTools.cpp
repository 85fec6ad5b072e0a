#include "ArchiveInstallerTools.h"

#include <vector>

#include "Pellora/Updates/CodeSignature.h"
#include "Pellora/Updates/FolderListing.h"
#include "Pellora/Updates/ImageArchive.h"
#include "Pellora/Updates/SwapScript.h"
#include "Pellora/Updates/UpdateError.h"
#include "Pellora/Updates/UpdateInstaller.h"

namespace pellora {

namespace fs = std::filesystem;

void ArchiveInstallerTools::attach(const fs::path& image, const fs::path& mountPoint) const {
    try {
        ImageArchive::unpack(image, mountPoint);
        FolderListing::setWritable(mountPoint, false);
    } catch (const std::exception&) {
        // An image that cannot be attached leaves nothing attached: not half an archive.
        std::error_code ignored;
        std::vector<fs::path> unpacked;
        for (const auto& entry : fs::directory_iterator(mountPoint, ignored))
            unpacked.push_back(entry.path());
        for (const auto& path : unpacked)
            fs::remove_all(path, ignored);
        throw UpdateError::tool("couldn't open the disk image");
    }
}

void ArchiveInstallerTools::detach(const fs::path& mountPoint) const noexcept {
    try {
        FolderListing::setWritable(mountPoint, true);
    } catch (...) {
        // Removal below tries anyway.
    }
    std::error_code ignored;
    fs::remove_all(mountPoint, ignored);
}

void ArchiveInstallerTools::copyApplication(const fs::path& application, const fs::path& destination) const {
    const std::vector<std::string> arguments{"-a", "--", application.string(), destination.string()};
    if (UpdateInstaller::run("/bin/cp", arguments) != 0)
        throw UpdateError::tool("couldn't copy the app");
    // The image is read-only; the copy must not be, or the next update could not remove it.
    try {
        FolderListing::setWritable(destination, true);
    } catch (const std::exception&) {
        throw UpdateError::tool("couldn't copy the app");
    }
}

std::optional<std::string> ArchiveInstallerTools::signingTeam(const fs::path& application) const {
    return CodeSignature::team(application);
}

std::string ArchiveInstallerTools::swapScript() const { return SwapScript::forLinux(); }

} // namespace pellora
