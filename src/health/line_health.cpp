#include "line_health.h"

#include "line_monitor_window.h"

#include "state/console.h"

namespace orbalis {

LineHealth::LineHealth(Console &console, LineWatch &watch, HealthPanel &panel, Reporter &reporter,
                       QWidget *windowParent)
    : console_(console), reporter_(reporter), windowParent_(windowParent), watch_(watch),
      panel_(console, watch.counters(), panel)
{
}

LineHealth::~LineHealth()
{
    // Its models read the counters and the ring; it goes first.
    delete monitor_.data();
}

LineMonitorWindow *LineHealth::monitor() const
{
    return monitor_;
}

void LineHealth::setPublisherState(std::function<QString()> state)
{
    publisherState_ = std::move(state);
    if (monitor_)
        monitor_->setPublisherState(publisherState_);
}

LineMonitorWindow &LineHealth::showMonitor()
{
    if (!monitor_) {
        monitor_ = new LineMonitorWindow(console_, counters(), traffic(), reporter_, windowParent_);
        monitor_->setPublisherState(publisherState_);
    }
    monitor_->show();
    monitor_->raise();
    monitor_->activateWindow();
    return *monitor_;
}

} // namespace orbalis
