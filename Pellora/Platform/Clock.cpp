#include "Clock.h"

#include <algorithm>
#include <cmath>
#include <coroutine>

namespace pellora {
namespace {

// Waits for the clock or the token, whichever comes first, and resumes exactly once. It lives
// in the suspended coroutine's frame; destroying that frame withdraws both registrations.
class SleepWait {
public:
    SleepWait(Clock& clock, Clock::Duration delay, CancelToken cancel)
        : clock_(clock), delay_(delay), cancel_(std::move(cancel)) {}
    SleepWait(const SleepWait&) = delete;
    SleepWait& operator=(const SleepWait&) = delete;

    // QCoro copies what it awaits, so the awaiter is only a pointer to this wait.
    struct Awaiter {
        SleepWait* wait;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiting) { wait->suspend(waiting); }
        void await_resume() const { wait->resume(); }
    };
    Awaiter operator co_await() { return Awaiter{this}; }

    ~SleepWait() {
        if (suspended_ && !finished_) {
            clock_.cancelCall(timer_);
            cancel_.unsubscribe(subscription_);
        }
    }

private:
    void suspend(std::coroutine_handle<> waiting) {
        waiting_ = waiting;
        suspended_ = true;
        timer_ = clock_.callAfter(delay_, [this] { finish(false); });
        subscription_ = cancel_.subscribe([this] { finish(true); });
    }

    void resume() const {
        if (cancelled_)
            throw Cancelled();
    }

    void finish(bool cancelled) {
        if (finished_)
            return;
        finished_ = true;
        cancelled_ = cancelled;
        if (cancelled)
            clock_.cancelCall(timer_);
        else
            cancel_.unsubscribe(subscription_);
        waiting_.resume();
    }

    Clock& clock_;
    Clock::Duration delay_;
    CancelToken cancel_;
    std::coroutine_handle<> waiting_;
    Clock::TimerId timer_ = 0;
    std::uint64_t subscription_ = 0;
    bool suspended_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
};

} // namespace

Clock::Ticks Clock::toTicks(Duration span) {
    constexpr double century = 100.0 * 365.25 * 24 * 3600 * 1e9;
    const double nanoseconds = span.count() * 1e9;
    if (std::isnan(nanoseconds))
        return Ticks(0);
    return Ticks(std::llround(std::clamp(nanoseconds, -century, century)));
}

Clock::Ticks Clock::after(Ticks from, Duration span) {
    const Ticks::rep step = toTicks(span).count();
    Ticks::rep sum = 0;
    if (__builtin_add_overflow(from.count(), step, &sum))
        return step > 0 ? Ticks::max() : Ticks::min();
    return Ticks(sum);
}

QCoro::Task<void> Clock::sleep(Duration delay, CancelToken cancel) {
    if (cancel.isCancelled())
        throw Cancelled();
    SleepWait wait(*this, delay, std::move(cancel));
    co_await wait;
}

} // namespace pellora
