#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pellora {

// The platform's tools for the update's disk image, copying an application folder, code
// signatures and the swap. On macOS these are hdiutil, ditto and the code-signing services;
// elsewhere ArchiveInstallerTools stands in with the same results. Every member may be
// called from a worker thread.
class InstallerTools {
public:
    virtual ~InstallerTools() = default;

    // The file-name extension of update images, with its leading full stop (".dmg").
    virtual std::string imageExtension() const = 0;

    // Makes the image's contents readable, read-only, at the empty folder `mountPoint`
    // without showing them to the user. Throws UpdateError::tool("couldn't open the disk
    // image") when the image cannot be opened, or the error of launching a tool.
    virtual void attach(const std::filesystem::path& image, const std::filesystem::path& mountPoint) const = 0;
    // Undoes attach; its outcome is of no interest.
    virtual void detach(const std::filesystem::path& mountPoint) const noexcept = 0;

    // Copies an application folder with its metadata (modes, times, symbolic links) to
    // `destination`, which does not exist yet. Throws UpdateError::tool("couldn't copy the
    // app") when the copy fails.
    virtual void copyApplication(const std::filesystem::path& application,
                                 const std::filesystem::path& destination) const = 0;

    // The team identifier of the application's valid signature; absent when the signature
    // has no team. Throws UpdateError::invalidSignature when the signature is missing or
    // does not hold.
    virtual std::optional<std::string> signingTeam(const std::filesystem::path& application) const = 0;

    // The swap script's text: waits for the process, moves the old copy aside, copies the new
    // one in and opens the result ("$1" process id, "$2" new copy, "$3" old copy, "$4" target).
    virtual std::string swapScript() const = 0;
};

} // namespace pellora
