#include "DateText.h"

#include "DateFormatter.h"

namespace pellora::DateText {

std::string abbreviatedWithTime(std::chrono::system_clock::time_point time, std::string_view locale,
                                std::string_view timeZone) {
    // Minutes are the finest unit shown, so the fraction of a second changes nothing.
    return DateFormatter(locale, timeZone).abbreviated(std::chrono::floor<std::chrono::seconds>(time));
}

} // namespace pellora::DateText
