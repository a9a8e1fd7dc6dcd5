#pragma once

#include "panel_health.h"

#include "core/line_watch.h"

#include <QPointer>
#include <functional>

class QWidget;

namespace orbalis {

struct Console;
class HealthPanel;
class LineMonitorWindow;
class Reporter;
class SerialPort;

// The line's health for the main window, on the core's watch of the line
// (its counters and traffic ring): the panel shows each slot's health, and
// "Line Monitor" shows the figures.
class LineHealth {
public:
    // Everything given outlives this; windowParent becomes the monitor's parent.
    LineHealth(Console &console, LineWatch &watch, HealthPanel &panel, Reporter &reporter, QWidget *windowParent);
    ~LineHealth();
    LineHealth(const LineHealth &) = delete;
    LineHealth &operator=(const LineHealth &) = delete;

    LineCounters &counters() { return watch_.counters(); }
    TrafficRing &traffic() { return watch_.traffic(); }
    PanelHealth &panel() { return panel_; }

    // What the monitor shows of the MQTT publisher (its state and what it dropped).
    void setPublisherState(std::function<QString()> state);

    // Shows the monitor, creating it on first use.
    LineMonitorWindow &showMonitor();
    LineMonitorWindow *monitor() const;

private:
    Console &console_;
    Reporter &reporter_;
    QWidget *windowParent_;
    LineWatch &watch_;
    PanelHealth panel_;
    QPointer<LineMonitorWindow> monitor_;
    std::function<QString()> publisherState_;
};

} // namespace orbalis
