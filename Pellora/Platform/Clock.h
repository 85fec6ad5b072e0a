#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include <QCoro/QCoroTask>

#include "CancelToken.h"

namespace pellora {

// Every reading of time and every wait goes through a Clock, so tests can run in virtual
// time. Callbacks and resumed waits always run on the main thread.
//
// Callers speak in seconds (Duration); the clocks count whole nanoseconds (Ticks), so time
// adds up exactly: ten waits of 0.1 s end at 1.0 s, not a hair before it. Code that compares
// times against a deadline does so in ticks.
class Clock {
public:
    using Duration = std::chrono::duration<double>; // seconds
    using Ticks = std::chrono::nanoseconds;
    using TimerId = std::uint64_t;

    virtual ~Clock() = default;

    // Monotonic time since an arbitrary origin.
    virtual Ticks nowTicks() const = 0;
    Duration now() const { return toSeconds(nowTicks()); }
    // Wall-clock time.
    virtual std::chrono::system_clock::time_point wallNow() const = 0;

    // Calls `fire` once `delay` has passed; calls with equal wake-up times fire in the order
    // they were made.
    virtual TimerId callAfter(Duration delay, std::function<void()> fire) = 0;
    // Forgets a pending call; unknown or fired ids are ignored.
    virtual void cancelCall(TimerId id) = 0;

    // Suspends for `delay`. Throws Cancelled when `cancel` has fired before or fires during
    // the wait (at once, without waiting out the delay).
    QCoro::Task<void> sleep(Duration delay, CancelToken cancel = {});

    // The nearest whole nanosecond; not-a-number is 0, and spans beyond about a century are
    // cut to one, so that adding one to a time cannot overflow.
    static Ticks toTicks(Duration span);
    // `from` moved on by `span`, held at the ends of the tick range: a virtual clock may be
    // advanced by a century more than once.
    static Ticks after(Ticks from, Duration span);
    static Duration toSeconds(Ticks ticks) { return Duration(double(ticks.count()) / 1e9); }
};

} // namespace pellora
