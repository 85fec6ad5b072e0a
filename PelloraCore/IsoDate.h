#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Dates as ISO 8601 text in UTC with whole seconds: 2026-12-05T06:19:03Z. The form of
// activity.jsonl and of the log.
namespace pellora::IsoDate {

std::string format(std::chrono::sys_seconds date);
// Truncates to whole seconds.
template <class Duration> std::string format(std::chrono::sys_time<Duration> date) {
    return format(std::chrono::floor<std::chrono::seconds>(date));
}

// Accepts exactly the form that format writes (a valid calendar date, hours 00–23, minutes
// and seconds 00–59); anything else is absent.
std::optional<std::chrono::sys_seconds> parse(std::string_view text);

// Writes the 20 characters of format into `out`, for loops that must not allocate.
void formatInto(std::chrono::sys_seconds date, char (&out)[20]);

} // namespace pellora::IsoDate
