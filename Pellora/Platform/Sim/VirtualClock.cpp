#include "VirtualClock.h"

#include <algorithm>

namespace pellora {

// A fixed wall origin keeps wall times reproducible: 2026-01-01 00:00:00 UTC.
VirtualClock::VirtualClock() : wallOrigin_(std::chrono::sys_seconds(std::chrono::seconds(1767225600))) {}

Clock::Ticks VirtualClock::nowTicks() const { return now_; }

std::chrono::system_clock::time_point VirtualClock::wallNow() const {
    return wallOrigin_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(now_);
}

Clock::TimerId VirtualClock::callAfter(Duration delay, std::function<void()> fire) {
    const Ticks wake = after(now_, std::max(delay, Duration(0)));
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

void VirtualClock::fireFirst() {
    auto first = pending_.begin();
    now_ = std::max(now_, first->first.first);
    auto fire = std::move(first->second);
    wakeOf_.erase(first->first.second);
    pending_.erase(first);
    fire();
}

bool VirtualClock::advance() {
    if (pending_.empty())
        return false;
    const Ticks due = pending_.begin()->first.first;
    // Calls made while firing for this same time come later in the map, so they fire in
    // this round, after the ones already waiting.
    while (!pending_.empty() && pending_.begin()->first.first <= due)
        fireFirst();
    return true;
}

void VirtualClock::advanceBy(Duration span) {
    const Ticks target = after(now_, std::max(span, Duration(0)));
    while (!pending_.empty() && pending_.begin()->first.first <= target)
        advance();
    now_ = std::max(now_, target);
}

int VirtualClock::runUntilIdle(int limit) {
    int fired = 0;
    for (; !pending_.empty() && fired < limit; ++fired)
        fireFirst();
    return fired;
}

std::optional<Clock::Duration> VirtualClock::untilNextWakeUp() const {
    if (pending_.empty())
        return std::nullopt;
    return toSeconds(std::max(pending_.begin()->first.first - now_, Ticks(0)));
}

} // namespace pellora
