#pragma once

#include <filesystem>
#include <vector>

#include "ActivityEntry.h"

// activity.jsonl: one compact JSON entry per line.
namespace pellora::ActivityFile {

// Appends the entry's line as AppendOnlyFile::appendLine does (on a fresh line), creating
// missing folders first. Throws std::filesystem::filesystem_error.
void append(const ActivityEntry& entry, const std::filesystem::path& file);

// Every line that decodes, in file order; never fails. Blank lines and a missing final line
// feed are harmless; a line that is not an entry is skipped.
std::vector<ActivityEntry> load(const std::filesystem::path& file);

// The same entries sorted by date, newest first; entries with the same date keep their file
// order. Never fails.
std::vector<ActivityEntry> loadNewestFirst(const std::filesystem::path& file);

} // namespace pellora::ActivityFile
