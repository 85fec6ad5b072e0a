#pragma once

#include "Pellora/Updates/InstallerTools.h"

namespace pellora {

// The installer's tools where there is no hdiutil, ditto or code-signing service: the image
// is an xz-compressed tar archive unpacked (read-only) into the mount folder, copies are
// `cp -a`, and the signature is CodeSignature's.
class ArchiveInstallerTools : public InstallerTools {
public:
    std::string imageExtension() const override { return ".tar.xz"; }
    void attach(const std::filesystem::path& image, const std::filesystem::path& mountPoint) const override;
    void detach(const std::filesystem::path& mountPoint) const noexcept override;
    void copyApplication(const std::filesystem::path& application,
                         const std::filesystem::path& destination) const override;
    std::optional<std::string> signingTeam(const std::filesystem::path& application) const override;
    std::string swapScript() const override;
};

} // namespace pellora
