#include "UserFolders.h"

#include <cstdlib>
#include <string_view>

#include <pwd.h>
#include <unistd.h>

namespace pellora::UserFolders {
namespace {

// An XDG variable counts only when it holds an absolute path.
std::filesystem::path fromEnvironment(const char* variable, const std::filesystem::path& fallback) {
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    return fallback;
}

} // namespace

std::filesystem::path home() {
    if (const char* value = std::getenv("HOME"); value && value[0] != '\0')
        return value;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::filesystem::path applicationSupport() {
    return fromEnvironment("XDG_DATA_HOME", home() / ".local" / "share");
}

std::filesystem::path library() { return fromEnvironment("XDG_STATE_HOME", home() / ".local" / "state"); }

std::filesystem::path temporary() { return fromEnvironment("TMPDIR", "/tmp"); }

std::filesystem::path downloads() { return home() / "Downloads"; }

std::filesystem::path pelloraSupport() { return applicationSupport() / "Pellora"; }

} // namespace pellora::UserFolders
