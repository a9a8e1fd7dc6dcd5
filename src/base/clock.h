#pragma once

#include <QDateTime>

namespace orbalis {

// The current date and time, injectable so recording is tested on fixed dates.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};

// The machine's own clock, for whoever is given no other.
inline const Clock &systemClock()
{
    static const Clock clock;
    return clock;
}

} // namespace orbalis
