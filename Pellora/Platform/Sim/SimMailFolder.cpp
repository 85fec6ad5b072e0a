#include "SimMailFolder.h"

#include <algorithm>
#include <system_error>

#include "PelloraCore/Text.h"

namespace pellora::SimMailFolder {

std::vector<Message> read(const std::filesystem::path& folder) {
    std::vector<Message> messages;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!entry.is_regular_file(error) || Text::lowercased(entry.path().extension().string()) != ".eml")
            continue;
        if (auto listing = SimMail::listing(entry.path()))
            messages.push_back(Message{entry.path(), std::move(*listing)});
    }
    std::sort(messages.begin(), messages.end(), [](const Message& a, const Message& b) {
        if (a.listing.date.has_value() != b.listing.date.has_value())
            return a.listing.date.has_value();
        if (a.listing.date != b.listing.date)
            return *a.listing.date > *b.listing.date;
        return a.file.filename() < b.file.filename();
    });
    return messages;
}

} // namespace pellora::SimMailFolder
