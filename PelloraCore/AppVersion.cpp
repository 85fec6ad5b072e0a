#include "AppVersion.h"

#include <algorithm>
#include <charconv>

#include <unicode/utf8.h>

#include "Text.h"

namespace pellora::AppVersion {
namespace {

// The leading run of numeric characters, read as a base-10 integer; 0 when the run is empty
// or does not read (non-ASCII digits, more than 64 bits).
std::int64_t number(std::string_view piece) {
    std::size_t end = 0;
    while (end < piece.size()) {
        int32_t index = int32_t(end);
        UChar32 c;
        U8_NEXT_OR_FFFD(reinterpret_cast<const uint8_t*>(piece.data()), index, int32_t(piece.size()), c);
        if (!Text::isNumeric(char32_t(c)))
            break;
        end = std::size_t(index);
    }
    std::int64_t value = 0;
    const auto run = piece.substr(0, end);
    const auto [rest, error] = std::from_chars(run.data(), run.data() + run.size(), value);
    if (error != std::errc() || rest != run.data() + run.size())
        return 0;
    return value;
}

} // namespace

std::vector<std::int64_t> parts(std::string_view version) {
    std::vector<std::int64_t> result;
    while (!version.empty()) {
        const auto stop = version.find('.');
        const auto piece = version.substr(0, stop);
        if (!piece.empty())
            result.push_back(number(piece));
        if (stop == std::string_view::npos)
            break;
        version.remove_prefix(stop + 1);
    }
    return result;
}

Ordering compare(std::string_view a, std::string_view b) {
    const auto left = parts(a), right = parts(b);
    for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
        const auto x = i < left.size() ? left[i] : 0;
        const auto y = i < right.size() ? right[i] : 0;
        if (x != y)
            return x < y ? Ordering::ascending : Ordering::descending;
    }
    return Ordering::same;
}

bool isNewer(std::string_view version, std::string_view than) {
    return compare(version, than) == Ordering::descending;
}

} // namespace pellora::AppVersion
