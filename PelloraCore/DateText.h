#pragma once

#include <chrono>
#include <string>
#include <string_view>

// Dates written for people, by the locale's own rules (ICU).
namespace pellora::DateText {

// An abbreviated date with a short time, "Dec 5, 2026, 6:19 AM" in en_US. `locale` is an ICU
// or POSIX locale name ("de_DE"); an empty time zone is the system's.
std::string abbreviatedWithTime(std::chrono::system_clock::time_point time, std::string_view locale,
                                std::string_view timeZone = {});

} // namespace pellora::DateText
