#include "AppendOnlyFile.h"

#include <cerrno>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileDescriptor.h"

namespace pellora::AppendOnlyFile {
namespace {

[[noreturn]] void fail(const char* what, const std::filesystem::path& file, int error) {
    throw std::filesystem::filesystem_error(what, file, std::error_code(error, std::generic_category()));
}

bool endsInsideLine(const std::filesystem::path& file, int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size <= 0)
        return false;
    const FileDescriptor reader(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    char last = '\n';
    return reader.get() >= 0 && ::pread(reader.get(), &last, 1, status.st_size - 1) == 1 && last != '\n';
}

} // namespace

void appendLine(const std::filesystem::path& file, std::string_view line, bool startOnFreshLine) {
    // Create-or-append in one step: there is no moment at which an existing file is replaced.
    const FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        fail("cannot open the file for appending", file, errno);
    std::string guarded;
    if (startOnFreshLine && endsInsideLine(file, fd.get())) {
        guarded.reserve(line.size() + 1);
        guarded += '\n';
        guarded += line;
        line = guarded;
    }
    // One write for the whole line; only a partial write (a full disk, a signal) continues.
    while (!line.empty()) {
        const ssize_t written = ::write(fd.get(), line.data(), line.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            fail("cannot append to the file", file, errno);
        line.remove_prefix(std::size_t(written));
    }
}

} // namespace pellora::AppendOnlyFile
