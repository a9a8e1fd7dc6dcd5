// A program for the kill test: it turns an alarm on and off as fast as the
// tracker takes it, with the journal behind it, and says on its standard
// output how many rows are committed, until it is killed. Row n is
// "activated" for odd n and "returned" for even n, stamped n - 1 ms after
// the start.

#include "alarm_test_support.h"

#include "alarms/alarm_journal.h"
#include "journal/journal_writer.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

using namespace orbalis;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: alarm_journal_child PROGRAM_DIR\n", stderr);
        return 2;
    }
    test::TrackedConsole t{{0, 1}};
    JournalWriter writer(journalPath(QString::fromLocal8Bit(argv[1])));
    writer.addTable(alarmEventsTable());
    // Said on the writer's thread, right after each commit.
    QObject::connect(&writer, &JournalWriter::committed, [](quint64 rows) {
        std::printf("committed %llu\n", static_cast<unsigned long long>(rows));
        std::fflush(stdout);
    });
    AlarmJournal journal(writer);
    t.tracker->addObserver(&journal);
    writer.start();
    for (int i = 0;; ++i) {
        t.pollStatus(0, i % 2 == 0 ? 0x0001 : 0x0000);
        t.wait(1);
        usleep(100);
    }
}
