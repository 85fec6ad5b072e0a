#pragma once

#include <unistd.h>

namespace pellora {

// Owns a POSIX file descriptor (negative: none) and closes it; an error of closing is of no
// use to anyone and is ignored.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }

private:
    int fd_;
};

} // namespace pellora
