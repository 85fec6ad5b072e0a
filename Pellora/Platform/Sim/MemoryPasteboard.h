#pragma once

#include "Pellora/Platform/Pasteboard.h"

namespace pellora {

// An in-memory pasteboard for tests and the simulated desktop.
class MemoryPasteboard : public Pasteboard {
public:
    std::vector<Item> items() const override { return items_; }
    void clear() override;
    void setString(const std::string& text) override;
    void writeFileURL(const std::filesystem::path& file) override;
    void writeItems(const std::vector<Item>& items) override;

    // How often the contents changed (clear and every write count).
    int changeCount() const { return changeCount_; }

private:
    std::vector<Item> items_;
    int changeCount_ = 0;
};

} // namespace pellora
