#include "VirtualClock.h"

namespace pellora {

// A fixed wall origin keeps wall times reproducible: 2026-01-01 00:00:00 UTC.
VirtualClock::VirtualClock() : wallOrigin_(std::chrono::sys_seconds(std::chrono::seconds(1767225600))) {}

Clock::Duration VirtualClock::now() const { return now_; }

std::chrono::system_clock::time_point VirtualClock::wallNow() const {
    return wallOrigin_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(now_);
}

Clock::TimerId VirtualClock::callAfter(Duration delay, std::function<void()> fire) {
    const double wake = now_.count() + (delay.count() > 0 ? delay.count() : 0.0);
    const TimerId id = nextId_++;
    pending_.emplace(std::pair(wake, id), std::move(fire));
    wakeOf_.emplace(id, wake);
    return id;
}

void VirtualClock::cancelCall(TimerId id) {
    const auto found = wakeOf_.find(id);
    if (found == wakeOf_.end())
        return;
    pending_.erase(std::pair(found->second, id));
    wakeOf_.erase(found);
}

bool VirtualClock::advance() {
    if (pending_.empty())
        return false;
    const double due = pending_.begin()->first.first;
    if (due > now_.count())
        now_ = Duration(due);
    // Calls made while firing for this same time come later in the map, so they fire in
    // this round, after the ones already waiting.
    while (!pending_.empty() && pending_.begin()->first.first <= due) {
        auto first = pending_.begin();
        auto fire = std::move(first->second);
        wakeOf_.erase(first->first.second);
        pending_.erase(first);
        fire();
    }
    return true;
}

void VirtualClock::advanceBy(Duration span) {
    const double target = now_.count() + (span.count() > 0 ? span.count() : 0.0);
    while (!pending_.empty() && pending_.begin()->first.first <= target)
        advance();
    if (target > now_.count())
        now_ = Duration(target);
}

int VirtualClock::runUntilIdle(int limit) {
    int fired = 0;
    while (!pending_.empty() && fired < limit) {
        auto first = pending_.begin();
        if (first->first.first > now_.count())
            now_ = Duration(first->first.first);
        auto fire = std::move(first->second);
        wakeOf_.erase(first->first.second);
        pending_.erase(first);
        fire();
        ++fired;
    }
    return fired;
}

std::optional<Clock::Duration> VirtualClock::untilNextWakeUp() const {
    if (pending_.empty())
        return std::nullopt;
    return std::max(Duration(pending_.begin()->first.first) - now_, Duration(0));
}

} // namespace pellora
