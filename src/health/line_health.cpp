#include "line_health.h"

#include "line_monitor_window.h"

#include "state/console.h"

namespace orbalis {

LineHealth::LineHealth(Console &console, const SerialPort &port, HealthPanel &panel, Reporter &reporter,
                       QWidget *windowParent)
    : console_(console),
      reporter_(reporter),
      windowParent_(windowParent),
      counters_(&port),
      traffic_(&port),
      panel_(console, counters_, panel)
{
    console_.lineObservers.add(&counters_);
    console_.lineObservers.add(&traffic_);
}

LineHealth::~LineHealth()
{
    console_.lineObservers.remove(&traffic_);
    console_.lineObservers.remove(&counters_);
    // Its models read the counters and the ring, which go with this.
    delete monitor_.data();
}

LineMonitorWindow *LineHealth::monitor() const
{
    return monitor_;
}

LineMonitorWindow &LineHealth::showMonitor()
{
    if (!monitor_)
        monitor_ = new LineMonitorWindow(console_, counters_, traffic_, reporter_, windowParent_);
    monitor_->show();
    monitor_->raise();
    monitor_->activateWindow();
    return *monitor_;
}

} // namespace orbalis
