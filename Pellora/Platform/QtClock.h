#pragma once

#include <map>
#include <memory>

#include <QElapsedTimer>

#include "Pellora/Platform/Clock.h"

class QObject;
class QTimer;

namespace pellora {

// The real clock: monotonic time from the system's steady clock, waits on QTimer. Timers
// fire on the thread that owns the clock, which is the main thread; use it from there only.
class QtClock : public Clock {
public:
    QtClock();
    ~QtClock() override;

    Ticks nowTicks() const override;
    std::chrono::system_clock::time_point wallNow() const override;
    TimerId callAfter(Duration delay, std::function<void()> fire) override;
    void cancelCall(TimerId id) override;

private:
    QElapsedTimer elapsed_;
    std::unique_ptr<QObject> context_; // parent of the pending timers
    std::map<TimerId, QTimer*> timers_;
    TimerId nextId_ = 1;
};

} // namespace pellora
