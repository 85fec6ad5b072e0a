#pragma once

#include <filesystem>
#include <vector>

#include "ActivityEntry.h"

// activity.jsonl: one compact JSON entry per line.
namespace pellora::ActivityFile {

// Appends one line with a single write, creating the folders and the file (owner-only) when
// missing and never truncating or replacing it, so that lines of two writers cannot
// interleave. Throws std::filesystem::filesystem_error.
void append(const ActivityEntry& entry, const std::filesystem::path& file);

// Every line that decodes, in file order; never fails. Blank lines and a missing final line
// feed are harmless; a line that is not an entry is skipped.
std::vector<ActivityEntry> load(const std::filesystem::path& file);

// The same entries sorted by date, newest first; entries with the same date keep their file
// order. Never fails.
std::vector<ActivityEntry> loadNewestFirst(const std::filesystem::path& file);

} // namespace pellora::ActivityFile
