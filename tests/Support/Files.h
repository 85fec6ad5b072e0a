#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pellora::testing {

// A file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& file) {
    std::ostringstream bytes;
    bytes << std::ifstream(file, std::ios::binary).rdbuf();
    return bytes.str();
}

// Makes `text` the whole file, creating its folder first.
inline void writeFile(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// The lines of a text file, without their line feeds.
inline std::vector<std::string> readLines(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(input, line);)
        lines.push_back(line);
    return lines;
}

} // namespace pellora::testing
