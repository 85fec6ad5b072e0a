#include "DateText.h"

#include <memory>

#include <unicode/datefmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace pellora::DateText {

std::string abbreviatedWithTime(std::chrono::system_clock::time_point time, std::string_view locale,
                                std::string_view timeZone) {
    const std::string localeName(locale);
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(
        icu::DateFormat::kMedium, icu::DateFormat::kShort, icu::Locale(localeName.c_str())));
    if (!format)
        return {};
    if (!timeZone.empty())
        format->adoptTimeZone(icu::TimeZone::createTimeZone(
            icu::UnicodeString::fromUTF8(icu::StringPiece(timeZone.data(), int32_t(timeZone.size())))));
    const std::chrono::duration<double, std::milli> sinceUnix = time.time_since_epoch();
    icu::UnicodeString text;
    format->format(UDate(sinceUnix.count()), text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

} // namespace pellora::DateText
