// The audit trail's table: rows as the write cycle tells them, read back by
// the "Parameter changes" tab's model with its filters, and exported.

#include "alarms/journal_csv.h"
#include "alarms/parameter_changes_model.h"
#include "alarms/parameter_write_journal.h"
#include "journal/journal_test_support.h"
#include "journal/journal_writer.h"
#include "state/last_read_texts.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace orbalis;
using namespace orbalis::test;
using namespace std::chrono_literals;

namespace {

const qint64 May1 = QDateTime(QDate(2024, 5, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();

ParameterWrite write(qint64 ms, int id, int address, const QString &sent, std::int32_t value, WriteOrigin origin,
                     LineOutcome outcome = LineOutcome::Good, std::uint8_t code = 0)
{
    ParameterWrite w;
    w.at = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    w.slot = id - 1;
    w.controllerId = id;
    w.address = address;
    w.textBefore = address == 0 ? QStringLiteral("100.0") : QString();
    w.textSent = sent;
    w.value = value;
    w.origin = origin;
    w.outcome = outcome;
    w.exceptionCode = code;
    return w;
}

struct AuditFolder {
    AuditFolder() : writer(journalPath(dir.path())), journal(writer, QStringLiteral("operator"))
    {
        coreApp();
        writer.addTable(parameterWritesTable());
        writer.start();
    }
    QTemporaryDir dir;
    JournalWriter writer;
    ParameterWriteJournal journal;
};

} // namespace

TEST(ParameterChanges, EachWriteIsOneRowReadBackAsWrittenAndTheFiltersNarrowIt)
{
    AuditFolder folder;
    // Controller 1 and 3, four origins, every outcome; SV, A2SP, A1MD and a negative LOLT.
    const ParameterWrite writes[] = {
        write(May1, 1, 0, QStringLiteral("123.4"), 1234, WriteOrigin::Window),
        write(May1 + 1, 1, 9, QStringLiteral("55.5"), 555, WriteOrigin::File, LineOutcome::ExceptionReply, 2),
        write(May1 + 2, 3, 7, QStringLiteral("LATH"), 15, WriteOrigin::Restore, LineOutcome::NoAnswer),
        write(May1 + 3, 3, 46, QStringLiteral("-19.9"), -199, WriteOrigin::Copy, LineOutcome::CrcError),
        write(May1 + 3'600'000, 1, 0, QStringLiteral("50%_hot"), 500, WriteOrigin::Window),
    };
    for (const ParameterWrite &w : writes)
        folder.journal.parameterWritten(w);
    ParameterWrite stopped = writes[0];
    stopped.judged = false;
    stopped.at = stopped.at.addMSecs(5);
    folder.journal.parameterWritten(stopped);
    ASSERT_TRUE(folder.writer.flush(10s));

    JournalReader reader(folder.writer.path());
    ParameterChangesModel model;
    model.setConnection(reader.name());
    ASSERT_EQ(model.rowCount(), 6);
    EXPECT_TRUE(model.problem().isEmpty()) << model.problem().toStdString();
    // Newest first; each column as shown.
    const auto shownRow = [&](int row) {
        QStringList cells;
        for (int c = 0; c < ParameterChangesModel::ColumnCount; ++c)
            if (c != ParameterChangesModel::Time)
                cells << ParameterChangesModel::cellText(model.rowAt(row), c);
        return cells.join(u'|');
    };
    EXPECT_EQ(model.rowAt(0).timeMs, May1 + 3'600'000);
    EXPECT_EQ(shownRow(0), "1|1|SV|0|100.0|50%_hot|500|accepted|window|operator");
    EXPECT_EQ(shownRow(1), "1|1|SV|0|100.0|123.4|1234|not judged|window|operator");
    EXPECT_EQ(shownRow(2), "3|3|LOLT|46||-19.9|65337|CRC error|copy|operator");
    EXPECT_EQ(shownRow(3), "3|3|A1MD|7||LATH|15|no answer|restore|operator");
    EXPECT_EQ(shownRow(4), "1|1|A2SP|9||55.5|555|refused: code 2 (illegal data address)|file|operator");
    EXPECT_EQ(shownRow(5), "1|1|SV|0|100.0|123.4|1234|accepted|window|operator");

    using O = ParameterChangesFilter::Outcome;
    struct Case {
        const char *what;
        ParameterChangesFilter filter;
        std::vector<qint64> ids;
    };
    const Case cases[] = {
        {"everything", {}, {5, 6, 4, 3, 2, 1}},
        {"controller 3", {3, {}, O::Any, {}, {}, {}}, {4, 3}},
        {"from a file", {-1, QStringLiteral("file"), O::Any, {}, {}, {}}, {2}},
        {"accepted", {-1, {}, O::Accepted, {}, {}, {}}, {5, 1}},
        {"not accepted, controller 1", {1, {}, O::NotAccepted, {}, {}, {}}, {6, 2}},
        {"within the first hour", {-1, {}, O::Any, May1 + 1, May1 + 3'600'000, {}}, {6, 4, 3, 2}},
        {"text sent", {-1, {}, O::Any, {}, {}, QStringLiteral("lath")}, {3}},
        {"wildcards taken literally", {-1, {}, O::Any, {}, {}, QStringLiteral("%_h")}, {5}},
        {"the text before", {1, QStringLiteral("window"), O::Accepted, {}, {}, QStringLiteral("100.0")}, {5, 1}},
        {"the reason", {-1, {}, O::Any, {}, {}, QStringLiteral("illegal")}, {2}},
        {"no such user", {-1, {}, O::Any, {}, {}, QStringLiteral("nobody")}, {}},
    };
    for (const Case &c : cases) {
        model.setFilter(c.filter);
        std::vector<qint64> ids;
        for (int r = 0; r < model.rowCount(); ++r)
            ids.push_back(model.rowAt(r).id);
        EXPECT_EQ(ids, c.ids) << c.what;
    }

    // Written while shown: on top, and only what the filter lets through.
    model.setFilter({1, {}, O::Any, {}, {}, {}});
    folder.journal.parameterWritten(write(May1 + 7'200'000, 3, 1, QStringLiteral("0.0"), 0, WriteOrigin::Window));
    folder.journal.parameterWritten(write(May1 + 7'200'001, 1, 2, QStringLiteral("1.0"), 10, WriteOrigin::Mqtt));
    ASSERT_TRUE(folder.writer.flush(10s));
    EXPECT_EQ(model.fetchNewer(), 1);
    EXPECT_EQ(model.fetchNewer(), 0);
    EXPECT_EQ(model.rowAt(0).origin, "MQTT");
    EXPECT_EQ(model.rowCount(), 5);

    // The export: every row the filter lets through, as shown.
    const QString path = folder.dir.filePath(QStringLiteral("changes.csv"));
    EXPECT_EQ(exportParameterChangesCsv(reader.name(), {-1, {}, O::NotAccepted, {}, {}, {}}, path), 4);
    const QByteArray csv = readFile(path);
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF"
                               "Time,Controller,Slot,Parameter,Address,Before,Sent,Register value,Outcome,Origin,"
                               "User\r\n"));
    EXPECT_TRUE(csv.contains(",1,1,A2SP,9,,55.5,555,refused: code 2 (illegal data address),file,operator\r\n"));
    EXPECT_EQ(csv.count("\r\n"), 5);
    EXPECT_THROW(exportParameterChangesCsv(reader.name(), {}, folder.dir.filePath(QStringLiteral("no/such.csv"))),
                 Error);
}

TEST(ParameterChanges, TheLastReadTextOfAParameterIsWhatTheNextWriteReplaces)
{
    LastReadTexts last;
    QStringList all;
    for (int a = 0; a < 109; ++a)
        all << QString::number(a);
    struct Step {
        const char *what;
        std::function<void()> action;
        int id;
        int address;
        const char *expected;
    };
    const Step steps[] = {
        {"never read", [] {}, 1, 0, ""},
        {"a read of all", [&] { last.readAll(1, all); }, 1, 47, "47"},
        {"another controller is apart", [] {}, 2, 47, ""},
        {"a read of one", [&] { last.readOne(1, 47, QStringLiteral("250.1")); }, 1, 47, "250.1"},
        {"the others stay", [] {}, 1, 46, "46"},
        {"one read before any read of all", [&] { last.readOne(2, 5, QStringLiteral("x")); }, 2, 5, "x"},
        {"nothing else of it is known", [] {}, 2, 6, ""},
        {"an address outside is left alone", [&] { last.readOne(2, 109, QStringLiteral("y")); }, 2, 109, ""},
        {"a short read of all fills with nothing", [&] { last.readAll(1, {QStringLiteral("a")}); }, 1, 108, ""},
    };
    for (const Step &s : steps) {
        s.action();
        EXPECT_EQ(last.text(s.id, s.address), QString::fromLatin1(s.expected)) << s.what;
    }
}
