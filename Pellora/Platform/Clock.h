#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include <QCoro/QCoroTask>

#include "CancelToken.h"

namespace pellora {

// Every reading of time and every wait goes through a Clock, so tests can run in virtual
// time. Callbacks and resumed waits always run on the main thread.
class Clock {
public:
    using Duration = std::chrono::duration<double>; // seconds
    using TimerId = std::uint64_t;

    virtual ~Clock() = default;

    // Monotonic time since an arbitrary origin.
    virtual Duration now() const = 0;
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
};

} // namespace pellora
