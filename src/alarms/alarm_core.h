#pragma once

#include "alarm_journal.h"
#include "alarm_tracker.h"

#include "journal/journal_writer.h"

#include <QObject>
#include <memory>

namespace orbalis {

struct Console;
class LineCounters;
class Reporter;

// The alarms without a window, beside the console's core: the tracker
// watches the console's line from now on, and every change goes into
// "Orbalis Journal.db" in the program folder through the writer's thread. A
// journal set aside, failing or losing rows is reported through the
// reporter as the common trap does. Other modules declare their journal
// tables on journal() before start().
class AlarmCore : public QObject {
    Q_OBJECT
public:
    // Everything given outlives this; the counters are among the console's
    // line observers already (the tracker is told of each reply after them).
    AlarmCore(Console &console, const LineCounters &counters, Reporter &reporter, QObject *parent = nullptr);
    // Whatever waits is committed before the journal closes.
    ~AlarmCore() override;
    AlarmCore(const AlarmCore &) = delete;
    AlarmCore &operator=(const AlarmCore &) = delete;

    // Opens the journal (none without a program folder) and starts looking
    // at the port and the shelving times. The console's start calls it once
    // the settings are read and the port opened.
    void start();
    // Stops watching: the console's end closes its port, which is no loss.
    void stop();

    AlarmTracker &tracker() { return tracker_; }
    JournalWriter &journal() { return *writer_; }

private:
    void journalOpened(const QString &setAsidePath, const QString &why);
    void journalFailed(int number, const QString &detail);
    void journalDropped(quint64 rows);

    Console &console_;
    Reporter &reporter_;
    std::unique_ptr<JournalWriter> writer_;
    AlarmTracker tracker_;
    AlarmJournal journal_;
    bool watching_ = false;
};

} // namespace orbalis
