#include <chrono>

#include <gtest/gtest.h>

#include "PelloraCore/ReferenceDate.h"

namespace pellora {
namespace {

using namespace std::chrono;

TEST(ReferenceDate, SecondsSince2001InBothDirections) {
    struct Case {
        sys_time<milliseconds> date;
        double seconds;
    };
    const Case cases[]{
        {sys_days{2001y / 1 / 1}, 0.0},
        {sys_days{2026y / 12 / 5} + 6h + 19min + 3s, 818144343.0},
        {sys_days{2026y / 12 / 5} + 6h + 19min + 3s + 250ms, 818144343.25},
        {sys_days{2000y / 12 / 31} + 23h + 59min + 59s, -1.0},
    };
    for (const auto& test : cases) {
        EXPECT_DOUBLE_EQ(ReferenceDate::from(test.date), test.seconds);
        EXPECT_EQ(time_point_cast<milliseconds>(ReferenceDate::to(test.seconds)), test.date);
    }
}

} // namespace
} // namespace pellora
