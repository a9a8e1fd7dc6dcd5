#pragma once

#include <QDateTime>

namespace orbalis {

// The current date and time, injectable so recording is tested on fixed dates.
// A clock gives now(); the other readings follow from it unless it has a
// quicker way to them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    // The same instant in UTC, for stamps that never show local time.
    virtual QDateTime nowUtc() const { return now().toUTC(); }
    // Milliseconds since the epoch.
    virtual qint64 nowMs() const { return now().toMSecsSinceEpoch(); }
};

// The machine's own clock, for whoever is given no other. Its UTC and its
// milliseconds skip the look-up of the local time zone (a check of a file on
// disk), which every reply would otherwise pay for.
class SystemClock : public Clock {
public:
    QDateTime nowUtc() const override { return QDateTime::currentDateTimeUtc(); }
    qint64 nowMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
};

inline const Clock &systemClock()
{
    static const SystemClock clock;
    return clock;
}

} // namespace orbalis
