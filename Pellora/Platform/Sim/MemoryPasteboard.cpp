#include "MemoryPasteboard.h"

#include <QString>
#include <QUrl>

namespace pellora {

// Every write replaces the contents, as the application always clears before writing.

void MemoryPasteboard::clear() {
    items_.clear();
    ++changeCount_;
}

void MemoryPasteboard::setString(const std::string& text) {
    items_ = {Item{{plainTextType, text}}};
    ++changeCount_;
}

void MemoryPasteboard::writeFileURL(const std::filesystem::path& file) {
    // The same bytes a text/uri-list carries on the real clipboard.
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
    items_ = {Item{{fileURLType, url.toEncoded().toStdString() + "\r\n"}}};
    ++changeCount_;
}

void MemoryPasteboard::writeItems(const std::vector<Item>& items) {
    items_ = items;
    ++changeCount_;
}

} // namespace pellora
