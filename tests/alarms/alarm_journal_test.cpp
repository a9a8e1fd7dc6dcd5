#include "alarm_test_support.h"

#include "alarms/alarm_journal.h"
#include "alarms/journal_csv.h"
#include "alarms/journal_model.h"
#include "journal/journal_test_support.h"
#include "journal/journal_writer.h"
#include "support/disk_full.h"
#include "support/files.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace orbalis;
using namespace orbalis::test;
using namespace std::chrono_literals;

namespace {

using K = AlarmKind;
using C = AlarmChangeKind;

const qint64 May1 = QDateTime(QDate(2024, 5, 1), QTime(0, 0)).toMSecsSinceEpoch(); // local midnight
constexpr qint64 Day = 24 * 3600 * 1000;

AlarmChange change(qint64 timeMs, int slot, int id, K kind, C what, const QString &comment = {})
{
    AlarmChange c;
    c.timeMs = timeMs;
    c.key = {slot, id, kind};
    c.slotName = QStringLiteral("Oven%1").arg(slot + 1);
    c.change = what;
    c.pv = QStringLiteral("25.3");
    c.sv = QStringLiteral("30.0");
    c.comment = comment;
    c.user = QStringLiteral("operator");
    return c;
}

// A journal in a fresh folder, its writer, and a read connection.
struct AlarmJournalFolder {
    AlarmJournalFolder() : writer(journalPath(dir.path()))
    {
        coreApp();
        writer.addTable(alarmEventsTable());
        writer.start();
    }
    void write(const AlarmChange &c) { writer.append(alarmEventsTableName(), alarmEventValues(c)); }
    bool flushed() { return writer.flush(10s); }
    QTemporaryDir dir;
    JournalWriter writer;
};

JournalFilter filter(int controller, const QString &alarm = {}, std::optional<qint64> from = {},
                     std::optional<qint64> to = {}, const QString &text = {})
{
    return {controller, alarm, from, to, text};
}

constexpr int Any = JournalFilter::AnyController;

std::vector<qint64> idsOf(const JournalModel &model)
{
    std::vector<qint64> ids;
    for (int r = 0; r < model.rowCount(); ++r)
        ids.push_back(model.rowAt(r).id);
    return ids;
}

} // namespace

TEST(AlarmJournal, EveryChangeOfTheTrackerIsARowReadBackAsItWasWritten)
{
    AlarmJournalFolder folder;
    TrackedConsole t{{2, 5}};
    AlarmJournal journal(folder.writer);
    t.tracker->addObserver(&journal);
    t.pollStatus(2, 0x5001);
    t.wait(250);
    t.tracker->acknowledge(t.key(2, K::Alarm1), QStringLiteral("checked, \"fine\""));
    t.tracker->shelve(t.key(2, K::HighError), 20min, QStringLiteral("calibration"));
    t.port.setPortOpen(false);
    t.tracker->tick();
    ASSERT_TRUE(folder.flushed());

    JournalReader reader(folder.writer.path());
    JournalModel model;
    model.setConnection(reader.name());
    ASSERT_TRUE(model.problem().isEmpty()) << model.problem().toStdString();
    ASSERT_EQ(model.rowCount(), 5);
    // Newest first; equal times in the order written, the last on top.
    const auto cells = [&](int row) {
        QStringList out;
        for (int c = 0; c < JournalModel::ColumnCount; ++c)
            out << model.data(model.index(row, c)).toString();
        return out;
    };
    const qint64 start = t.log.changes[0].timeMs;
    const QString at = JournalModel::timeText(start), later = JournalModel::timeText(start + 250),
                  until = JournalModel::timeText(start + 250 + 20 * 60'000);
    const QString user = QStringLiteral("operator");
    EXPECT_EQ(cells(4), (QStringList{at, "5", "3", "Oven3", "Alarm 1", "activated", "25.3", "30.0", "", user, ""}));
    EXPECT_EQ(cells(3), (QStringList{at, "5", "3", "Oven3", "High Error", "activated", "25.3", "30.0", "", user, ""}));
    EXPECT_EQ(cells(2),
              (QStringList{later, "5", "3", "Oven3", "Alarm 1", "acknowledged", "25.3", "30.0", "checked, \"fine\"",
                           user, ""}));
    EXPECT_EQ(
        cells(1),
        (QStringList{later, "5", "3", "Oven3", "High Error", "shelved", "25.3", "30.0", "calibration", user, until}));
    EXPECT_EQ(cells(0), (QStringList{later, "", "", "", "Port lost", "activated", "", "", "", user, ""}));
    EXPECT_EQ(model.rowAt(4).timeMs, start);
    EXPECT_FALSE(model.rowAt(0).controllerId.has_value());
}

TEST(AlarmJournal, TheViewReadsPagesAsItScrollsAndNewRowsComeOnTop)
{
    AlarmJournalFolder folder;
    for (int i = 0; i < 600; ++i)
        folder.write(change(May1 + i * 1000, i % 4, 1 + i % 4, K::Alarm1, C::Activated));
    ASSERT_TRUE(folder.flushed());
    JournalReader reader(folder.writer.path());
    JournalModel model;
    model.setConnection(reader.name());
    EXPECT_EQ(model.rowCount(), JournalModel::PageRows);
    EXPECT_TRUE(model.canFetchMore());
    model.fetchMore();
    model.fetchMore();
    EXPECT_EQ(model.rowCount(), 600);
    EXPECT_FALSE(model.canFetchMore());
    std::vector<qint64> expected;
    for (qint64 id = 600; id >= 1; --id)
        expected.push_back(id);
    EXPECT_EQ(idsOf(model), expected);

    // Written while shown: on top, in order, without reading the rest again.
    folder.write(change(May1 + 700'000, 0, 1, K::NoReply, C::Activated));
    folder.write(change(May1 + 700'001, 1, 2, K::NoReply, C::Activated));
    ASSERT_TRUE(folder.flushed());
    EXPECT_EQ(model.fetchNewer(), 2);
    EXPECT_EQ(model.fetchNewer(), 0);
    ASSERT_EQ(model.rowCount(), 602);
    EXPECT_EQ(model.rowAt(0).id, 602);
    EXPECT_EQ(model.rowAt(1).id, 601);
    EXPECT_EQ(model.rowAt(2).id, 600);
}

TEST(AlarmJournal, FiltersNarrowByControllerAlarmTimeAndText)
{
    AlarmJournalFolder folder;
    // Three days, four controllers, two alarms; a comment with the LIKE wildcards.
    int written = 0;
    for (int day = 0; day < 3; ++day)
        for (int i = 0; i < 40; ++i, ++written)
            folder.write(change(May1 + day * Day + i * 60'000, i % 4, 1 + i % 4, i % 2 ? K::Alarm2 : K::Alarm1,
                                C::Activated, i == 7 ? QStringLiteral("100%_sure") : QString()));
    AlarmChange lost = change(May1 + Day + 5, -1, 0, K::PortLost, C::Activated);
    lost.key = AlarmKey::line();
    lost.slotName.clear();
    folder.write(lost);
    ASSERT_TRUE(folder.flushed());
    JournalReader reader(folder.writer.path());
    JournalModel model;
    model.setConnection(reader.name());

    const auto shown = [&](const JournalFilter &f) {
        model.setFilter(f);
        while (model.canFetchMore())
            model.fetchMore();
        return model.rowCount();
    };
    struct Case {
        const char *what;
        JournalFilter filter;
        int rows;
    };
    const Case table[] = {
        {"everything", filter(Any), written + 1},
        {"controller 3", filter(3), 30},
        {"the line", filter(JournalFilter::LineOnly), 1},
        {"alarm 2", filter(Any, QStringLiteral("Alarm 2")), 60},
        {"controller 2, alarm 2", filter(2, QStringLiteral("Alarm 2")), 30},
        {"controller 2, alarm 1", filter(2, QStringLiteral("Alarm 1")), 0},
        {"controller 1 on 2 May", filter(1, {}, May1 + Day, May1 + 2 * Day), 10},
        {"2 May", filter(Any, {}, May1 + Day, May1 + 2 * Day), 41},
        {"from the last minute of 3 May", filter(Any, {}, May1 + 2 * Day + 39 * 60'000), 1},
        {"text in the name", filter(Any, {}, {}, {}, QStringLiteral("oven4")), 30},
        {"text with wildcards", filter(Any, {}, {}, {}, QStringLiteral("0%_s")), 3},
        {"a bare wildcard matches only itself", filter(Any, {}, {}, {}, QStringLiteral("_")), 3},
        {"text of a change", filter(Any, {}, {}, {}, QStringLiteral("ACTIVATED")), written + 1},
    };
    for (const Case &c : table) {
        EXPECT_EQ(shown(c.filter), c.rows) << c.what;
        EXPECT_TRUE(model.problem().isEmpty()) << c.what;
        for (int r = 1; r < model.rowCount(); ++r)
            EXPECT_GE(model.rowAt(r - 1).timeMs, model.rowAt(r).timeMs) << c.what;
    }
}

TEST(AlarmJournal, ExportWritesEveryFilteredRowAndAFailedExportLeavesTheFileAsItWas)
{
    AlarmJournalFolder folder;
    for (int i = 0; i < 300; ++i)
        folder.write(change(May1 + i, 0, 1 + i % 2, K::Alarm1, C::Activated,
                            i == 0 ? QStringLiteral("two, \"quoted\"\nlines") : QString()));
    ASSERT_TRUE(folder.flushed());
    JournalReader reader(folder.writer.path());
    const QString path = folder.dir.filePath(QStringLiteral("alarms.csv"));

    EXPECT_EQ(exportJournalCsv(reader.name(), filter(1), path), 150);
    const QByteArray csv = readFile(path);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"
                               "Time,Controller,Slot,Name,Alarm,Change,PV,SV,Comment,User,Shelved until\r\n"));
    const QList<QByteArray> lines = csv.mid(3).split('\n');
    EXPECT_EQ(lines.size(), 1 + 150 + 1 + 1); // header, rows, the comment's own line break, the end
    EXPECT_TRUE(csv.contains(",1,1,Oven1,Alarm 1,activated,25.3,30.0,\"two, \"\"quoted\"\"\nlines\",operator,\r\n"));
    EXPECT_EQ(csvField(QStringLiteral("plain")), QStringLiteral("plain"));

    // A disk that takes no more than a few bytes: the old file stays whole.
    bool thrown = false;
    try {
        const DiskFullAt full(4096);
        exportJournalCsv(reader.name(), filter(Any), path);
    } catch (const Error &e) {
        thrown = true;
        EXPECT_TRUE(e.detail().startsWith(path)) << e.description().toStdString();
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(readFile(path), csv);
    EXPECT_THROW(
        exportJournalCsv(reader.name(), filter(Any), folder.dir.filePath(QStringLiteral("no/such/folder.csv"))), Error);
    // A FIFO of that name is refused, not replaced or waited on.
    const QString fifo = folder.dir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(exportJournalCsv(reader.name(), filter(Any), fifo), Error);
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}
