#include <gtest/gtest.h>

#include "PelloraCore/DateFormatter.h"

namespace pellora {
namespace {

using namespace std::chrono;

TEST(DateFormatter, WritesTheAbbreviatedDateAndShortTimeOfTheLocale) {
    struct Case {
        const char* locale;
        const char* zone;
        sys_seconds date;
        std::string text;
    };
    const sys_seconds evening = sys_days{2026y / December / 5} + 18h + 19min + 3s;
    for (const Case& c : {Case{"en-US", "UTC", evening, "Dec 5, 2026, 6:19\u202FPM"},
                          Case{"en_US", "UTC", evening, "Dec 5, 2026, 6:19\u202FPM"},
                          Case{"de-DE", "UTC", evening, "05.12.2026, 18:19"},
                          Case{"de-DE", "Europe/Berlin", evening, "05.12.2026, 19:19"},
                          Case{"en-GB", "UTC", sys_seconds{}, "1 Jan 1970, 00:00"},
                          Case{"en-US", "UTC", sys_days{9999y / December / 31} + 23h + 59min,
                               "Dec 31, 9999, 11:59\u202FPM"}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DateFormatter(c.locale, c.zone).abbreviated(c.date), c.text);
    }
}

} // namespace
} // namespace pellora
