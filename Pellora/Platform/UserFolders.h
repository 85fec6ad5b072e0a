#pragma once

#include <filesystem>

// The user's folders. On Linux: Application Support is $XDG_DATA_HOME (default
// ~/.local/share), the Library folder is $XDG_STATE_HOME (default ~/.local/state), the
// temporary directory is $TMPDIR (default /tmp) and Downloads is ~/Downloads. Read from the
// environment on every call, so tests can point them at a folder of their own.
namespace pellora::UserFolders {

std::filesystem::path home();
std::filesystem::path applicationSupport();
std::filesystem::path library();
std::filesystem::path temporary();
std::filesystem::path downloads();

// Application Support/Pellora: config.json, activity.jsonl, device-id.
std::filesystem::path pelloraSupport();

} // namespace pellora::UserFolders
