#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include <QCoro/QCoroTask>

#include "PelloraCore/UserError.h"

namespace pellora::UpdateInstaller {

// Downloads one update image over a network setup of its own (no cache, nothing kept
// afterwards), streaming it to disk.
class Downloader {
public:
    // A download that broke off: no connection, a connection cut mid-way, a time-out, an
    // address that is not a web address, or a file that could not be written. Carries the
    // network library's or the file system's message.
    class Error : public UserError {
    public:
        explicit Error(std::string message) : message_(std::move(message)) {}
        std::string description() const override { return message_; }

    private:
        std::string message_;
    };

    // Downloads `url` to "PLR-" + UUID + `extension` in the temporary folder and returns
    // that location. `progress` hears written ÷ expected for every chunk, only when the size
    // is announced. Throws ServerError for an answer whose status is not 200, Error when the
    // download breaks off, or the file system's error when the finished file cannot be
    // moved into place. Nothing is left behind on failure.
    static QCoro::Task<std::filesystem::path> download(std::string url, std::function<void(double)> progress,
                                                       std::string extension);
};

} // namespace pellora::UpdateInstaller
