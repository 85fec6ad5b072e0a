#include "QtClock.h"

#include <limits>

#include <QObject>
#include <QTimer>

namespace pellora {

QtClock::QtClock() : context_(std::make_unique<QObject>()) { elapsed_.start(); }

QtClock::~QtClock() = default; // deleting the context stops and deletes every timer

Clock::Ticks QtClock::nowTicks() const { return Ticks(elapsed_.nsecsElapsed()); }

std::chrono::system_clock::time_point QtClock::wallNow() const { return std::chrono::system_clock::now(); }

Clock::TimerId QtClock::callAfter(Duration delay, std::function<void()> fire) {
    // QTimer counts whole milliseconds: round up so a wait never ends early.
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(toTicks(delay)).count();
    const int interval = milliseconds <= 0                                     ? 0
                         : milliseconds >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                                           : int(milliseconds);
    const TimerId id = nextId_++;
    auto* timer = new QTimer(context_.get());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, context_.get(), [this, id, fire = std::move(fire)] {
        const auto found = timers_.find(id);
        if (found == timers_.end())
            return;
        found->second->deleteLater();
        timers_.erase(found);
        fire();
    });
    timers_.emplace(id, timer);
    timer->start(interval);
    return id;
}

void QtClock::cancelCall(TimerId id) {
    const auto found = timers_.find(id);
    if (found == timers_.end())
        return;
    found->second->stop();
    found->second->deleteLater();
    timers_.erase(found);
}

} // namespace pellora
