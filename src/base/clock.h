#pragma once

#include <QDateTime>

namespace orbalis {

// The current date and time, injectable so recording is tested on fixed dates.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    // The same instant in UTC, for stamps that never show local time: it
    // spares the look-up of the local time zone, a check of a file on disk
    // at every call. A clock that overrides one overrides both.
    virtual QDateTime nowUtc() const { return QDateTime::currentDateTimeUtc(); }
};

// The machine's own clock, for whoever is given no other.
inline const Clock &systemClock()
{
    static const Clock clock;
    return clock;
}

} // namespace orbalis
