#pragma once

#include "Pellora/Platform/Pasteboard.h"

namespace pellora {

// The general pasteboard on QClipboard. The clipboard holds a single item: items() answers
// one item with every format of the clipboard's data (none when it is empty), and
// writeItems() merges all items into one, the earlier item winning for a type both carry.
class QtPasteboard : public Pasteboard {
public:
    std::vector<Item> items() const override;
    void clear() override;
    void setString(const std::string& text) override;
    void writeFileURL(const std::filesystem::path& file) override;
    void writeItems(const std::vector<Item>& items) override;
};

} // namespace pellora
