#include "journal_test_support.h"

#include "journal/journal_writer.h"
#include "support/fakes.h"
#include "support/files.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;
using namespace std::chrono_literals;

namespace {

// A table as a module would declare it.
JournalTable notesTable()
{
    return {QStringLiteral("notes"),
            {{QStringLiteral("time_ms"), QStringLiteral("INTEGER NOT NULL")},
             {QStringLiteral("text"), QStringLiteral("TEXT")}},
            {{QStringLiteral("time_ms")}}};
}

JournalTable auditTable()
{
    return {QStringLiteral("audit"), {{QStringLiteral("what"), QStringLiteral("TEXT NOT NULL")}}, {}};
}

const QDateTime At = QDateTime(QDate(2024, 5, 1), QTime(12, 0, 5));

struct JournalFolder {
    JournalFolder() { coreApp(); }
    QString path() const { return journalPath(dir.path()); }
    // Writes the rows through a writer of its own, and waits for them.
    bool write(const std::vector<JournalTable> &tables, const QString &table, int rows)
    {
        JournalWriter writer(path(), clock);
        for (const JournalTable &t : tables)
            writer.addTable(t);
        writer.start();
        for (int i = 0; i < rows; ++i)
            writer.append(table,
                          table == u"audit" ? QVariantList{QStringLiteral("w%1").arg(i)}
                                            : QVariantList{qint64(i), QStringLiteral("row %1").arg(i)});
        return writer.flush(10s);
    }
    QTemporaryDir dir;
    FixedClock clock{At};
};

} // namespace

TEST(JournalDatabase, ANewJournalHasAWriteAheadLogFullSyncAndItsLayoutVersion)
{
    JournalFolder folder;
    const JournalOpening opening = openJournal(QStringLiteral("t1"), folder.path(), {notesTable()}, At);
    ASSERT_TRUE(opening.open) << opening.failure->description().toStdString();
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("t1")));
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA synchronous")) && q.next());
        EXPECT_EQ(q.value(0).toInt(), 2); // FULL
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("wal"));
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
        EXPECT_EQ(q.value(0).toInt(), JournalFormatVersion);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT name FROM sqlite_schema WHERE tbl_name = 'notes' ORDER BY name")));
        QStringList names;
        while (q.next())
            names << q.value(0).toString();
        EXPECT_EQ(names, (QStringList{QStringLiteral("notes"), QStringLiteral("notes_time_ms")}));
    }
    closeJournalConnection(QStringLiteral("t1"));
    EXPECT_EQ(QFileInfo(folder.path()).fileName(), QStringLiteral("Orbalis Journal.db"));
}

TEST(JournalDatabase, RowsAreWrittenInOrderAndReadBack)
{
    JournalFolder folder;
    ASSERT_TRUE(folder.write({notesTable()}, QStringLiteral("notes"), 2500)); // more than one commit holds
    JournalReader reader(folder.path());
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(reader.scalar(QStringLiteral("SELECT count(*) FROM notes")).toInt(), 2500);
    EXPECT_EQ(reader.scalar(QStringLiteral("SELECT text FROM notes WHERE id = 2500")).toString(),
              QStringLiteral("row 2499"));
    EXPECT_EQ(reader.scalar(QStringLiteral("SELECT count(*) FROM notes WHERE time_ms = id - 1")).toInt(), 2500);
}

TEST(JournalDatabase, AModuleThatComesLaterAddsItsTableAndKeepsTheRows)
{
    JournalFolder folder;
    ASSERT_TRUE(folder.write({notesTable()}, QStringLiteral("notes"), 3));
    ASSERT_TRUE(folder.write({notesTable(), auditTable()}, QStringLiteral("audit"), 2));
    JournalReader reader(folder.path());
    EXPECT_EQ(reader.scalar(QStringLiteral("SELECT count(*) FROM notes")).toInt(), 3);
    EXPECT_EQ(reader.scalar(QStringLiteral("SELECT group_concat(what) FROM audit")).toString(),
              QStringLiteral("w0,w1"));
    EXPECT_EQ(reader.scalar(QStringLiteral("PRAGMA user_version")).toInt(), JournalFormatVersion);
}

TEST(JournalDatabase, AJournalThatCannotBeUsedIsSetAsideUnderADatedNameAndANewOneStarted)
{
    const auto damagedPages = [](const QString &path) {
        // A real journal whose pages are overwritten in the middle.
        QByteArray bytes = readFile(path);
        for (qsizetype i = 8192; i < bytes.size() - 4096; i += 4096)
            bytes.replace(i + 100, 200, QByteArray(200, '\x5A'));
        return bytes;
    };
    struct Case {
        const char *what;
        std::function<void(JournalFolder &)> spoil;
        const char *why;
    };
    const Case table[] = {
        {"not a database", [](JournalFolder &f) { writeFile(f.path(), QByteArray(5000, 'x')); }, "not a database"},
        {"damaged pages",
         [&](JournalFolder &f) {
             ASSERT_TRUE(f.write({notesTable()}, QStringLiteral("notes"), 3000));
             writeFile(f.path(), damagedPages(f.path()));
         },
         "damaged"},
        {"a newer layout",
         [](JournalFolder &f) {
             ASSERT_TRUE(openJournal(QStringLiteral("newer"), f.path(), {notesTable()}, At).open);
             QSqlQuery(QSqlDatabase::database(QStringLiteral("newer"))).exec(QStringLiteral("PRAGMA user_version = 7"));
             closeJournalConnection(QStringLiteral("newer"));
         },
         "newer version"},
    };
    for (const Case &c : table) {
        JournalFolder folder;
        c.spoil(folder);
        const QByteArray before = readFile(folder.path());
        JournalWriter writer(folder.path(), folder.clock);
        writer.addTable(notesTable());
        QSignalSpy opened(&writer, &JournalWriter::opened);
        writer.start();
        writer.append(QStringLiteral("notes"), {qint64(1), QStringLiteral("after")});
        ASSERT_TRUE(writer.flush(10s)) << c.what;
        ASSERT_EQ(opened.size(), 1) << c.what;
        const QString aside = opened[0][0].toString();
        EXPECT_EQ(aside, folder.path() + QStringLiteral(".damaged-240501-120005")) << c.what;
        EXPECT_TRUE(opened[0][1].toString().contains(QString::fromLatin1(c.why)))
            << c.what << ": " << opened[0][1].toString().toStdString();
        EXPECT_EQ(readFile(aside), before) << c.what;
        JournalReader reader(folder.path());
        EXPECT_EQ(reader.scalar(QStringLiteral("SELECT group_concat(text) FROM notes")).toString(),
                  QStringLiteral("after"))
            << c.what;
    }
}

TEST(JournalDatabase, AJournalFoundDamagedWhileWritingIsSetAsideAtTheNextOpeningWhateverItsChecksSay)
{
    JournalFolder folder;
    ASSERT_TRUE(folder.write({notesTable()}, QStringLiteral("notes"), 5));
    const JournalOpening opening = openJournal(QStringLiteral("t3"), folder.path(), {notesTable()}, At,
                                               QStringLiteral("SQLite found it damaged while writing"));
    ASSERT_TRUE(opening.open);
    EXPECT_EQ(opening.setAsidePath, folder.path() + QStringLiteral(".damaged-240501-120005"));
    EXPECT_EQ(opening.whySetAside, QStringLiteral("SQLite found it damaged while writing"));
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("t3")));
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM notes")) && q.next());
        EXPECT_EQ(q.value(0).toInt(), 0);
    }
    closeJournalConnection(QStringLiteral("t3"));
    JournalReader aside(opening.setAsidePath);
    EXPECT_EQ(aside.scalar(QStringLiteral("SELECT count(*) FROM notes")).toInt(), 5);
}

TEST(JournalDatabase, ASetAsideNameThatIsTakenGetsANumber)
{
    JournalFolder folder;
    const QString dated = folder.path() + QStringLiteral(".damaged-240501-120005");
    writeFile(dated, "an older one");
    writeFile(folder.path(), "garbage, but long enough to be read as a database header.......");
    const JournalOpening opening = openJournal(QStringLiteral("t2"), folder.path(), {notesTable()}, At);
    closeJournalConnection(QStringLiteral("t2"));
    ASSERT_TRUE(opening.open);
    EXPECT_EQ(opening.setAsidePath, dated + QStringLiteral("-2"));
    EXPECT_EQ(readFile(dated), QByteArray("an older one"));
}

TEST(JournalDatabase, AJournalThatCannotBeOpenedKeepsItsRowsAndIsTriedAgain)
{
    JournalFolder folder;
    // A folder where the journal should be: nothing to set aside, no journal.
    ASSERT_TRUE(QDir().mkdir(folder.path()));
    JournalWriter writer(folder.path(), folder.clock);
    writer.addTable(notesTable());
    writer.setRetryInterval(50ms);
    QSignalSpy failed(&writer, &JournalWriter::failed);
    writer.start();
    writer.append(QStringLiteral("notes"), {qint64(1), QStringLiteral("kept")});
    EXPECT_FALSE(writer.flush(2s));
    ASSERT_GE(failed.size(), 1);
    EXPECT_EQ(failed[0][0].toInt(), PathFileAccess);
    EXPECT_TRUE(failed[0][1].toString().startsWith(folder.path()));
    EXPECT_EQ(failed.size(), 1); // told once, not at every retry

    ASSERT_TRUE(QDir().rmdir(folder.path()));
    for (int i = 0; i < 100 && writer.committedRows() == 0; ++i)
        QThread::msleep(20);
    EXPECT_EQ(writer.committedRows(), 1u);
    JournalReader reader(folder.path());
    EXPECT_EQ(reader.scalar(QStringLiteral("SELECT text FROM notes")).toString(), QStringLiteral("kept"));
}

TEST(JournalDatabase, RowsOfATableNobodyDeclaredAreRefusedAndTheRestWritten)
{
    JournalFolder folder;
    JournalWriter writer(folder.path(), folder.clock);
    writer.addTable(notesTable());
    writer.start();
    writer.append(QStringLiteral("nobody"), {1});
    writer.append(QStringLiteral("notes"), {qint64(5), QStringLiteral("five")});
    ASSERT_TRUE(writer.flush(10s));
    EXPECT_EQ(writer.committedRows(), 1u);
}
