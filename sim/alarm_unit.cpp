#include "alarm_unit.h"

#include <algorithm>
#include <cmath>

namespace orbalis::sim {

namespace {

// How far the process is into the alarm region: positive means in alarm.
// Functions 7..12 are 1..6 with standby.
double alarmExcess(int function, double pv, double sv, double sp)
{
    switch (function > 6 ? function - 6 : function) {
    case 1: return pv - sp;                       // high
    case 2: return sp - pv;                       // low
    case 3: return pv - (sv + sp);                // deviation high
    case 4: return (sv - sp) - pv;                // deviation low
    case 5: return std::abs(pv - sv) - sp;        // outside the band
    case 6: return sp - std::abs(pv - sv);        // inside the band
    default: return -1.0;
    }
}

} // namespace

void AlarmUnit::restart()
{
    condition_ = false;
    armed_ = false;
    pendingSeconds_ = 0;
    lit_ = false;
    litSeconds_ = 0;
}

void AlarmUnit::step(double pv, double sv, const Config &config, double dt)
{
    if (!configured_ || !(config == config_)) {
        // A new function or mode starts over, which also releases a latch.
        config_ = config;
        configured_ = true;
        restart();
    }
    const int function = config.function;
    if (function < 1 || function > 12) {
        restart();
        return;
    }

    const double excess = alarmExcess(function, pv, sv, config.setPoint);
    if (excess > 0.0)
        condition_ = true;
    else if (excess < -std::max(config.hysteresis, 0.0))
        condition_ = false;

    const bool standby = function >= 7 || config.mode == 14 || config.mode == 16;
    const bool latching = config.mode == 15 || config.mode == 16;
    if (!condition_)
        armed_ = true;
    const bool active = condition_ && (!standby || armed_);

    pendingSeconds_ = active ? pendingSeconds_ + dt : 0.0;
    const bool due = active && pendingSeconds_ >= std::max(config.delay, 0.0);
    lit_ = due || (latching && lit_);
    litSeconds_ = lit_ ? litSeconds_ + dt : 0.0;
}

} // namespace orbalis::sim
