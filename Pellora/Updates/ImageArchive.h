#pragma once

#include <filesystem>
#include <stdexcept>

// The update image outside macOS: an xz-compressed tar archive holding the application
// folder (zstd is read as well).
namespace pellora::ImageArchive {

// An archive that cannot be read, or one with an entry that would land outside the folder it
// is unpacked into or is not a file, folder or link.
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Packs `folder` under its own name (Tovrin.app/…) into a new archive at `archive`, entries
// in sorted order, with no owner names. Throws Error or filesystem_error.
void pack(const std::filesystem::path& folder, const std::filesystem::path& archive);

// Unpacks `archive` into the existing folder `destination`, keeping modification times but
// no owners and no set-id bits. Refuses absolute names, "..", links whose target leaves
// `destination`, writing through a link, and devices, pipes and sockets. Throws Error;
// whatever was unpacked before a refusal stays.
void unpack(const std::filesystem::path& archive, const std::filesystem::path& destination);

} // namespace pellora::ImageArchive
