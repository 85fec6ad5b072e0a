// An update image as the installer unpacks it: a tar archive (plain, xz or zstd) from the
// download, whatever its entries claim to be.
#include <filesystem>
#include <fstream>

#include "Fuzz/FuzzTarget.h"
#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Updates/ImageArchive.h"

namespace {

namespace fs = std::filesystem;

// Entries may arrive without the owner's write or search bit; restore them so the folder can go.
void makeRemovable(const fs::path& folder) {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(folder, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
}

} // namespace

PELLORA_FUZZ_TARGET(UpdateArchive) {
    using namespace pellora;
    const fs::path scratch = UserFolders::temporary() / "pellora-fuzz-archive";
    const fs::path archive = scratch / "Tovrin.tar.xz";
    const fs::path mount = scratch / "mount";
    if (fs::exists(scratch))
        makeRemovable(scratch);
    fs::remove_all(scratch);
    fs::create_directories(mount);
    std::ofstream(archive, std::ios::binary).write(input.data(), std::streamsize(input.size()));

    try {
        ImageArchive::unpack(archive, mount);
    } catch (const ImageArchive::Error&) {
        // Refused or unreadable: what was unpacked before stays, and is checked all the same.
    }

    // Nothing landed beside the mount point…
    for (const auto& entry : fs::directory_iterator(scratch))
        FUZZ_CHECK(entry.path() == archive || entry.path() == mount);
    // …and inside it only files without set-id bits, folders, and links that stay inside.
    const fs::path root = fs::canonical(mount);
    for (auto it = fs::recursive_directory_iterator(mount); it != fs::recursive_directory_iterator(); ++it) {
        const auto status = it->symlink_status();
        if (fs::is_symlink(status)) {
            FUZZ_CHECK(fs::read_symlink(it->path()).is_relative());
            // Followed on disk, through any other links, it ends inside (a loop ends nowhere).
            std::error_code loop;
            const fs::path resolved = fs::weakly_canonical(it->path(), loop);
            if (!loop) {
                const auto inside = resolved.lexically_relative(root);
                FUZZ_CHECK(!inside.empty() && *inside.begin() != "..");
            }
            continue;
        }
        FUZZ_CHECK(fs::is_directory(status) || fs::is_regular_file(status));
        FUZZ_CHECK((status.permissions() & (fs::perms::set_uid | fs::perms::set_gid)) == fs::perms::none);
        if (fs::is_directory(status))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add);
    }
    fs::remove_all(scratch);
}
