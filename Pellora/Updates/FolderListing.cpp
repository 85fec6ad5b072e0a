#include "FolderListing.h"

#include <algorithm>

namespace pellora::FolderListing {

namespace fs = std::filesystem;

std::vector<fs::path> sorted(const fs::path& root) {
    std::vector<fs::path> entries;
    for (fs::recursive_directory_iterator it(root), end; it != end; ++it)
        entries.push_back(it->path().lexically_relative(root));
    std::sort(entries.begin(), entries.end(),
              [](const fs::path& a, const fs::path& b) { return a.generic_string() < b.generic_string(); });
    return entries;
}

void setWritable(const fs::path& root, bool add) {
    // Adding gives back only the owner's write bit, as a fresh copy would have it.
    const auto bits = add ? fs::perms::owner_write : fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    const auto how = add ? fs::perm_options::add : fs::perm_options::remove;
    std::vector<fs::path> all{root};
    if (fs::is_directory(fs::symlink_status(root)))
        for (const auto& relative : sorted(root))
            all.push_back(root / relative);
    for (const auto& path : all)
        if (!fs::is_symlink(fs::symlink_status(path)))
            fs::permissions(path, bits, how);
}

} // namespace pellora::FolderListing
