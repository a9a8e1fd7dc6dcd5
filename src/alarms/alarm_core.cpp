#include "alarm_core.h"

#include "login_name.h"

#include "base/error_trap.h"
#include "state/console.h"

namespace orbalis {

AlarmCore::AlarmCore(Console &console, const LineCounters &counters, Reporter &reporter, QObject *parent)
    : QObject(parent),
      console_(console),
      reporter_(reporter),
      writer_(std::make_unique<JournalWriter>(journalPath(console.programDir), *console.clock)),
      tracker_(console, counters, loginName()),
      journal_(*writer_)
{
    writer_->addTable(alarmEventsTable());
    // The journal first: whoever shows a change finds it kept.
    tracker_.addObserver(&journal_);
    console_.lineObservers.add(&tracker_);
    watching_ = true;
    // Told on the writer's thread, reported on this one.
    connect(writer_.get(), &JournalWriter::opened, this, &AlarmCore::journalOpened);
    connect(writer_.get(), &JournalWriter::failed, this, &AlarmCore::journalFailed);
    connect(writer_.get(), &JournalWriter::dropped, this, &AlarmCore::journalDropped);
}

AlarmCore::~AlarmCore()
{
    stop();
    tracker_.removeObserver(&journal_);
    writer_->disconnect(this);
    writer_.reset();
}

void AlarmCore::start()
{
    if (writer_->started())
        return;
    // Without a program folder there is nowhere to keep a journal.
    if (!console_.programDir.isEmpty())
        writer_->start();
    tracker_.start();
}

void AlarmCore::stop()
{
    if (watching_)
        console_.lineObservers.remove(&tracker_);
    watching_ = false;
    tracker_.stop();
}

void AlarmCore::journalOpened(const QString &setAsidePath, const QString &why)
{
    if (setAsidePath.isEmpty())
        return;
    ErrorTrap(reporter_, QStringLiteral("openJournal"))
        .report(Error(PathFileAccess,
                      writer_->path() + QStringLiteral(": ") + why + QStringLiteral("; it is kept as \"") + setAsidePath
                          + QStringLiteral("\" and a new journal was started")));
}

void AlarmCore::journalFailed(int number, const QString &detail)
{
    ErrorTrap(reporter_, QStringLiteral("writeJournal"))
        .report(Error(number,
                      detail
                          + QStringLiteral("; the alarm events wait in memory and are written once the "
                                           "journal can be written again")));
}

void AlarmCore::journalDropped(quint64 rows)
{
    ErrorTrap(reporter_, QStringLiteral("writeJournal"))
        .report(Error(PathFileAccess,
                      writer_->path()
                          + QStringLiteral(": %1 alarm events could not be written and "
                                           "are lost")
                                .arg(rows)));
}

} // namespace orbalis
