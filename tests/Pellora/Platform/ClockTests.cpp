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

TEST(VirtualClock, FiresInTimeOrderAndTiesInSchedulingOrder) {
    VirtualClock clock;
    std::vector<std::string> fired;
    auto record = [&](std::string name) {
        return [&fired, &clock, name] { fired.push_back(name + "@" + std::to_string(int(clock.now().count()))); };
    };
    clock.callAfter(Seconds(3), record("c"));
    clock.callAfter(Seconds(1), record("a1"));
    clock.callAfter(Seconds(2), record("b"));
    clock.callAfter(Seconds(1), record("a2"));

    EXPECT_TRUE(clock.advance());
    EXPECT_EQ(fired, (std::vector<std::string>{"a1@1", "a2@1"}));
    EXPECT_EQ(clock.runUntilIdle(), 2);
    EXPECT_EQ(fired, (std::vector<std::string>{"a1@1", "a2@1", "b@2", "c@3"}));
    EXPECT_FALSE(clock.advance());
    EXPECT_FALSE(clock.hasPending());
}

TEST(VirtualClock, CallMadeWhileFiringForTheSameTimeFiresInThatAdvanceAfterTheOthers) {
    VirtualClock clock;
    std::vector<std::string> fired;
    clock.callAfter(Seconds(1), [&] {
        fired.push_back("first");
        clock.callAfter(Seconds(0), [&] { fired.push_back("scheduled while firing"); });
    });
    clock.callAfter(Seconds(1), [&] { fired.push_back("second"); });
    clock.callAfter(Seconds(1.5), [&] { fired.push_back("later"); });

    EXPECT_TRUE(clock.advance());
    EXPECT_EQ(fired, (std::vector<std::string>{"first", "second", "scheduled while firing"}));
    EXPECT_EQ(clock.now(), Seconds(1));
}

TEST(VirtualClock, CancelledCallsNeverFire) {
    VirtualClock clock;
    int fired = 0;
    const auto id = clock.callAfter(Seconds(1), [&] { ++fired; });
    clock.callAfter(Seconds(2), [&] { ++fired; });
    clock.cancelCall(id);
    clock.cancelCall(id);    // twice is harmless
    clock.cancelCall(12345); // unknown
    EXPECT_EQ(clock.runUntilIdle(), 1);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(clock.now(), Seconds(2));
}

TEST(VirtualClock, AdvanceByStopsAtTheSpanAndSetsTheTime) {
    VirtualClock clock;
    std::vector<double> fired;
    for (double at : {1.0, 2.0, 5.0})
        clock.callAfter(Seconds(at), [&] { fired.push_back(clock.now().count()); });

    clock.advanceBy(Seconds(2));
    EXPECT_EQ(fired, (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(clock.now(), Seconds(2));
    clock.advanceBy(Seconds(1));
    EXPECT_EQ(fired.size(), 2u);
    EXPECT_EQ(clock.now(), Seconds(3));
    clock.advanceBy(Seconds(2));
    EXPECT_EQ(fired, (std::vector<double>{1.0, 2.0, 5.0}));
}

TEST(VirtualClock, RunUntilIdleHonoursItsLimit) {
    VirtualClock clock;
    std::function<void()> again = [&] { clock.callAfter(Seconds(1), again); };
    clock.callAfter(Seconds(1), again);
    EXPECT_EQ(clock.runUntilIdle(5), 5);
    EXPECT_EQ(clock.now(), Seconds(5));
    EXPECT_TRUE(clock.hasPending());
}

TEST(VirtualClock, WallTimeFollowsVirtualTime) {
    VirtualClock clock;
    const auto origin = std::chrono::sys_days(std::chrono::year(2026) / 12 / 5);
    clock.setWallOrigin(origin);
    clock.callAfter(Seconds(90), [] {});
    clock.advance();
    EXPECT_EQ(clock.wallNow(), origin + std::chrono::seconds(90));
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

TEST(ClockSleep, AlreadyCancelledTokenThrowsWithoutWaiting) {
    VirtualClock clock;
    auto token = CancelToken::create();
    token.cancel();
    EXPECT_THROW(runInVirtualTime(clock, clock.sleep(Seconds(10), token)), Cancelled);
    EXPECT_EQ(clock.now(), Seconds(0));
    EXPECT_FALSE(clock.hasPending());
}

TEST(ClockSleep, CancellingDuringTheSleepEndsItAtOnce) {
    VirtualClock clock;
    auto token = CancelToken::create();
    clock.callAfter(Seconds(3), [token]() mutable { token.cancel(); });
    EXPECT_THROW(runInVirtualTime(clock, clock.sleep(Seconds(10), token)), Cancelled);
    EXPECT_EQ(clock.now(), Seconds(3));
    EXPECT_FALSE(clock.hasPending()); // the 10-second wake-up was withdrawn
}

TEST(ClockSleep, FinishedSleepIgnoresALaterCancel) {
    VirtualClock clock;
    auto token = CancelToken::create();
    runInVirtualTime(clock, clock.sleep(Seconds(1), token));
    token.cancel(); // must not resume the finished sleep again
    EXPECT_EQ(clock.now(), Seconds(1));
    EXPECT_EQ(token.subscribe([] {}), 0u);
}

TEST(ClockSleep, DefaultTokenNeverFires) {
    VirtualClock clock;
    CancelToken token;
    token.cancel();
    EXPECT_FALSE(token.isCancelled());
    runInVirtualTime(clock, clock.sleep(Seconds(4), token));
    EXPECT_EQ(clock.now(), Seconds(4));
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
    EXPECT_GE(clock.now(), Seconds(0));
}

} // namespace
} // namespace pellora
