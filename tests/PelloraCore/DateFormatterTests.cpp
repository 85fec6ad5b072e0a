#include <gtest/gtest.h>

#include "PelloraCore/DateFormatter.h"

namespace pellora {
namespace {

using namespace std::chrono;

TEST(DateFormatter, WritesTheAbbreviatedDateAndShortTimeOfTheLocale) {
    const sys_seconds evening = sys_days{2026y / December / 5} + 18h + 19min + 3s;
    for (const auto& [locale, date, text] : std::vector<std::tuple<const char*, sys_seconds, std::string>>{
             {"en-US", evening, "Dec 5, 2026, 6:19\u202FPM"},
             {"de-DE", evening, "05.12.2026, 18:19"},
             {"en-GB", sys_seconds{}, "1 Jan 1970, 00:00"},
             {"en-US", sys_days{9999y / December / 31} + 23h + 59min, "Dec 31, 9999, 11:59\u202FPM"}})
        EXPECT_EQ(DateFormatter(locale, "UTC").abbreviated(date), text);
}

} // namespace
} // namespace pellora
