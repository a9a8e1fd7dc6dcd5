#pragma once

#include "core/reply_time.h"
#include "support/fake_serial_port.h"

#include <chrono>

namespace orbalis::test {

using namespace std::chrono_literals;

// A monotonic clock that moves only when told.
struct ManualClock {
    SteadyTime now = SteadyTime(1000s);
    SteadyClock fn()
    {
        return [this] { return now; };
    }
};

// Line times of a reply that came `reply` after the request's end, as the
// port would report them at `clock.now`.
inline void replyAfter(FakeSerialPort &port, const ManualClock &clock, std::chrono::microseconds reply)
{
    port.times.requestEnd = clock.now - 80ms;
    port.times.lastByte = *port.times.requestEnd + reply;
}

} // namespace orbalis::test
