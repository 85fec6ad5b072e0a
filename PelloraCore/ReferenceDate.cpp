#include "ReferenceDate.h"

namespace pellora::ReferenceDate {

Config::Date from(std::chrono::system_clock::time_point time) {
    const std::chrono::duration<double> sinceUnix = time.time_since_epoch();
    return sinceUnix.count() - unixOffset;
}

std::chrono::system_clock::time_point toTimePoint(Config::Date date) {
    const std::chrono::duration<double> sinceUnix(date + unixOffset);
    return std::chrono::system_clock::time_point(
        std::chrono::round<std::chrono::system_clock::duration>(sinceUnix));
}

} // namespace pellora::ReferenceDate
