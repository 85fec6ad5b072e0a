#include "ActivityLine.h"

#include <nlohmann/json.hpp>

#include "ActivityLineReader.h"

namespace pellora::ActivityLine {

std::string encode(const ActivityEntry& entry) {
    return nlohmann::ordered_json(entry).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool decode(std::string_view line, ActivityEntry& entry) {
    ActivityLineReader reader;
    return reader.read(line, entry);
}

std::optional<ActivityEntry> decode(std::string_view line) {
    ActivityEntry entry;
    if (!decode(line, entry))
        return std::nullopt;
    return entry;
}

} // namespace pellora::ActivityLine
