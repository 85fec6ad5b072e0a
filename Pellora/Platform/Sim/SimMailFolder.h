#pragma once

#include <filesystem>
#include <vector>

#include "Pellora/Platform/Sim/SimMail.h"

namespace pellora {

// A folder of .eml files as Mail's message list shows it.
namespace SimMailFolder {

struct Message {
    std::filesystem::path file;
    SimMail::Listing listing;
};

// The .eml files directly inside `folder`, newest first (undated ones last, ties by file
// name); files that are not messages are left out. Empty when the folder cannot be read.
std::vector<Message> read(const std::filesystem::path& folder);

} // namespace SimMailFolder
} // namespace pellora
