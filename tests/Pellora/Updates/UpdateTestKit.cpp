#include "UpdateTestKit.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <QCryptographicHash>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemWatcher>
#include <QTcpSocket>
#include <archive.h>
#include <archive_entry.h>

#include "Pellora/Platform/Bundle.h"

namespace pellora::testing {

namespace {

void writeText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string readText(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

} // namespace

std::string infoPlist(const std::string& identifier, const std::string& version) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "\t<key>CFBundleExecutable</key>\n\t<string>Tovrin</string>\n"
           "\t<key>CFBundleIdentifier</key>\n\t<string>" + identifier + "</string>\n"
           "\t<key>CFBundleShortVersionString</key>\n\t<string>" + version + "</string>\n"
           "</dict>\n</plist>\n";
}

void makeApp(const fs::path& app, const std::string& identifier, const std::string& version,
             const fs::path& launches) {
    fs::create_directories(app / "Contents" / "MacOS");
    fs::create_directories(app / "Contents" / "Resources");
    writeText(app / "Contents" / "Info.plist", infoPlist(identifier, version));
    const fs::path executable = app / "Contents" / "MacOS" / "Tovrin";
    writeText(executable, "#!/bin/sh\n: > '" + (launches / version).string() + "-'$$\n");
    fs::permissions(executable, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    writeText(app / "Contents" / "Resources" / "notes.txt", "Release notes for " + version + "\n");
    fs::create_symlink("notes.txt", app / "Contents" / "Resources" / "readme");
}

std::string versionAt(const fs::path& app) {
    const auto bundle = Bundle::open(app);
    return bundle && bundle->shortVersion ? *bundle->shortVersion : "";
}

std::vector<std::string> snapshot(const fs::path& folder) {
    std::vector<std::string> entries;
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it) {
        const auto relative = it->path().lexically_relative(folder).string();
        if (it->is_symlink())
            entries.push_back(relative + " -> " + fs::read_symlink(it->path()).string());
        else if (it->is_regular_file())
            entries.push_back(relative + ": " + readText(it->path()));
        else
            entries.push_back(relative + "/");
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string checksumOf(const fs::path& file) {
    QFile input(QString::fromStdString(file.string()));
    if (!input.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + file.string());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&input);
    return hash.result().toHex().toStdString();
}

void writeArchive(const fs::path& path, const std::vector<RawEntry>& entries) {
    archive* out = archive_write_new();
    archive_write_add_filter_xz(out);
    archive_write_set_format_pax_restricted(out);
    if (archive_write_open_filename(out, path.c_str()) != ARCHIVE_OK)
        throw std::runtime_error("cannot create " + path.string());
    for (const auto& raw : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, raw.name.c_str());
        archive_entry_set_mtime(entry, 1'700'000'000, 0);
        switch (raw.kind) {
        case 'd':
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
            break;
        case 'l':
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_perm(entry, 0777);
            archive_entry_set_symlink(entry, raw.contents.c_str());
            break;
        case 'h':
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_hardlink(entry, raw.contents.c_str());
            break;
        case 'c':
            archive_entry_set_filetype(entry, AE_IFCHR);
            archive_entry_set_perm(entry, 0666);
            archive_entry_set_rdev(entry, makedev(1, 3));
            break;
        default:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, la_int64_t(raw.contents.size()));
        }
        archive_write_header(out, entry);
        if (raw.kind == 'f')
            archive_write_data(out, raw.contents.data(), raw.contents.size());
        archive_entry_free(entry);
    }
    archive_write_close(out);
    archive_write_free(out);
}

ImageServer::ImageServer() : server_(std::make_unique<QTcpServer>()) {
    if (!server_->listen(QHostAddress::LocalHost))
        throw std::runtime_error("cannot listen on the loopback address");
    QObject::connect(server_.get(), &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                request->append(socket->readAll());
                if (request->contains("\r\n\r\n")) {
                    QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
                    answer(socket);
                }
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

ImageServer::~ImageServer() = default;

std::string ImageServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(server_->serverPort()) + path;
}

void ImageServer::answer(QTcpSocket* socket) {
    ++requests_;
    std::string head = "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") + "\r\n";
    if (announceLength)
        head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head.data(), qint64(head.size()));
    const auto sent = cutAfter >= 0 ? std::min<size_t>(size_t(cutAfter), body.size()) : body.size();
    socket->write(body.data(), qint64(sent));
    if (cutAfter >= 0) {
        socket->flush();
        socket->abort();
        return;
    }
    socket->disconnectFromHost();
}

bool watchUntil(const std::function<bool()>& done, const fs::path& folder, std::chrono::milliseconds limit) {
    QFileSystemWatcher watcher({QString::fromStdString(folder.string())});
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (done())
        return true;
    guard.start(limit);
    loop.exec();
    return done();
}

ReadOnlyFolder::ReadOnlyFolder(fs::path folder) : folder_(std::move(folder)) {
    fs::permissions(folder_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (::geteuid() == 0)
        setImmutable(true);
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (::geteuid() == 0)
        setImmutable(false);
    fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
}

bool ReadOnlyFolder::held() const { return ::access(folder_.c_str(), W_OK) != 0; }

void ReadOnlyFolder::setImmutable(bool on) {
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    ::close(fd);
}

int waitForProcess(long long pid) {
    int status = 0;
    while (::waitpid(pid_t(pid), &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return status;
}

} // namespace pellora::testing
