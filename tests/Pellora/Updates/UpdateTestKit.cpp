#include "UpdateTestKit.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include <QCryptographicHash>
#include <QTcpSocket>
#include <archive.h>
#include <archive_entry.h>

#include "Pellora/Platform/Bundle.h"

namespace pellora::testing {

std::string infoPlist(const std::string& identifier, const std::string& version) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "\t<key>CFBundleExecutable</key>\n\t<string>Tovrin</string>\n"
           "\t<key>CFBundleIdentifier</key>\n\t<string>" + identifier + "</string>\n"
           "\t<key>CFBundleShortVersionString</key>\n\t<string>" + version + "</string>\n</dict>\n</plist>\n";
}

void makeApp(const fs::path& app, const std::string& identifier, const std::string& version, const fs::path& launches) {
    fs::create_directories(app / "Contents/MacOS");
    fs::create_directories(app / "Contents/Resources");
    std::ofstream(app / "Contents/Info.plist") << infoPlist(identifier, version);
    std::ofstream(app / "Contents/MacOS/Tovrin") << "#!/bin/sh\n: > '" << (launches / version).string() << "-'$$\n";
    fs::permissions(app / "Contents/MacOS/Tovrin", fs::perms::owner_exec, fs::perm_options::add);
    std::ofstream(app / "Contents/Resources/notes.txt") << "Release notes for " << version << "\n";
    fs::create_symlink("../Resources/notes.txt", app / "Contents/Resources/readme");
}

std::string versionAt(const fs::path& app) {
    const auto bundle = Bundle::open(app);
    return bundle ? bundle->shortVersion.value_or("") : "";
}

std::vector<std::string> snapshot(const fs::path& folder) {
    std::vector<std::string> entries;
    for (fs::recursive_directory_iterator it(folder), end; it != end; ++it) {
        const auto name = it->path().lexically_relative(folder).string();
        entries.push_back(it->is_symlink()        ? name + " -> " + fs::read_symlink(it->path()).string()
                          : it->is_regular_file() ? name + ": " + readFile(it->path())
                                                  : name + "/");
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
    const std::string bytes = readFile(file);
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

void writeArchive(const fs::path& path, const std::vector<RawEntry>& entries) {
    archive* out = archive_write_new();
    archive_write_add_filter_xz(out);
    archive_write_set_format_pax_restricted(out);
    archive_write_open_filename(out, path.c_str());
    for (const auto& raw : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, raw.name.c_str());
        archive_entry_set_perm(entry, 0755);
        archive_entry_set_filetype(entry, raw.kind == 'd'   ? AE_IFDIR
                                          : raw.kind == 'l' ? AE_IFLNK
                                          : raw.kind == 'c' ? AE_IFCHR
                                                            : AE_IFREG);
        if (raw.kind == 'l')
            archive_entry_set_symlink(entry, raw.contents.c_str());
        if (raw.kind == 'h')
            archive_entry_set_hardlink(entry, raw.contents.c_str());
        if (raw.kind == 'c')
            archive_entry_set_rdev(entry, makedev(1, 3));
        if (raw.kind == 'f')
            archive_entry_set_size(entry, la_int64_t(raw.contents.size()));
        archive_write_header(out, entry);
        if (raw.kind == 'f')
            archive_write_data(out, raw.contents.data(), raw.contents.size());
        archive_entry_free(entry);
    }
    archive_write_close(out);
    archive_write_free(out);
}

ImageServer::ImageServer() : server(std::make_unique<QTcpServer>()) {
    server->listen(QHostAddress::LocalHost);
    QObject::connect(server.get(), &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->peek(1 << 16).contains("\r\n\r\n"))
                    return;
                socket->readAll();
                std::string head = "HTTP/1.1 " + std::to_string(status) + " Answer\r\n";
                if (announceLength)
                    head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
                socket->write((head + "Connection: close\r\n\r\n").c_str());
                const auto sent = cutAfter >= 0 ? std::min(std::size_t(cutAfter), body.size()) : body.size();
                socket->write(body.data(), qint64(sent));
                if (cutAfter >= 0) {
                    socket->flush();
                    socket->abort();
                } else {
                    socket->disconnectFromHost();
                }
            });
        }
    });
}

std::string ImageServer::url() const {
    return "http://127.0.0.1:" + std::to_string(server->serverPort()) + "/update.tar.xz";
}

namespace {
void setImmutable(const fs::path& folder, bool on) {
    const int fd = ::geteuid() == 0 ? ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0)
        ::close(fd);
}
} // namespace

ReadOnlyFolder::ReadOnlyFolder(fs::path path) : folder(std::move(path)) {
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
    setImmutable(folder, true);
}

ReadOnlyFolder::~ReadOnlyFolder() {
    setImmutable(folder, false);
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
}

bool ReadOnlyFolder::held() const { return ::access(folder.c_str(), W_OK) != 0; }

} // namespace pellora::testing
