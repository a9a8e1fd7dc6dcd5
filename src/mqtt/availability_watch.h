#pragma once

#include "core/health_rules.h"

#include <array>
#include <cstdint>
#include <vector>

namespace orbalis {

struct Console;

enum class Availability {
    Unknown,   // not bound, or no poll has told yet
    Online,    // its values are fresh
    Offline,   // its values are old, by the rule that washes a slot grey
};

struct AvailabilityChange {
    std::uint8_t id;
    Availability now;
    OldValues why;   // for Offline: no reply, not polled, port lost
};

// The controllers of the bound slots, online or offline by the rule that
// marks the values a slot shows as old: offline after 5 polls without a
// good reply, when no poll came for the time of 5, or while the port is
// gone; online once a good reply came and none of these holds.
class AvailabilityWatch {
public:
    // Both outlive the watch.
    AvailabilityWatch(const Console &console, const LineCounters &counters);

    // Looks at every bound controller: those whose availability changed
    // since the last look. A controller no longer bound becomes Unknown.
    std::vector<AvailabilityChange> look();
    Availability of(std::uint8_t id) const { return known_[id]; }

    // The rule for one controller.
    static Availability availability(const ControllerCounters &c, SteadyTime now, bool portOpen, OldValues &why);

private:
    const Console &console_;
    const LineCounters &counters_;
    std::array<Availability, LineCounters::IdCount> known_{};
};

} // namespace orbalis
