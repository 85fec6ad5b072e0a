#include "DateFormatter.h"

#include <algorithm>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "IsoDate.h"

namespace pellora {

struct DateFormatter::Impl {
    std::unique_ptr<icu::DateFormat> format;
};

DateFormatter::DateFormatter(std::string_view locale, std::string_view timeZone) : impl_(std::make_unique<Impl>()) {
    UErrorCode status = U_ZERO_ERROR;
    std::string tag(locale);
    std::replace(tag.begin(), tag.end(), '_', '-');
    icu::Locale chosen = icu::Locale::forLanguageTag(tag, status);
    if (U_FAILURE(status) || chosen.isBogus())
        chosen = icu::Locale::getRoot();
    impl_->format.reset(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort,
                                                               chosen));
    if (impl_->format && !timeZone.empty())
        impl_->format->adoptTimeZone(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(icu::StringPiece(timeZone.data(),
                                                                                        int32_t(timeZone.size())))));
}

DateFormatter::~DateFormatter() = default;

std::string DateFormatter::abbreviated(std::chrono::sys_seconds date) const {
    if (!impl_->format)
        return IsoDate::format(date); // no formatter for the locale: still a readable date
    const UDate milliseconds = double(date.time_since_epoch().count()) * 1000.0;
    icu::UnicodeString text;
    impl_->format->format(milliseconds, text);
    std::string result;
    text.toUTF8String(result);
    return result;
}

} // namespace pellora
