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
    // QTimer restarts a running timer on every setInterval. The cycles set the
    // interval after every request, mostly to the value it already has; a
    // restart then would add each tick's own run time to the period.
    if (ms != timer_.interval())
        timer_.setInterval(ms);
}

} // namespace orbalis
