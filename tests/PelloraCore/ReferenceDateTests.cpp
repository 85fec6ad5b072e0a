#include <chrono>

#include <gtest/gtest.h>

#include "PelloraCore/ReferenceDate.h"

namespace pellora {
namespace {

using namespace std::chrono;

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

} // namespace
} // namespace pellora
