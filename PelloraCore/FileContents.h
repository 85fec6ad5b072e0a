#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pellora::FileContents {

// The whole file as bytes (an empty file gives ""); absent when it cannot be opened or read.
std::optional<std::string> read(const std::filesystem::path& file);

} // namespace pellora::FileContents
