#pragma once

#include <chrono>

#include "Config.h"

// Dates as config.json keeps them: seconds since 2001-01-01 00:00:00 UTC.
namespace pellora::ReferenceDate {

// 2001-01-01 00:00:00 UTC in seconds since 1970.
inline constexpr double unixOffset = 978307200.0;

Config::Date from(std::chrono::system_clock::time_point time);
std::chrono::system_clock::time_point toTimePoint(Config::Date date);

} // namespace pellora::ReferenceDate
