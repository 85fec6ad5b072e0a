#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QTcpServer>

#include "Files.h"

// Application folders, hand-made archives and a plain loopback web server for the installer.
namespace pellora::testing {

namespace fs = std::filesystem;

std::string infoPlist(const std::string& identifier, const std::string& version);
// Name.app with Info.plist, a note, a link to it and a stand-in executable that, when
// started, creates "<version>-<pid>" in `launches`.
void makeApp(const fs::path& app, const std::string& identifier, const std::string& version, const fs::path& launches);
// The version in an application folder's Info.plist; "" without one.
std::string versionAt(const fs::path& app);
// Every entry below `folder`, sorted, with each file's bytes and each link's target.
std::vector<std::string> snapshot(const fs::path& folder);
std::vector<std::string> namesIn(const fs::path& folder);
// The SHA-256 by Qt rather than by the code under test.
std::string checksumOf(const fs::path& file);

// An archive entry as it is written: `kind` 'f' file, 'd' folder, 'l' link, 'h' hard link,
// 'c' character device; `contents` is a file's bytes or a link's target.
struct RawEntry {
    std::string name;
    char kind = 'f';
    std::string contents;
};
void writeArchive(const fs::path& archive, const std::vector<RawEntry>& entries);

// Answers any GET on 127.0.0.1 with `status` and `body`, with or without its length, and
// drops the connection after `cutAfter` bytes of the body when that is set.
struct ImageServer {
    ImageServer();
    std::string url() const;

    int status = 200;
    std::string body;
    bool announceLength = true;
    long long cutAfter = -1;
    std::unique_ptr<QTcpServer> server;
};

// A folder nobody may write to while this lives, root included (through the immutable flag).
struct ReadOnlyFolder {
    explicit ReadOnlyFolder(fs::path folder);
    ~ReadOnlyFolder();
    // False where the file system cannot hold it.
    bool held() const;
    fs::path folder;
};

} // namespace pellora::testing
