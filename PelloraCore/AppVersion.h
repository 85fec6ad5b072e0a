#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// How two version texts ("1.10", "2.0b3") compare: numbers between full stops, a missing
// number counting as 0. Never fails: an unreadable piece counts as 0.
namespace pellora::AppVersion {

// The numbers of a version: pieces between full stops (empty pieces dropped), each the
// leading run of numeric characters read as a 64-bit integer, or 0 when it does not read.
std::vector<std::int64_t> parts(std::string_view version);

enum class Ordering { ascending = -1, same = 0, descending = 1 };

// ascending when `a` is older than `b`, descending when it is newer.
Ordering compare(std::string_view a, std::string_view b);
bool isNewer(std::string_view version, std::string_view than);

} // namespace pellora::AppVersion
