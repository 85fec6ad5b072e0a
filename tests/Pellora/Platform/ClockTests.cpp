#include <cmath>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "Pellora/Platform/QtClock.h"
#include "Pellora/Platform/Sim/VirtualClock.h"
#include "App/VirtualTime.h"

namespace pellora {
namespace {

using Seconds = Clock::Duration;
using testing::runInVirtualTime;

TEST(VirtualClock, FiresInTimeOrderTiesInSchedulingOrderCallsMadeWhileFiringLastAndCancelledNever) {
    VirtualClock clock;
    std::vector<std::string> fired;
    auto record = [&](std::string name) {
        return [&fired, &clock, name] { fired.push_back(name + "@" + std::to_string(int(clock.now().count()))); };
    };
    clock.callAfter(Seconds(3), record("c"));
    clock.callAfter(Seconds(1), [&] {
        record("a1")();
        clock.callAfter(Seconds(0), record("a0"));
    });
    const auto dropped = clock.callAfter(Seconds(1), record("dropped"));
    clock.callAfter(Seconds(2), record("b"));
    clock.callAfter(Seconds(1), record("a2"));
    clock.cancelCall(dropped);
    clock.cancelCall(dropped); // twice is harmless
    clock.cancelCall(12345);   // unknown

    EXPECT_TRUE(clock.advance());
    EXPECT_EQ(fired, (std::vector<std::string>{"a1@1", "a2@1", "a0@1"}));
    EXPECT_EQ(clock.runUntilIdle(), 2);
    EXPECT_EQ(fired, (std::vector<std::string>{"a1@1", "a2@1", "a0@1", "b@2", "c@3"}));
    EXPECT_FALSE(clock.advance());
    EXPECT_FALSE(clock.hasPending());
}

TEST(VirtualClock, AdvanceByFiresUpToTheSpanAndMovesWallTimeAlong) {
    VirtualClock clock;
    const auto origin = std::chrono::sys_days(std::chrono::year(2026) / 12 / 5);
    clock.setWallOrigin(origin);
    std::vector<double> fired;
    for (double at : {1.0, 2.0, 5.0})
        clock.callAfter(Seconds(at), [&] { fired.push_back(clock.now().count()); });
    clock.advanceBy(Seconds(2));
    EXPECT_EQ(fired, (std::vector<double>{1.0, 2.0}));
    clock.advanceBy(Seconds(1.5));
    EXPECT_EQ(fired.size(), 2u);
    EXPECT_EQ(clock.now(), Seconds(3.5));
    EXPECT_EQ(clock.wallNow(), origin + std::chrono::milliseconds(3500));
}

TEST(VirtualClock, StepsAddUpExactlySoAWakeUpDueAtTheirSumHasFiredByTheLastStep) {
    const struct {
        double step;
        int count;
        double due;
    } cases[] = {{0.1, 10, 1.0}, {0.05, 60, 3.0}, {0.12, 84, 10.08}, {0.3, 7, 2.1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        for (bool bySleeping : {true, false}) {
            VirtualClock clock;
            bool fired = false;
            clock.callAfter(Seconds(c.due), [&] { fired = true; });
            if (bySleeping) {
                auto steps = [](VirtualClock* clock, double step, int count) -> QCoro::Task<void> {
                    for (int i = 0; i < count; ++i)
                        co_await clock->sleep(Seconds(step));
                };
                runInVirtualTime(clock, steps(&clock, c.step, c.count));
            } else {
                for (int i = 0; i < c.count; ++i)
                    clock.advanceBy(Seconds(c.step));
            }
            EXPECT_TRUE(fired);
            EXPECT_EQ(clock.now(), Seconds(c.due));
            EXPECT_EQ(clock.nowTicks(), Clock::toTicks(Seconds(c.due)));
        }
    }
}

TEST(VirtualClock, TimeStopsAtTheEndOfTheTickRangeInsteadOfWrappingAround) {
    VirtualClock clock;
    for (int i = 0; i < 3; ++i) // a century each
        clock.advanceBy(Seconds(INFINITY));
    EXPECT_EQ(clock.nowTicks().count(), 9'223'372'036'854'775'807);
    bool fired = false;
    clock.callAfter(Seconds(1e300), [&] { fired = true; });
    EXPECT_TRUE(clock.advance());
    EXPECT_TRUE(fired);
    EXPECT_EQ(clock.nowTicks().count(), 9'223'372'036'854'775'807);
}

TEST(Clock, SecondsBecomeTheNearestNanosecond) {
    const std::vector<std::pair<double, long long>> cases{
        {0.1, 100'000'000}, {0.3, 300'000'000}, {1e-10, 0}, {-0.25, -250'000'000},
        {std::nan(""), 0}, {1e300, 3'155'760'000'000'000'000}};
    for (auto [seconds, ticks] : cases)
        EXPECT_EQ(Clock::toTicks(Seconds(seconds)).count(), ticks) << seconds;
}

QCoro::Task<void> sleeper(Clock* clock, double seconds, std::string name, std::vector<std::string>* log) {
    co_await clock->sleep(Seconds(seconds));
    log->push_back(name);
}

TEST(ClockSleep, SleepersWakeInTimeOrderAndTiesInTheOrderTheySlept) {
    VirtualClock clock;
    std::vector<std::string> log;
    auto a = sleeper(&clock, 2, "a", &log);
    auto b = sleeper(&clock, 1, "b", &log);
    auto c = sleeper(&clock, 1, "c", &log);
    auto d = sleeper(&clock, 0, "d", &log);
    EXPECT_TRUE(log.empty()); // even a zero-length sleep suspends
    clock.runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"d", "b", "c", "a"}));
    EXPECT_EQ(clock.now(), Seconds(2));
}

TEST(ClockSleep, CancellingBeforeOrDuringTheSleepEndsItAtOnce) {
    for (double cancelAt : {-1.0, 3.0}) { // -1: cancelled before sleeping
        SCOPED_TRACE(cancelAt);
        VirtualClock clock;
        auto token = CancelToken::create();
        if (cancelAt < 0)
            token.cancel();
        else
            clock.callAfter(Seconds(cancelAt), [token]() mutable { token.cancel(); });
        EXPECT_THROW(runInVirtualTime(clock, clock.sleep(Seconds(10), token)), Cancelled);
        EXPECT_EQ(clock.now(), Seconds(std::max(cancelAt, 0.0)));
        EXPECT_FALSE(clock.hasPending()); // the 10-second wake-up was withdrawn
    }
}

TEST(ClockSleep, FinishedSleepIgnoresALaterCancelAndTheDefaultTokenNeverFires) {
    VirtualClock clock;
    auto token = CancelToken::create();
    runInVirtualTime(clock, clock.sleep(Seconds(1), token));
    token.cancel(); // must not resume the finished sleep again
    EXPECT_EQ(clock.now(), Seconds(1));
    EXPECT_EQ(token.subscribe([] {}), 0u);

    CancelToken inert;
    inert.cancel();
    EXPECT_FALSE(inert.isCancelled());
    runInVirtualTime(clock, clock.sleep(Seconds(4), inert));
    EXPECT_EQ(clock.now(), Seconds(5));
}

TEST(CancelToken, CopiesShareOneStateAndCallbacksRunOnce) {
    auto token = CancelToken::create();
    const CancelToken copy = token;
    int calls = 0;
    copy.subscribe([&] { ++calls; });
    const auto dropped = copy.subscribe([&] { calls += 100; });
    copy.unsubscribe(dropped);
    token.cancel();
    token.cancel();
    EXPECT_TRUE(copy.isCancelled());
    EXPECT_EQ(calls, 1);
}

TEST(QtClock, ZeroDelayCallFiresFromTheEventLoopAndCancelledOnesDoNot) {
    QtClock clock;
    int fired = 0;
    clock.callAfter(Seconds(0), [&] { ++fired; });
    const auto cancelled = clock.callAfter(Seconds(0), [&] { fired += 100; });
    clock.cancelCall(cancelled);
    EXPECT_EQ(fired, 0);
    for (int round = 0; round < 100 && fired == 0; ++round)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 1);
}

} // namespace
} // namespace pellora
