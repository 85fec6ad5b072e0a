#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ActivityEntry.h"

// One line of activity.jsonl: an entry as compact JSON with its keys in field order.
namespace pellora::ActivityLine {

// The JSON text without the line feed. Text that is not UTF-8 is written as U+FFFD.
std::string encode(const ActivityEntry& entry);

// The entry, or absent when the text is not valid JSON or not a complete entry (see
// from_json). Never throws. Lines in the usual form are read without building a JSON
// document, since loading a long log is dominated by this; every other line goes through
// the JSON parser, so both ways accept and yield exactly the same.
std::optional<ActivityEntry> decode(std::string_view line);
// The same into `entry`, for loops that fill a list in place; `entry` is unspecified when it
// answers false.
bool decode(std::string_view line, ActivityEntry& entry);

} // namespace pellora::ActivityLine
