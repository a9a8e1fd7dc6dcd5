// The whole console against orbalis-sim: lamps that blink, an error code, a
// controller that never answers. The simulator's traffic log is the witness
// of every lamp change; the journal must hold each exactly once.

#include "alarms/alarm_journal.h"
#include "alarms/console_alarms.h"
#include "journal/journal_test_support.h"
#include "link/frames.h"
#include "model/status_word.h"
#include "support/console_over_simulator.h"

#include <QSqlQuery>
#include <gtest/gtest.h>
#include <map>

using namespace orbalis;
using namespace orbalis::test;
using namespace std::chrono_literals;

namespace {

using AlarmsEndToEndTest = ConsoleOverSimulator;

struct JudgedReply {
    QDateTime sent;     // the request, as the simulator logged it
    QDateTime nextSent; // the next request: the reply was judged before it
    std::uint16_t status;
};

// The good live-value replies of controller `id` that the console judged:
// every exchange but the last one, which no tick judged.
std::vector<JudgedReply> judgedReplies(const QList<LoggedFrame> &frames, int id)
{
    std::vector<JudgedReply> out;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        if (!frames[i].request || frames[i].bytes.isEmpty() || quint8(frames[i].bytes[0]) != id)
            continue;
        QByteArray reply;
        qsizetype next = i + 1;
        for (; next < frames.size() && !frames[next].request; ++next)
            reply += frames[next].bytes;
        if (next == frames.size())
            break; // the last exchange: never judged
        if (reply.size() == 65 && hasValidCrc(reply) && quint8(reply[0]) == id)
            out.push_back({frames[i].at, frames[next].at, std::uint16_t(quint8(reply[9]) << 8 | quint8(reply[10]))});
    }
    return out;
}

struct Row {
    qint64 timeMs;
    QString change;
};

} // namespace

TEST_F(AlarmsEndToEndTest, EveryLampChangeTheSimulatorCausedIsInTheJournalExactlyOnce)
{
    SettingsModel model = lineSettings();
    for (int k = 0; k < 4; ++k) {
        model.panel.IdText[std::size_t(k)] = QStringLiteral("%1").arg(k + 1, 3, 10, QLatin1Char('0'));
        model.panel.NameText[std::size_t(k)] = QStringLiteral("Oven%1").arg(k + 1);
    }
    model.panel.IdText[5] = QStringLiteral("009"); // nobody answers as 9
    model.panel.NameText[5] = QStringLiteral("Spare");
    saveSettings(model);
    ASSERT_NO_FATAL_FAILURE(startSimulator(
        QStringLiteral("1-4"),
        {"--blink", "1:1:500", "--blink", "2:2:900", "--blink", "4:1:1300", "--blink", "4:2:700", "--error", "3:5"}));
    ASSERT_NO_FATAL_FAILURE(openConsole());
    ASSERT_NO_FATAL_FAILURE(showConsole());
    QTest::qWait(7000);
    window->Form_Unload(); // polling stops; the last request is never judged
    ASSERT_TRUE(window->alarms().journal().flush(10s));
    sim.stop();

    JournalReader reader(journalPath(dir.path()));
    ASSERT_TRUE(reader.ok());
    std::map<std::pair<int, QString>, std::vector<Row>> journal;
    QSqlQuery q(reader.db());
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT controller_id, alarm, change, time_ms FROM alarm_events ORDER BY id")));
    while (q.next())
        journal[{q.value(0).toInt(), q.value(1).toString()}].push_back(
            {q.value(3).toLongLong(), q.value(2).toString()});

    const QList<LoggedFrame> frames = readTrafficLog(logPath);
    int lampChanges = 0;
    for (int id = 1; id <= 4; ++id) {
        const std::vector<JudgedReply> replies = judgedReplies(frames, id);
        ASSERT_GT(replies.size(), 10u) << "controller " << id;
        for (int lamp = 1; lamp <= 2; ++lamp) {
            // What the log says changed, and when the console judged it.
            std::vector<std::pair<const JudgedReply *, QString>> expected;
            bool lit = false;
            for (const JudgedReply &r : replies) {
                const bool now = litAlarmLamps(r.status) & (lamp == 1 ? Alarm1Lamp : Alarm2Lamp);
                if (now != lit)
                    expected.push_back({&r, now ? QStringLiteral("activated") : QStringLiteral("returned")});
                lit = now;
            }
            const QString alarm = QStringLiteral("Alarm %1").arg(lamp);
            const std::vector<Row> &rows = journal[{id, alarm}];
            ASSERT_EQ(rows.size(), expected.size()) << "controller " << id << " " << alarm.toStdString();
            for (std::size_t i = 0; i < rows.size(); ++i) {
                EXPECT_EQ(rows[i].change, expected[i].second) << "controller " << id << " " << alarm.toStdString();
                // Stamped between the reply and the next request (the same tick sends it).
                EXPECT_GE(rows[i].timeMs, expected[i].first->sent.toMSecsSinceEpoch() - 50);
                EXPECT_LE(rows[i].timeMs, expected[i].first->nextSent.toMSecsSinceEpoch() + 50);
            }
            lampChanges += int(expected.size());
        }
    }
    EXPECT_GE(lampChanges, 20);
    const auto rowsOf = [&](int id, const char *alarm) { return journal[{id, QString::fromLatin1(alarm)}]; };
    // Controller 2 blinks lamp 2 only; controller 3 shows its error, once.
    EXPECT_TRUE(rowsOf(2, "Alarm 1").empty());
    ASSERT_EQ(rowsOf(3, "High Error").size(), 1u);
    EXPECT_EQ(rowsOf(3, "High Error")[0].change, QStringLiteral("activated"));
    // The slot whose controller never answers: "No reply" once.
    ASSERT_EQ(rowsOf(9, "No reply").size(), 1u);
    EXPECT_EQ(rowsOf(9, "No reply")[0].change, QStringLiteral("activated"));
    for (int id = 1; id <= 4; ++id)
        EXPECT_TRUE(rowsOf(id, "No reply").empty()) << id;
    // The port was open all along; closing it at the end is no loss.
    EXPECT_TRUE(rowsOf(0, "Port lost").empty());
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();
}
