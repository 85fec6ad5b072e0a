#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pellora {

// An application folder, Name.app/Contents/{Info.plist, MacOS/, Resources/}, as the platform
// sees it: on macOS the native bundle, elsewhere one the build assembles the same way.
struct Bundle {
    // The .app folder.
    std::filesystem::path location;
    // "CFBundleIdentifier", when present and text.
    std::optional<std::string> identifier;
    // "CFBundleShortVersionString", when present and text.
    std::optional<std::string> shortVersion;

    // The short version, or "0.0.0" without one.
    std::string version() const;
    std::filesystem::path resources() const { return location / "Contents" / "Resources"; }

    // The bundle at `app`; absent when it has no readable Info.plist.
    static std::optional<Bundle> open(const std::filesystem::path& app);
    // The bundle whose Contents/MacOS folder holds `executable`; absent for a program
    // started outside such a folder.
    static std::optional<Bundle> containing(const std::filesystem::path& executable);

    bool operator==(const Bundle&) const = default;
};

} // namespace pellora
