#include "console_alarms.h"

#include "alarms_window.h"
#include "login_name.h"

#include "base/error_trap.h"
#include "state/console.h"

#include <QToolButton>

namespace orbalis {

ConsoleAlarms::ConsoleAlarms(Console &console, const LineCounters &counters, AlarmPanel &panel, Reporter &reporter,
                             QWidget *windowParent)
    : console_(console),
      reporter_(reporter),
      windowParent_(windowParent),
      writer_(std::make_unique<JournalWriter>(journalPath(console.programDir), *console.clock)),
      tracker_(console, counters, loginName()),
      journal_(*writer_),
      panel_(console, tracker_, panel, reporter)
{
    writer_->addTable(alarmEventsTable());
    // The journal comes first: the panel and the window show what it keeps.
    tracker_.addObserver(&journal_);
    tracker_.addObserver(&panel_);
    console_.lineObservers.add(&tracker_);
    connect(writer_.get(), &JournalWriter::opened, this, &ConsoleAlarms::journalOpened);
    connect(writer_.get(), &JournalWriter::failed, this, &ConsoleAlarms::journalFailed);
    connect(writer_.get(), &JournalWriter::dropped, this, &ConsoleAlarms::journalDropped);
}

ConsoleAlarms::~ConsoleAlarms()
{
    console_.lineObservers.remove(&tracker_);
    delete window_.data();
    tracker_.removeObserver(&panel_);
    tracker_.removeObserver(&journal_);
    // Whatever waits is committed before the journal closes.
    writer_->disconnect(this);
    writer_.reset();
}

void ConsoleAlarms::start()
{
    if (writer_->started())
        return;
    // Without a program folder there is nowhere to keep a journal.
    if (!console_.programDir.isEmpty())
        writer_->start();
    tracker_.start();
}

void ConsoleAlarms::stop()
{
    console_.lineObservers.remove(&tracker_);
    tracker_.stop();
}

void ConsoleAlarms::journalOpened(const QString &setAsidePath, const QString &why)
{
    if (setAsidePath.isEmpty())
        return;
    ErrorTrap(reporter_, QStringLiteral("openJournal"))
        .report(Error(PathFileAccess, writer_->path() + QStringLiteral(": ") + why + QStringLiteral("; it is kept as \"")
                                          + setAsidePath + QStringLiteral("\" and a new journal was started")));
}

void ConsoleAlarms::journalFailed(int number, const QString &detail)
{
    ErrorTrap(reporter_, QStringLiteral("writeJournal"))
        .report(Error(number, detail + QStringLiteral("; the alarm events wait in memory and are written once the "
                                                      "journal can be written again")));
}

void ConsoleAlarms::journalDropped(quint64 rows)
{
    ErrorTrap(reporter_, QStringLiteral("writeJournal"))
        .report(Error(PathFileAccess, writer_->path() + QStringLiteral(": %1 alarm events could not be written and "
                                                                        "are lost").arg(rows)));
}

QToolButton *ConsoleAlarms::summaryButton(QWidget *parent)
{
    if (summary_)
        return summary_;
    summary_ = new QToolButton(parent);
    summary_->setAutoRaise(true);
    summary_->setAccessibleName(QStringLiteral("Alarm summary"));
    summary_->setToolTip(QStringLiteral("Open the alarms"));
    const auto show = [this](const QString &text) {
        summary_->setText(text);
        summary_->setAccessibleDescription(text);
        summary_->setVisible(!text.isEmpty());
    };
    show(panel_.summary());
    connect(&panel_, &PanelAlarms::summaryChanged, summary_, show);
    connect(summary_, &QToolButton::clicked, this, [this] { showWindow(); });
    return summary_;
}

AlarmsWindow *ConsoleAlarms::window() const
{
    return window_;
}

AlarmsWindow &ConsoleAlarms::showWindow()
{
    if (!window_)
        window_ = new AlarmsWindow(console_, tracker_, panel_, *writer_, reporter_, windowParent_);
    window_->show();
    window_->raise();
    window_->activateWindow();
    return *window_;
}

} // namespace orbalis
