#include "ReferenceDate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pellora::ReferenceDate {

double from(std::chrono::system_clock::time_point date) {
    return std::chrono::duration<double>(date.time_since_epoch()).count() - epochOffset;
}

std::chrono::system_clock::time_point to(double seconds) {
    // A hand-edited config.json may hold any finite number: dates beyond what the clock can
    // count (about 292 years either side of 1970) are held at its ends rather than overflowing.
    constexpr double limit = 9.2e9;
    const double unix = std::isnan(seconds) ? 0.0 : std::clamp(seconds + epochOffset, -limit, limit);
    // Whole seconds and the fraction apart: scaled to clock ticks in one piece, a date's
    // double would lose its last digits (.25 s would come back as .249999872 s).
    const double whole = std::floor(unix);
    return std::chrono::system_clock::time_point(
        std::chrono::seconds(static_cast<std::int64_t>(whole)) +
        std::chrono::round<std::chrono::system_clock::duration>(std::chrono::duration<double>(unix - whole)));
}

} // namespace pellora::ReferenceDate
