#include <chrono>

#include <gtest/gtest.h>

#include "PelloraCore/DateFormatter.h"
#include "PelloraCore/IsoDate.h"
#include "PelloraCore/ReferenceDate.h"

namespace pellora {
namespace {

using namespace std::chrono;

TEST(IsoDate, FormatsAndParsesWholeSecondsInUtc) {
    const sys_seconds date = sys_days{2026y / December / 5} + 6h + 19min + 3s;
    EXPECT_EQ(IsoDate::format(date), "2026-12-05T06:19:03Z");
    EXPECT_EQ(IsoDate::format(date + 999ms), "2026-12-05T06:19:03Z");
    EXPECT_EQ(IsoDate::parse("2026-12-05T06:19:03Z"), date);
    EXPECT_EQ(IsoDate::parse("2024-02-29T23:59:59Z"), sys_days{2024y / February / 29} + 23h + 59min + 59s);
    for (const char* text : {"2026-12-05T06:19:03", "2026-12-05 06:19:03Z", "2026-12-05T06:19:03.000Z",
                             "2026-12-05T06:19:03+00:00", "2025-02-29T00:00:00Z", "2026-13-01T00:00:00Z",
                             "2026-12-05T24:00:00Z", "2026-12-05T06:60:00Z", "2026-12-05t06:19:03z",
                             "+026-12-05T06:19:03Z", ""})
        EXPECT_EQ(IsoDate::parse(text), std::nullopt) << text;
}

TEST(ReferenceDate, SecondsSince2001InBothDirections) {
    const std::pair<sys_time<milliseconds>, double> cases[]{
        {sys_days{2001y / 1 / 1}, 0.0},
        {sys_days{2026y / 12 / 5} + 6h + 19min + 3s + 250ms, 818144343.25},
        {sys_days{2000y / 12 / 31} + 23h + 59min + 59s, -1.0},
    };
    for (const auto& [date, seconds] : cases) {
        EXPECT_DOUBLE_EQ(ReferenceDate::from(date), seconds);
        EXPECT_EQ(time_point_cast<milliseconds>(ReferenceDate::to(seconds)), date);
    }
    // A hand-edited config.json: dates the clock cannot count stop at its ends.
    EXPECT_EQ(ReferenceDate::to(1e300), sys_seconds{seconds{9'200'000'000}});
    EXPECT_EQ(ReferenceDate::to(-1e300), sys_seconds{seconds{-9'200'000'000}});
}

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
