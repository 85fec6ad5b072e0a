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

// Application folders, signed images and a loopback web server for the installer's tests.
namespace pellora::testing {

namespace fs = std::filesystem;

// An Info.plist with this identifier and version.
std::string infoPlist(const std::string& identifier, const std::string& version);

// Writes Name.app with Info.plist and a stand-in executable that, when started, creates
// "<version>-<pid>" in `launches` and ends.
void makeApp(const fs::path& app, const std::string& identifier, const std::string& version,
             const fs::path& launches);

// The version in an application folder's Info.plist; "" when it has none.
std::string versionAt(const fs::path& app);

// Every entry below `folder` with each file's bytes and each link's target, to tell whether
// anything changed.
std::vector<std::string> snapshot(const fs::path& folder);

// Names in `folder` (not below), sorted.
std::vector<std::string> namesIn(const fs::path& folder);

// The hexadecimal SHA-256 of a file, by Qt rather than by the code under test.
std::string checksumOf(const fs::path& file);

// One entry of a hand-made archive; `kind` is 'f' file, 'd' folder, 'l' link, 'h' hard link,
// 'c' character device.
struct RawEntry {
    std::string name;
    char kind = 'f';
    std::string contents; // a file's bytes, or a link's target
};
// Writes the entries as they are (no checks) into an xz-compressed tar archive.
void writeArchive(const fs::path& archive, const std::vector<RawEntry>& entries);

// Serves one file over HTTP on 127.0.0.1: any GET gets `status` and the body, with or
// without a Content-Length; `cutAfter` bytes of the body (when set) and then the connection
// drops.
class ImageServer {
public:
    ImageServer();
    ~ImageServer();

    int status = 200;
    std::string body;
    bool announceLength = true;
    long long cutAfter = -1;

    std::string url(const std::string& path = "/update.tar.xz") const;
    int requests() const { return requests_; }

private:
    void answer(class QTcpSocket* socket);

    std::unique_ptr<QTcpServer> server_;
    int requests_ = 0;
};

// Runs a task that waits for real events (sockets, worker threads) to its end; throws when
// it has not ended within `limit`.
template <class T> T runForReal(QCoro::Task<T> task, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    detail::Outcome<T> outcome;
    auto runner = detail::capture(std::move(task), outcome);
    QTimer guard; // wakes the loop at the deadline
    bool expired = false;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { expired = true; });
    guard.start(limit);
    while (!outcome.done && !expired)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (!outcome.done)
        throw std::runtime_error("the task did not end in time");
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

// Waits, watching `folder`, until `done` holds or `limit` has passed; returns `done()`.
bool watchUntil(const std::function<bool()>& done, const fs::path& folder,
               std::chrono::milliseconds limit = std::chrono::seconds(60));

// Makes a folder unwritable for this process while it lives: without write permission, and
// for root (which ignores permissions) immutable as well. `held()` says whether that worked.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(fs::path folder);
    ~ReadOnlyFolder();
    bool held() const;

private:
    void setImmutable(bool on);
    fs::path folder_;
};

// Waits for a child process to end and returns its raw wait status.
int waitForProcess(long long pid);

} // namespace pellora::testing
