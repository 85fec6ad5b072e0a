#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ActivityEntry.h"

// One line of activity.jsonl: an entry as compact JSON with its keys in field order.
namespace pellora::ActivityLine {

// The JSON text without the line feed. Text that is not UTF-8 is written as U+FFFD.
std::string encode(const ActivityEntry& entry);

// The entry, or absent when the text is not valid JSON or not a complete entry (the rules
// are ActivityLineReader's). To read many lines, keep one ActivityLineReader.
std::optional<ActivityEntry> decode(std::string_view line);
// The same into `entry`; `entry` is unspecified when it answers false.
bool decode(std::string_view line, ActivityEntry& entry);

} // namespace pellora::ActivityLine
