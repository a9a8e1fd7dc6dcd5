#pragma once

#include "line_counters.h"

#include <QString>

namespace orbalis {

// The mark a slot shows for its controller's polls.
enum class HealthMark {
    None,    // not polled yet
    Green,   // the last 20 polls (or all so far) were answered well
    Amber,   // some of them failed
    Red,     // the last 5 failed
};

// Why the values a slot shows are old; Fresh when they are not.
enum class OldValues {
    Fresh,
    NoReply,      // no good reply for 5 polls
    NotPolled,    // no poll for the time of 5 (polling stopped, port errors)
    PortClosed,   // the serial port is gone or closed
};

struct HealthRules {
    static constexpr int Window = 20;
    static constexpr int FailedForRed = 5;
    static constexpr int PollsForOld = 5;
};

HealthMark healthMark(const ControllerCounters &c);

// The controller gave no good reply to its last 5 polls (or more).
bool noReply(const ControllerCounters &c);

// Whether what a slot shows of this controller is old at `now`.
OldValues oldValues(const ControllerCounters &c, SteadyTime now, bool portOpen);

// "green", "amber", "red" and what they mean, for descriptions.
QString healthWords(HealthMark mark);
// The short word written over old values on the panel.
QString oldValuesWord(OldValues old);
// A sentence on why values are old; empty when fresh.
QString oldValuesSentence(const ControllerCounters &c, SteadyTime now, OldValues old);

// "ID 5 · 1 204 polls · 99.8 % answered · 2 no answer · 0 CRC errors ·
// reply 46 ms, worst 61 ms · last good reply 0.4 s ago"
QString healthFigures(std::uint8_t id, const ControllerCounters &c, SteadyTime now);

// "1 204": thousands set apart by a blank.
QString groupedNumber(std::uint64_t n);
// "0.4 s", "12 s", "3 min 5 s", "2 h 5 min".
QString durationText(std::chrono::milliseconds d);
// "46 ms" (whole milliseconds).
QString millisecondsText(std::chrono::microseconds t);

} // namespace orbalis
