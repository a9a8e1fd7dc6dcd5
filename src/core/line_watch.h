#pragma once

#include "line_counters.h"
#include "traffic_ring.h"

namespace orbalis {

struct Console;
class SerialPort;

// The line watched from the console's start, whether or not anybody looks:
// the counters per controller and the ring of the last frames, both told of
// every request and judgement on the console's line.
class LineWatch {
public:
    // `port` is asked for the line times; both outlive this.
    LineWatch(Console &console, const SerialPort &port);
    ~LineWatch();
    LineWatch(const LineWatch &) = delete;
    LineWatch &operator=(const LineWatch &) = delete;

    LineCounters &counters() { return counters_; }
    TrafficRing &traffic() { return traffic_; }

private:
    Console &console_;
    LineCounters counters_;
    TrafficRing traffic_;
};

} // namespace orbalis
