#pragma once

#include <map>
#include <optional>
#include <utility>

#include "Pellora/Platform/Clock.h"

namespace pellora {

// Virtual time for tests: nothing fires until the test advances the clock, which jumps
// straight to the next wake-up, so a 10-second deadline takes microseconds and exact times
// can be asserted.
class VirtualClock : public Clock {
public:
    VirtualClock();

    Ticks nowTicks() const override;
    std::chrono::system_clock::time_point wallNow() const override;
    TimerId callAfter(Duration delay, std::function<void()> fire) override;
    void cancelCall(TimerId id) override;

    // Jumps to the earliest pending wake-up and fires everything due then (in the order the
    // calls were made). False when nothing is pending.
    bool advance();
    // Advances while something is pending and the next wake-up is not later than now + span;
    // then sets the time to now + span.
    void advanceBy(Duration span);
    // Advances until nothing is pending. Returns the number of calls fired.
    int runUntilIdle(int limit = 1'000'000);
    bool hasPending() const { return !pending_.empty(); }
    // How long until the earliest pending wake-up; absent when nothing is pending.
    std::optional<Duration> untilNextWakeUp() const;

    // Sets the wall time that corresponds to now() == 0.
    void setWallOrigin(std::chrono::system_clock::time_point origin) { wallOrigin_ = origin; }

private:
    // Fires the earliest pending call, moving the time to it.
    void fireFirst();

    Ticks now_{0};
    std::chrono::system_clock::time_point wallOrigin_;
    TimerId nextId_ = 1;
    // Ordered by (wake-up time, id), so ties fire in the order they were scheduled.
    std::map<std::pair<Ticks, TimerId>, std::function<void()>> pending_;
    std::map<TimerId, Ticks> wakeOf_;
};

} // namespace pellora
