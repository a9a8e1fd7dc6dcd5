#include "line_watch.h"

#include "state/console.h"

namespace orbalis {

LineWatch::LineWatch(Console &console, const SerialPort &port) : console_(console), counters_(&port), traffic_(&port)
{
    console_.lineObservers.add(&counters_);
    console_.lineObservers.add(&traffic_);
}

LineWatch::~LineWatch()
{
    console_.lineObservers.remove(&traffic_);
    console_.lineObservers.remove(&counters_);
}

} // namespace orbalis
