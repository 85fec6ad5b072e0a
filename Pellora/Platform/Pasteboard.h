#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace pellora {

// The general pasteboard (clipboard). Types are MIME types; data is raw bytes.
class Pasteboard {
public:
    using Item = std::map<std::string, std::string>; // type -> bytes

    static constexpr const char* plainTextType = "text/plain;charset=utf-8";
    static constexpr const char* fileURLType = "text/uri-list";

    virtual ~Pasteboard() = default;
    // Every item with every readable type, in order.
    virtual std::vector<Item> items() const = 0;
    virtual void clear() = 0;
    // Puts `text` as plain text (UTF-8) on the pasteboard.
    virtual void setString(const std::string& text) = 0;
    // Puts a reference to the file on the pasteboard, so a paste attaches the file itself.
    virtual void writeFileURL(const std::filesystem::path& file) = 0;
    // Writes all items in one call.
    virtual void writeItems(const std::vector<Item>& items) = 0;
};

} // namespace pellora
