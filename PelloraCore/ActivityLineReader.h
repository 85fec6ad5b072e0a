#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "ActivityEntry.h"

namespace pellora {

// Reads lines of activity.jsonl into entries, with simdjson's on-demand parser. A line is an
// entry when it is one JSON object (strict UTF-8, a byte-order mark allowed in front, nothing
// read from a NUL byte on, as the JSON library that writes the file reads it) holding
// all ten keys with the right types, an id that is a UUID (kept upper-case), a date in the
// stored form and a known mode. Other keys may hold any JSON value; a key given twice counts
// with its last value, as in any JSON reader. Values nested more than 1000 levels deep make a
// line unreadable.
//
// One reader serves a whole load: texts and destinations that repeat come out as one shared
// value, so a long log costs little memory.
class ActivityLineReader {
public:
    // Bytes after a line that reading may look at (never change); see readPadded.
    static constexpr std::size_t padding = 64;

    ActivityLineReader();
    ~ActivityLineReader();
    ActivityLineReader(const ActivityLineReader&) = delete;
    ActivityLineReader& operator=(const ActivityLineReader&) = delete;

    // `line` without its line feed. False when it is not an entry; `entry` is unspecified then.
    bool read(std::string_view line, ActivityEntry& entry);
    // The same without copying: `padding` readable bytes must follow the line in memory.
    bool readPadded(std::string_view line, ActivityEntry& entry);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace pellora
