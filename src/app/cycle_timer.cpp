#include "cycle_timer.h"

namespace orbalis {

QtCycleTimer::QtCycleTimer(int intervalMs, QObject *parent) : timer_(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
}

void QtCycleTimer::onTick(std::function<void()> tick)
{
    QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(tick));
}

void QtCycleTimer::setEnabled(bool enabled)
{
    // Enabling a running timer restarts its interval, as a disable and enable would.
    if (enabled)
        timer_.start();
    else
        timer_.stop();
}

void QtCycleTimer::setInterval(int ms)
{
    // QTimer keeps the running period when the interval changes; the new one
    // counts from now, which is what "the interval after a request" means.
    timer_.setInterval(ms);
}

} // namespace orbalis
