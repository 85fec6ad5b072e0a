#pragma once

#include <filesystem>
#include <vector>

// What a folder holds, in an order that does not depend on the file system.
namespace pellora::FolderListing {

// Every entry below `root` (not `root` itself) as a path relative to it, sorted byte-wise by
// its generic form; symbolic links are listed, not followed. Throws filesystem_error.
std::vector<std::filesystem::path> sorted(const std::filesystem::path& root);

// Adds (`add`) or removes write permission for everyone on `root` and everything below it,
// symbolic links aside. Throws filesystem_error.
void setWritable(const std::filesystem::path& root, bool add);

} // namespace pellora::FolderListing
