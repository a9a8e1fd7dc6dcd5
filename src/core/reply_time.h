#pragma once

#include "link/serial_port.h"

#include <chrono>
#include <functional>
#include <optional>

namespace orbalis {

using SteadyTime = std::chrono::steady_clock::time_point;
// The monotonic clock the counters and the traffic read; tests set their own.
using SteadyClock = std::function<SteadyTime()>;

// From the end of the request on the wire to the last byte received after
// it, as the port timed them; never below zero (a port that delivers faster
// than the line rate); empty when the port has no reply or cannot tell.
inline std::optional<std::chrono::microseconds> replyTimeOf(const SerialPort::LineTimes &times)
{
    if (!times.requestEnd || !times.lastByte)
        return std::nullopt;
    const auto t = std::chrono::duration_cast<std::chrono::microseconds>(*times.lastByte - *times.requestEnd);
    return t.count() < 0 ? std::chrono::microseconds(0) : t;
}

} // namespace orbalis
