#include "availability_watch.h"

#include "state/console.h"

namespace orbalis {

AvailabilityWatch::AvailabilityWatch(const Console &console, const LineCounters &counters)
    : console_(console), counters_(counters)
{
}

Availability AvailabilityWatch::availability(const ControllerCounters &c, SteadyTime now, bool portOpen,
                                             OldValues &why)
{
    why = oldValues(c, now, portOpen);
    if (why != OldValues::Fresh)
        return Availability::Offline;
    // Nothing to call fresh before the first good reply.
    return c.lastGoodPoll ? Availability::Online : Availability::Unknown;
}

std::vector<AvailabilityChange> AvailabilityWatch::look()
{
    std::array<bool, LineCounters::IdCount> bound{};
    for (std::uint8_t id : console_.slots.SlotId)
        bound[id] = id != 0;
    const bool portOpen = console_.line.portOpen();
    const SteadyTime now = counters_.now();
    std::vector<AvailabilityChange> changes;
    for (int id = 1; id < LineCounters::IdCount; ++id) {
        OldValues why = OldValues::Fresh;
        const Availability state = bound[size_t(id)]
            ? availability(counters_.of(std::uint8_t(id)), now, portOpen, why)
            : Availability::Unknown;
        // A bound controller that has not told yet keeps what it had.
        if (state == known_[size_t(id)] || (state == Availability::Unknown && bound[size_t(id)]))
            continue;
        known_[size_t(id)] = state;
        changes.push_back({std::uint8_t(id), state, why});
    }
    return changes;
}

} // namespace orbalis
