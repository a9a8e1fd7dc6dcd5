#pragma once

#include "alarm_kind.h"

#include <QtGlobal>
#include <deque>
#include <map>
#include <vector>

namespace orbalis {

// How often alarms come. An alarm that activated 3 times or more within the
// last 60 s is chattering; 10 or more new alarms within the last 10 minutes
// are an alarm flood. Times are the clock's, in milliseconds.
class AlarmRates {
public:
    static constexpr int ChatteringActivations = 3;
    static constexpr qint64 ChatteringWindowMs = 60'000;
    static constexpr int FloodAlarms = 10;
    static constexpr qint64 FloodWindowMs = 600'000;

    // An activation of the alarm at `ms`. `announced`: it is a new alarm for
    // the operator (not shelved), and counts towards a flood.
    void activated(const AlarmKey &key, qint64 ms, bool announced);
    // Forgets activations that left their windows at `nowMs`, works out
    // chattering and flood anew; true when either changed since the last update.
    bool update(qint64 nowMs);

    bool chattering(const AlarmKey &key) const;
    const std::vector<AlarmKey> &chatteringAlarms() const { return chattering_; }
    bool flood() const { return newAlarms_ >= FloodAlarms; }
    // New alarms within the flood window, as of the last update.
    int newAlarms() const { return newAlarms_; }

private:
    std::map<AlarmKey, std::deque<qint64>> activations_;
    std::deque<qint64> announced_;
    std::vector<AlarmKey> chattering_; // sorted
    int newAlarms_ = 0;
};

} // namespace orbalis
