#pragma once

#include "alarm_core.h"
#include "panel_alarms.h"

#include <QObject>
#include <QPointer>

class QToolButton;
class QWidget;

namespace orbalis {

struct Console;
class AlarmPanel;
class AlarmsWindow;
class LineCounters;
class Reporter;

// The alarms of the main window: the core's tracker and journal, the
// panel's frames and sound, the summary in the status bar, and the window
// that "View", "Alarms" opens.
class ConsoleAlarms : public QObject {
    Q_OBJECT
public:
    // Everything given outlives this; the counters are among the console's
    // line observers already. windowParent becomes the window's parent.
    ConsoleAlarms(Console &console, const LineCounters &counters, AlarmPanel &panel, Reporter &reporter,
                  QWidget *windowParent);
    ~ConsoleAlarms() override;
    ConsoleAlarms(const ConsoleAlarms &) = delete;
    ConsoleAlarms &operator=(const ConsoleAlarms &) = delete;

    // See AlarmCore: the startup sequence starts them, the exit sequence
    // stops them before it closes the port.
    void start() { core_.start(); }
    void stop() { core_.stop(); }

    AlarmCore &core() { return core_; }
    AlarmTracker &tracker() { return core_.tracker(); }
    JournalWriter &journal() { return core_.journal(); }
    PanelAlarms &panel() { return panel_; }

    // For the status bar: the summary, hidden while there is none; a click
    // opens the window.
    QToolButton *summaryButton(QWidget *parent);
    // Shows the window, creating it on first use.
    AlarmsWindow &showWindow();
    AlarmsWindow *window() const;

private:
    Console &console_;
    Reporter &reporter_;
    QWidget *windowParent_;
    AlarmCore core_;
    PanelAlarms panel_;
    QPointer<AlarmsWindow> window_;
    QPointer<QToolButton> summary_;
};

} // namespace orbalis
