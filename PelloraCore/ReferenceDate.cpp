#include "ReferenceDate.h"

namespace pellora::ReferenceDate {

double from(std::chrono::system_clock::time_point date) {
    return std::chrono::duration<double>(date.time_since_epoch()).count() - epochOffset;
}

std::chrono::system_clock::time_point to(double seconds) {
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(seconds + epochOffset)));
}

} // namespace pellora::ReferenceDate
