#pragma once

#include <exception>
#include <optional>
#include <stdexcept>
#include <type_traits>

#include <QCoreApplication>
#include <QCoro/QCoroTask>

#include "Pellora/Platform/Sim/VirtualClock.h"

namespace pellora::testing {

namespace detail {
template <class T> struct Outcome {
    bool done = false;
    std::exception_ptr error;
    std::optional<std::conditional_t<std::is_void_v<T>, int, T>> value;
};

template <class T> QCoro::Task<void> capture(QCoro::Task<T> task, Outcome<T>& outcome) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
            outcome.value = 0;
        } else {
            outcome.value = co_await task;
        }
    } catch (...) {
        outcome.error = std::current_exception();
    }
    outcome.done = true;
}
} // namespace detail

// Runs `task` to its end in virtual time: pending Qt events are processed, then the clock
// jumps to the next wake-up, until the task has finished. Rethrows the task's exception.
// Throws std::logic_error when the task waits for something that will never come.
template <class T> T runInVirtualTime(VirtualClock& clock, QCoro::Task<T> task) {
    detail::Outcome<T> outcome;
    auto runner = detail::capture(std::move(task), outcome);
    while (!outcome.done) {
        QCoreApplication::processEvents();
        if (outcome.done)
            break;
        if (!clock.advance())
            throw std::logic_error("task is stuck: nothing pending on the virtual clock");
    }
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

// Lets the event loop and virtual time run until neither has anything left to do: posted
// events (which may post more) are processed, then the clock jumps to its next wake-up
// when that is no further off than `horizon`.
inline void settle(VirtualClock& clock, Clock::Duration horizon = Clock::Duration(600)) {
    for (int quietTurns = 0; quietTurns < 3;) {
        QCoreApplication::processEvents();
        const auto next = clock.untilNextWakeUp();
        // Timers further off, such as the update manager's six-hour loop, are not waited for.
        quietTurns = next && *next <= horizon && clock.advance() ? 0 : quietTurns + 1;
    }
}

} // namespace pellora::testing
