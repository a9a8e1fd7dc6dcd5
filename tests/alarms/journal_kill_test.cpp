// Rows committed before a kill -9 are all in the journal after it: the
// write-ahead log with synchronous=FULL, replayed at the next opening.

#include "alarm_test_support.h"

#include "alarms/alarm_journal.h"
#include "journal/journal_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

QString childProgram()
{
    const QByteArray dir = qgetenv("ORBALIS_BIN_DIR");
    const QString bin = dir.isEmpty() ? QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path()
                                      : QString::fromLocal8Bit(dir);
    return QDir(bin).filePath(QStringLiteral("alarm_journal_child"));
}

} // namespace

TEST(AlarmJournalKill, EveryRowCommittedBeforeAKillIsThereAfterIt)
{
    coreApp();
    if (!QFileInfo(childProgram()).isExecutable())
        GTEST_SKIP() << "alarm_journal_child is not built next to the tests";
    QTemporaryDir dir;
    const QString path = journalPath(dir.path());
    for (int round = 0; round < 3; ++round) {
        QProcess child;
        child.start(childProgram(), {dir.path()});
        ASSERT_TRUE(child.waitForStarted(5000));
        // Killed at a different moment each round, mid-stream.
        const quint64 killAfter = 300 + 700 * quint64(round);
        quint64 reported = 0;
        QByteArray said;
        QElapsedTimer waited;
        waited.start();
        while (reported < killAfter && waited.elapsed() < 30000 && child.state() == QProcess::Running) {
            child.waitForReadyRead(100);
            said += child.readAllStandardOutput();
            const qsizetype end = said.lastIndexOf('\n');
            const qsizetype begin = said.lastIndexOf('\n', end - 1) + 1;
            if (end > 0 && said.mid(begin, end - begin).startsWith("committed "))
                reported = said.mid(begin + 10, end - begin - 10).toULongLong();
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(5000));
        ASSERT_GE(reported, killAfter) << said.right(200).constData() << child.readAllStandardError().constData();
        // Whatever the child said before it died was committed before it died.
        said += child.readAllStandardOutput();
        const QList<QByteArray> lines = said.trimmed().split('\n');
        reported = lines.last().mid(10).toULongLong();

        EXPECT_TRUE(QFileInfo::exists(path + QStringLiteral("-wal"))); // killed before any tidy close
        const JournalOpening opening =
            openJournal(QStringLiteral("after-kill"), path, {alarmEventsTable()}, QDateTime::currentDateTime());
        ASSERT_TRUE(opening.open) << opening.failure->description().toStdString();
        EXPECT_TRUE(opening.setAsidePath.isEmpty()) << opening.whySetAside.toStdString();
        {
            QSqlQuery q(QSqlDatabase::database(QStringLiteral("after-kill")));
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT min(time_ms) FROM alarm_events")) && q.next());
            const qint64 start = q.value(0).toLongLong();
            // Each round starts a new child on the same journal: its rows follow.
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT max(id) FROM alarm_events WHERE time_ms = %1").arg(start))
                        && q.next());
            const qint64 first = q.value(0).toLongLong();
            ASSERT_TRUE(
                q.exec(
                    QStringLiteral(
                        "SELECT count(*) FROM alarm_events WHERE id >= %1 AND id < %1 + %2 AND time_ms = %3 + id - %1 "
                        "AND change = CASE (id - %1) % 2 WHEN 0 THEN 'activated' ELSE 'returned' END")
                        .arg(first)
                        .arg(reported)
                        .arg(start))
                && q.next());
            EXPECT_EQ(q.value(0).toULongLong(), reported) << "round " << round;
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM alarm_events WHERE id >= %1").arg(first))
                        && q.next());
            EXPECT_GE(q.value(0).toULongLong(), reported);
            // For the next round: a fresh start, its rows identified by their ids.
            ASSERT_TRUE(q.exec(QStringLiteral("DELETE FROM alarm_events")));
        }
        closeJournalConnection(QStringLiteral("after-kill"));
    }
}
