#pragma once

#include "base/cycle_timer.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace orbalis::test {

// Milliseconds that pass only when a test runs them, with things that happen
// at given moments (bytes arriving) and timers that keep time as the
// console's QtCycleTimer does: enabling starts the interval afresh, a changed
// interval restarts a running timer, a running timer times out once every
// interval.
class Timeline {
public:
    class Timer : public CycleTimer {
    public:
        Timer(Timeline &timeline, int intervalMs) : timeline_(timeline), interval_(intervalMs)
        {
            timeline_.timers_.push_back(this);
        }
        Timer(const Timer &) = delete;
        Timer &operator=(const Timer &) = delete;

        void onTimeout(std::function<void()> timeout) { timeout_ = std::move(timeout); }

        bool isEnabled() const override { return enabled_; }
        void setEnabled(bool enabled) override
        {
            enabled_ = enabled;
            deadline_ = timeline_.now() + interval_;
        }
        int interval() const override { return interval_; }
        void setInterval(int ms) override
        {
            if (ms == interval_)
                return;
            interval_ = ms;
            deadline_ = timeline_.now() + interval_;
        }

    private:
        friend class Timeline;
        Timeline &timeline_;
        int interval_;
        bool enabled_ = false;
        std::int64_t deadline_ = 0;
        std::function<void()> timeout_;
    };

    std::int64_t now() const { return now_; }

    // `what` happens at `when`, before any timer that runs out at that moment.
    void at(std::int64_t when, std::function<void()> what) { events_.push_back({when, std::move(what)}); }

    // Everything due up to and including `until`, in the order of its time.
    void runUntil(std::int64_t until)
    {
        for (;;) {
            std::size_t event = events_.size();
            for (std::size_t i = 0; i < events_.size(); ++i)
                if (event == events_.size() || events_[i].when < events_[event].when)
                    event = i;
            Timer *timer = nullptr;
            for (Timer *t : timers_)
                if (t->enabled_ && t->interval_ > 0 && (!timer || t->deadline_ < timer->deadline_))
                    timer = t;
            const std::int64_t eventAt =
                event < events_.size() ? events_[event].when : std::numeric_limits<std::int64_t>::max();
            const std::int64_t timerAt = timer ? timer->deadline_ : std::numeric_limits<std::int64_t>::max();
            if (std::min(eventAt, timerAt) > until)
                break;
            if (eventAt <= timerAt) {
                now_ = eventAt;
                const std::function<void()> what = std::move(events_[event].what);
                events_.erase(events_.begin() + std::ptrdiff_t(event));
                what();
            } else {
                now_ = timerAt;
                timer->deadline_ += timer->interval_;
                if (timer->timeout_)
                    timer->timeout_();
            }
        }
        now_ = until;
    }

private:
    struct Event {
        std::int64_t when;
        std::function<void()> what;
    };
    std::int64_t now_ = 0;
    std::vector<Event> events_;
    std::vector<Timer *> timers_;
};

} // namespace orbalis::test
