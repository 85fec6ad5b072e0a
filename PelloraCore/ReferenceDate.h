#pragma once

#include <chrono>

// Dates as config.json keeps them: seconds since 2001-01-01 00:00:00 UTC, as a double.
namespace pellora::ReferenceDate {

// 2001-01-01 00:00:00 UTC in Unix seconds.
inline constexpr double epochOffset = 978307200.0;

double from(std::chrono::system_clock::time_point date);
std::chrono::system_clock::time_point to(double seconds);

} // namespace pellora::ReferenceDate
