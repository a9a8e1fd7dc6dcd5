#pragma once

#include <QDateTime>

namespace orbalis {

// The current date and time, injectable so recording is tested on fixed dates.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};

} // namespace orbalis
