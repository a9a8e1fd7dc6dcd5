#pragma once

#include <QDateTime>

namespace orbalis {

// The current date and time, injectable so recording is tested on fixed dates.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    // Milliseconds since the epoch, as now() tells them.
    virtual qint64 nowMs() const { return now().toMSecsSinceEpoch(); }
};

// The machine's own clock, for whoever is given no other. Its milliseconds
// skip the local date and time, which every reply would otherwise pay for.
class SystemClock : public Clock {
public:
    qint64 nowMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
};

inline const Clock &systemClock()
{
    static const SystemClock clock;
    return clock;
}

} // namespace orbalis
