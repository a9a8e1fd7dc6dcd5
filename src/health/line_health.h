#pragma once

#include "core/line_counters.h"
#include "panel_health.h"
#include "core/traffic_ring.h"

#include <QPointer>

class QWidget;

namespace orbalis {

struct Console;
class HealthPanel;
class LineMonitorWindow;
class Reporter;
class SerialPort;

// The line's health for the main window: the counters and the traffic ring
// watch the line from the start (whether or not anybody looks), the panel
// shows each slot's health, and "Line Monitor" shows the figures.
class LineHealth {
public:
    // Everything given outlives this; windowParent becomes the monitor's parent.
    LineHealth(Console &console, const SerialPort &port, HealthPanel &panel, Reporter &reporter,
               QWidget *windowParent);
    ~LineHealth();
    LineHealth(const LineHealth &) = delete;
    LineHealth &operator=(const LineHealth &) = delete;

    LineCounters &counters() { return counters_; }
    TrafficRing &traffic() { return traffic_; }
    PanelHealth &panel() { return panel_; }

    // Shows the monitor, creating it on first use.
    LineMonitorWindow &showMonitor();
    LineMonitorWindow *monitor() const;

private:
    Console &console_;
    Reporter &reporter_;
    QWidget *windowParent_;
    LineCounters counters_;
    TrafficRing traffic_;
    PanelHealth panel_;
    QPointer<LineMonitorWindow> monitor_;
};

} // namespace orbalis
