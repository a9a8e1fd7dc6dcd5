#include "reply_waits.h"

#include "base/cycle_timer.h"

namespace orbalis {

std::optional<int> waitFor(const BaudWaits &waits, const QString &baud)
{
    if (baud == QLatin1String("2400"))
        return waits.ms2400;
    if (baud == QLatin1String("4800"))
        return waits.ms4800;
    if (baud == QLatin1String("9600"))
        return waits.ms9600;
    if (baud == QLatin1String("19200"))
        return waits.ms19200;
    return std::nullopt;
}

void setWait(CycleTimer &timer, const BaudWaits &waits, const QString &baud)
{
    if (const std::optional<int> ms = waitFor(waits, baud))
        timer.setInterval(*ms);
}

} // namespace orbalis
