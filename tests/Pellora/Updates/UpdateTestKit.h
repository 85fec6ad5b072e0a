#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTimer>

#include "App/VirtualTime.h"

// Application folders, hand-made archives and a loopback web server for the installer's tests.
namespace pellora::testing {

namespace fs = std::filesystem;

std::string infoPlist(const std::string& identifier, const std::string& version);
// Name.app with Info.plist, a note, a link to it and a stand-in executable that, when
// started, creates "<version>-<pid>" in `launches`.
void makeApp(const fs::path& app, const std::string& identifier, const std::string& version, const fs::path& launches);
// The version in an application folder's Info.plist; "" without one.
std::string versionAt(const fs::path& app);
// Every entry below `folder` with each file's bytes and each link's target.
std::vector<std::string> snapshot(const fs::path& folder);
// Names in `folder`, sorted.
std::vector<std::string> namesIn(const fs::path& folder);
std::string readFile(const fs::path& file);
// The SHA-256 by Qt rather than by the code under test.
std::string checksumOf(const fs::path& file);

// An entry written as it is: `kind` 'f' file, 'd' folder, 'l' link, 'h' hard link, 'c'
// character device; `contents` is a file's bytes or a link's target.
struct RawEntry {
    std::string name;
    char kind = 'f';
    std::string contents;
};
void writeArchive(const fs::path& archive, const std::vector<RawEntry>& entries);

// Serves `body` to any GET on 127.0.0.1 with `status`, with or without a Content-Length,
// dropping the connection after `cutAfter` bytes of it when that is set.
class ImageServer {
public:
    ImageServer();
    ~ImageServer();
    std::string url() const;

    int status = 200;
    std::string body;
    bool announceLength = true;
    long long cutAfter = -1;

private:
    std::unique_ptr<QTcpServer> server_;
};

// Runs a task that waits for real events (sockets, worker threads) to its end.
template <class T> T runForReal(QCoro::Task<T> task, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    detail::Outcome<T> outcome;
    auto runner = detail::capture(std::move(task), outcome);
    QTimer guard; // wakes the loop at the deadline
    guard.setSingleShot(true);
    guard.start(limit);
    while (!outcome.done && guard.isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (!outcome.done)
        throw std::runtime_error("the task did not end in time");
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

// Watches `folder` until `done` holds or `limit` has passed; returns `done()`.
bool watchUntil(const std::function<bool()>& done, const fs::path& folder,
                std::chrono::milliseconds limit = std::chrono::seconds(60));

// Waits for a child process and returns its wait status.
int waitForProcess(long long pid);

// Makes a folder unwritable while it lives: no write permission, and immutable for root
// (which ignores permissions). `held()` says whether that worked.
struct ReadOnlyFolder {
    explicit ReadOnlyFolder(fs::path folder);
    ~ReadOnlyFolder();
    bool held() const;
    fs::path folder;
};

} // namespace pellora::testing
