#pragma once

#include <filesystem>
#include <vector>

#include "ActivityEntry.h"

// activity.jsonl: one compact JSON entry per line.
namespace pellora::ActivityFile {

// Appends one line in a single write, never truncating the file. Throws the file system's
// error.
void append(const ActivityEntry& entry, const std::filesystem::path& file);

// Every line that decodes, in file order; never fails.
std::vector<ActivityEntry> load(const std::filesystem::path& file);

} // namespace pellora::ActivityFile
