#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include <QCoro/QCoroTask>


namespace pellora::UpdateInstaller {

// Downloads one update image over a network setup of its own (no cache, nothing kept
// afterwards), streaming it to disk.
class Downloader {
public:
    // Downloads `url` to "PLR-" + UUID + `extension` in the temporary folder and returns
    // that location. `progress` hears written ÷ expected for every chunk, only when the size
    // is announced. Throws ServerError for an answer whose status is not 200, TransportError
    // when the download breaks off, or the file system's error when the image cannot be
    // written or moved into place. Nothing is left behind on failure.
    static QCoro::Task<std::filesystem::path> download(std::string url, std::function<void(double)> progress,
                                                       std::string extension);
};

} // namespace pellora::UpdateInstaller
