#pragma once

#include "alarm_journal.h"
#include "alarm_tracker.h"
#include "panel_alarms.h"

#include "journal/journal_writer.h"

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

// The alarms of the console: the tracker watches the line from the start,
// every change goes into "Orbalis Journal.db" through the writer's thread,
// the panel shows and sounds what waits, and "View", "Alarms" opens the
// window. Other modules may declare their journal tables on journal()
// before start().
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

    // Opens the journal in the program folder and starts looking at the port
    // and the shelving times. The startup sequence calls it once the
    // settings are read.
    void start();
    // The exit sequence calls it before it closes the port.
    void stop();

    AlarmTracker &tracker() { return tracker_; }
    JournalWriter &journal() { return *writer_; }
    PanelAlarms &panel() { return panel_; }

    // For the status bar: the summary, hidden while there is none; a click
    // opens the window.
    QToolButton *summaryButton(QWidget *parent);
    // Shows the window, creating it on first use.
    AlarmsWindow &showWindow();
    AlarmsWindow *window() const;

private:
    void journalOpened(const QString &setAsidePath, const QString &why);
    void journalFailed(int number, const QString &detail);
    void journalDropped(quint64 rows);

    Console &console_;
    Reporter &reporter_;
    QWidget *windowParent_;
    std::unique_ptr<JournalWriter> writer_;
    AlarmTracker tracker_;
    AlarmJournal journal_;
    PanelAlarms panel_;
    QPointer<AlarmsWindow> window_;
    QPointer<QToolButton> summary_;
};

} // namespace orbalis
