#include "UpdateInstaller.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <system_error>

#include <QCoreApplication>
#include <QSaveFile>
#include <openssl/evp.h>

#include "Pellora/Platform/UserFolders.h"
#include "Pellora/Updates/Background.h"
#include "Pellora/Updates/InstallerTools.h"
#include "Pellora/Updates/UpdateError.h"
#include "PelloraCore/AppVersion.h"
#include "PelloraCore/FileDescriptor.h"
#include "PelloraCore/Text.h"
#include "PelloraCore/Uuid.h"

extern char** environ;

namespace pellora::UpdateInstaller {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t chunkSize = 1048576;

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Starts `program` with the null device for its input and output and no descriptors but
// those; in a session of its own when `detached`, so that it outlives this process.
pid_t spawn(const std::string& program, const std::vector<std::string>& arguments, bool detached) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, short(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                 (detached ? POSIX_SPAWN_SETSID : 0)));

    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "cannot start " + program);
    return pid;
}

bool isTransientLocation(const std::string& path) {
    static const char* const volumes[] = {"/Volumes/", "/media/", "/run/media/", "/mnt/"};
    return std::any_of(std::begin(volumes), std::end(volumes), [&](const char* prefix) { return path.starts_with(prefix); }) ||
           path.find("/AppTranslocation/") != std::string::npos;
}

// Runs on a worker thread.
fs::path stageNow(const Host& host, const fs::path& image, const std::string& expectedVersion, const fs::path& staging) {
    const fs::path mount = staging / "mount";
    fs::create_directories(mount);
    // The temporary folder may be shared with other users; what is staged is this user's.
    fs::permissions(staging, fs::perms::owner_all, fs::perm_options::replace);
    host.tools.attach(image, mount);
    struct Detach {
        const InstallerTools& tools;
        const fs::path& mount;
        ~Detach() { tools.detach(mount); }
    } detach{host.tools, mount};

    // The first application by name, so the choice does not depend on the file system.
    std::optional<fs::path> found;
    for (const auto& entry : fs::directory_iterator(mount))
        if (entry.path().extension() == ".app" && (!found || entry.path().filename() < found->filename()))
            found = entry.path();
    if (!found)
        throw UpdateError::noApp();
    const fs::path staged = staging / found->filename();
    host.tools.copyApplication(*found, staged);
    verify(host, staged, expectedVersion);
    return staged;
}

} // namespace

Host Host::current(const InstallerTools& tools) {
    const fs::path executable = QCoreApplication::applicationFilePath().toStdString();
    auto bundle = Bundle::containing(executable);
    if (!bundle)
        bundle = Bundle{executable.parent_path(), std::nullopt, std::nullopt};
    return Host{tools, std::move(*bundle), static_cast<long long>(::getpid())};
}

fs::path temporaryItem(const std::string& prefix, const std::string& suffix) {
    return UserFolders::temporary() / (prefix + Text::uppercased(Uuid::random()) + suffix);
}

std::string sha256(const fs::path& file) {
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.isOpen())
        throwErrno("cannot open " + file.string());
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("cannot start a SHA-256 hash");
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(chunkSize);
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.get(), chunkSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throwErrno("cannot read " + file.string());
        if (got == 0)
            break;
        EVP_DigestUpdate(context.get(), buffer.get(), std::size_t(got));
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    EVP_DigestFinal_ex(context.get(), digest.data(), &size);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 15];
    }
    return hex;
}

QCoro::Task<fs::path> stage(Host host, fs::path image, std::string expectedVersion) {
    fs::path staging = temporaryItem("PLR-update-", "");
    auto work = inBackground([host, image = std::move(image), expectedVersion = std::move(expectedVersion),
                              staging = std::move(staging)] { return stageNow(host, image, expectedVersion, staging); });
    co_return co_await std::move(work);
}

void verify(const Host& host, const fs::path& staged, const std::string& expectedVersion) {
    const auto bundle = Bundle::open(staged);
    if (!bundle)
        throw UpdateError::noApp();
    if (bundle->identifier != host.application.identifier)
        throw UpdateError::wrongApp("different app");
    const std::string version = bundle->shortVersion.value_or("");
    if (version != expectedVersion)
        throw UpdateError::wrongApp("version " + version + ", expected " + expectedVersion);
    if (!AppVersion::isNewer(version, host.application.version()))
        throw UpdateError::wrongApp("not newer");
    const auto stagedTeam = signingTeam(host.tools, staged);
    std::optional<std::string> runningTeam;
    try {
        runningTeam = signingTeam(host.tools, host.application.location);
    } catch (...) {
        throw UpdateError::cannotVerifyPublisher();
    }
    if (!runningTeam)
        throw UpdateError::cannotVerifyPublisher();
    if (!stagedTeam || *stagedTeam != *runningTeam)
        throw UpdateError::publisherMismatch();
}

std::optional<std::string> signingTeam(const InstallerTools& tools, const fs::path& application) {
    return tools.signingTeam(application);
}

int run(const std::string& program, const std::vector<std::string>& arguments) {
    const pid_t pid = spawn(program, arguments, false);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            throwErrno("cannot wait for " + program);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

long long startReplacement(const Host& host, const fs::path& staged) {
    const fs::path current = host.application.location;
    const fs::path folder = current.parent_path();
    if (isTransientLocation(current.string()))
        throw UpdateError::cannotInstallHere("Move Tovrin to your Applications folder first, then update.");
    if (::access(folder.c_str(), W_OK) != 0)
        throw UpdateError::cannotInstallHere("This app can't replace itself in " + folder.string() + ".");

    // Usually the new copy has the running copy's name; otherwise it goes in beside it.
    const fs::path named = folder / staged.filename();
    std::error_code missing;
    const fs::path target = fs::exists(fs::symlink_status(named, missing)) ? current : named;

    const fs::path script = temporaryItem("PLR-update-", ".sh");
    QSaveFile file(QString::fromStdString(script.string()));
    const QByteArray text = QByteArray::fromStdString(host.tools.swapScript());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw std::runtime_error("cannot write " + script.string() + ": " + file.errorString().toStdString());
    fs::permissions(script, fs::perms::owner_all, fs::perm_options::replace);

    const std::vector<std::string> arguments{"/bin/bash", script.string(), std::to_string(host.processIdentifier),
                                             staged.string(), current.string(), target.string()};
    return spawn("/usr/bin/nohup", arguments, true);
}

} // namespace pellora::UpdateInstaller
