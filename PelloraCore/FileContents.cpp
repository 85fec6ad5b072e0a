#include "FileContents.h"

#include <fstream>
#include <sstream>

namespace pellora::FileContents {

std::optional<std::string> read(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    if (stream.bad())
        return std::nullopt;
    return std::move(bytes).str();
}

} // namespace pellora::FileContents
