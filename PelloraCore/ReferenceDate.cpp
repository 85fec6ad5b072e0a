#include "ReferenceDate.h"

#include <cmath>
#include <cstdint>

namespace pellora::ReferenceDate {

double from(std::chrono::system_clock::time_point date) {
    return std::chrono::duration<double>(date.time_since_epoch()).count() - epochOffset;
}

std::chrono::system_clock::time_point to(double seconds) {
    // Whole seconds and the fraction apart: scaled to clock ticks in one piece, a date's
    // double would lose its last digits (.25 s would come back as .249999872 s).
    const double unix = seconds + epochOffset;
    const double whole = std::floor(unix);
    return std::chrono::system_clock::time_point(
        std::chrono::seconds(static_cast<std::int64_t>(whole)) +
        std::chrono::round<std::chrono::system_clock::duration>(std::chrono::duration<double>(unix - whole)));
}

} // namespace pellora::ReferenceDate
