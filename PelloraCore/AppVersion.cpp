#include "AppVersion.h"

#include <algorithm>
#include <charconv>

#include "Text.h"

namespace pellora::AppVersion {
namespace {

// The leading run of numeric characters, read as a base-10 integer; 0 when the run is empty
// or does not read (non-ASCII digits, more than 64 bits).
std::int64_t number(std::string_view piece) {
    std::size_t end = 0;
    for (char32_t c : Text::codePoints(piece)) {
        if (!Text::isNumeric(c))
            break; // ill-formed bytes read as U+FFFD, which is not numeric
        end += Text::utf8(c).size();
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
