// The console against orbalis-sim with faults on the line: the real port,
// the real polling timer, the window offscreen. The simulator's traffic log
// is the witness of what happened to every request.

#include "core/line_counters.h"
#include "health/line_health.h"
#include "health/panel_health.h"

#include "console/main_window.h"
#include "console/slot_panel.h"
#include "console/slot_picture.h"
#include "link/frames.h"
#include "link/qt_serial_port.h"
#include "settings/settings_store.h"
#include "support/console_over_simulator.h"

#include <QAccessible>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>

using namespace orbalis;

namespace {

// Slots 0, 5, 10 and 15 bound to controllers 1 to 4, at 19200 baud.
constexpr std::array<int, 4> BoundSlots{0, 5, 10, 15};
// A reply logged this close before the next request may have reached the
// console after that request's flush: it belongs to either exchange.
constexpr qint64 FlushRaceMs = 15;

// What the console should make of the bytes of one exchange with controller id.
LineOutcome judgeLive(const QByteArray &bytes, int id)
{
    if (bytes.size() < 2)
        return LineOutcome::NoAnswer;
    if (!hasValidCrc(bytes))
        return LineOutcome::CrcError;
    if (quint8(bytes[0]) != id)
        return LineOutcome::WrongReply;
    if (bytes.size() == 65 && bytes[1] == 4 && quint8(bytes[2]) == 60)
        return LineOutcome::Good;
    if (bytes.size() == 5 && quint8(bytes[1]) == 0x84)
        return LineOutcome::ExceptionReply;
    return LineOutcome::WrongReply;
}

struct Counts {
    std::uint64_t sent = 0, good = 0, noAnswer = 0, crcErrors = 0, wrongReplies = 0, exceptionReplies = 0;
    bool operator==(const Counts &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Counts &c)
{
    return os << "sent " << c.sent << ", good " << c.good << ", no answer " << c.noAnswer << ", CRC "
              << c.crcErrors << ", wrong " << c.wrongReplies << ", exception " << c.exceptionReplies;
}

void add(Counts &c, LineOutcome o)
{
    switch (o) {
    case LineOutcome::Good: ++c.good; break;
    case LineOutcome::NoAnswer: ++c.noAnswer; break;
    case LineOutcome::CrcError: ++c.crcErrors; break;
    case LineOutcome::WrongReply: ++c.wrongReplies; break;
    case LineOutcome::ExceptionReply: ++c.exceptionReplies; break;
    }
}

// The log cut into exchanges: each request and the replies logged before the
// next one. A reply logged just before the next request is "doubtful".
struct LoggedExchange {
    int id;
    std::vector<std::pair<QByteArray, bool>> replies;   // bytes, doubtful
};

std::vector<LoggedExchange> exchangesOf(const QList<test::LoggedFrame> &frames)
{
    std::vector<LoggedExchange> out;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const test::LoggedFrame &f = frames[i];
        if (f.request) {
            out.push_back({f.bytes.isEmpty() ? -1 : quint8(f.bytes[0]), {}});
            continue;
        }
        if (out.empty())
            continue;
        qsizetype next = i + 1;
        while (next < frames.size() && !frames[next].request)
            ++next;
        const bool doubtful = next < frames.size() && f.at.msecsTo(frames[next].at) <= FlushRaceMs;
        out.back().replies.push_back({f.bytes, doubtful});
    }
    return out;
}

// The counts per controller for every judged exchange (all but the last),
// with the doubtful replies placed by `choice` (bit k set: the k-th doubtful
// reply went to the next exchange).
std::map<int, Counts> countsOf(const std::vector<LoggedExchange> &exchanges, std::uint32_t choice)
{
    std::map<int, Counts> counts;
    QByteArray carried;
    int doubtful = 0;
    for (std::size_t i = 0; i < exchanges.size(); ++i) {
        const LoggedExchange &e = exchanges[i];
        ++counts[e.id].sent;
        QByteArray bytes = carried, next;
        carried.clear();
        for (const auto &[reply, isDoubtful] : e.replies) {
            if (isDoubtful && (choice >> doubtful++) & 1)
                next += reply;
            else
                bytes += reply;
        }
        carried = next;
        if (i + 1 < exchanges.size())
            add(counts[e.id], judgeLive(bytes, e.id));
    }
    return counts;
}

int doubtfulReplies(const std::vector<LoggedExchange> &exchanges)
{
    int n = 0;
    for (const LoggedExchange &e : exchanges)
        for (const auto &r : e.replies)
            n += r.second ? 1 : 0;
    return n;
}

class HealthEndToEndTest : public test::ConsoleOverSimulator {
protected:
    // The settings with the bound slots, the simulator with these faults on
    // ports/COM1, then the console's start. A console and a simulator that
    // ran before are stopped first: every start begins with fresh counters.
    void start(const QStringList &faults)
    {
        closeConsole();
        sim.stop();
        QFile::remove(logPath);
        SettingsModel model = lineSettings();
        for (std::size_t i = 0; i < BoundSlots.size(); ++i) {
            model.panel.IdText[std::size_t(BoundSlots[i])] = QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0'));
            model.panel.NameText[std::size_t(BoundSlots[i])] = QStringLiteral("Oven%1").arg(i + 1);
        }
        saveSettings(model);
        ASSERT_NO_FATAL_FAILURE(startSimulator(QStringLiteral("1-4"), faults));
        ASSERT_NO_FATAL_FAILURE(openConsole());
        ASSERT_NO_FATAL_FAILURE(showConsole());
    }

    void stopSimulator() { sim.stop(); }

    LineHealth &health() const { return window->health(); }
    SlotPicture &picture(int slot) const { return *window->Pic_All().Pic_Control(slot); }
    QString describe(int slot) const
    {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&picture(slot));
        return a ? a->text(QAccessible::Description) : QStringLiteral("(no accessible interface)");
    }
    const ControllerCounters &of(int id) const { return health().counters().of(std::uint8_t(id)); }

    // Every bound slot shows this mark (after the panel looked).
    bool allMarks(HealthMark mark) const
    {
        health().panel().refresh();
        for (int slot : BoundSlots)
            if (picture(slot).healthMark() != PanelHealth::markColour(mark))
                return false;
        return true;
    }
};

} // namespace

TEST_F(HealthEndToEndTest, EachControllersCountersEqualWhatTheSimulatorsLogSays)
{
    ASSERT_NO_FATAL_FAILURE(start({QStringLiteral("--drop-rate"), QStringLiteral("0.25"),
                                   QStringLiteral("--bad-crc-rate"), QStringLiteral("0.1"),
                                   QStringLiteral("--late-rate"), QStringLiteral("0.2"),
                                   QStringLiteral("--garbage-rate"), QStringLiteral("0.1"),
                                   QStringLiteral("--seed"), QStringLiteral("7")}));
    constexpr int Requests = 100;   // 25 turns of the four slots, about 10 s
    const bool ran = QTest::qWaitFor([&] { return requestsLogged() >= Requests; }, 60000);
    window->Timer_Read().setEnabled(false);
    QTest::qWait(50);   // the simulator logs the last request
    ASSERT_TRUE(ran);

    const std::vector<LoggedExchange> logged = exchangesOf(test::readTrafficLog(logPath));
    const int doubtful = doubtfulReplies(logged);
    ASSERT_LE(doubtful, 10) << "the simulator was too often late to judge";
    std::map<int, Counts> console;
    std::uint64_t sent = 0, judged = 0;
    for (int id = 1; id <= 4; ++id) {
        const ControllerCounters &c = of(id);
        console[id] = {c.sent, c.good, c.noAnswer, c.crcErrors, c.wrongReplies, c.exceptionReplies};
        EXPECT_EQ(c.notJudged, 0u) << "controller " << id;
        sent += c.sent;
        judged += c.judged();
    }
    // The last request was sent and is still awaited.
    EXPECT_EQ(sent, logged.size());
    EXPECT_EQ(judged + 1, sent);

    bool matched = false;
    std::map<int, Counts> expected;
    for (std::uint32_t choice = 0; choice < (1u << doubtful) && !matched; ++choice) {
        expected = countsOf(logged, choice);
        matched = expected == console;
    }
    for (int id = 1; id <= 4; ++id)
        EXPECT_EQ(console[id], expected[id]) << "controller " << id;
    EXPECT_TRUE(matched);

    // The kinds of fault happened, and the faults of one controller are
    // not another's: each had good replies and failures of its own.
    Counts total;
    for (int id = 1; id <= 4; ++id) {
        EXPECT_GT(console[id].good, 0u) << id;
        EXPECT_GT(console[id].noAnswer + console[id].crcErrors + console[id].wrongReplies, 0u) << id;
        total.noAnswer += console[id].noAnswer;
        total.crcErrors += console[id].crcErrors;
        total.wrongReplies += console[id].wrongReplies;
    }
    EXPECT_GT(total.noAnswer, 0u);
    EXPECT_GT(total.crcErrors, 0u);
    // A late reply alone in an exchange whose own reply was lost.
    EXPECT_GT(total.wrongReplies, 0u);

    // Reply times were taken at the port: 65 bytes at 19200 baud and the
    // simulator's 5 ms turnaround, about 42 ms, far from the tick's 100 ms.
    for (int id = 1; id <= 4; ++id) {
        const ControllerCounters &c = of(id);
        ASSERT_GT(c.timedReplies, 0u) << id;
        EXPECT_GE(*c.replyMean(), std::chrono::milliseconds(35)) << id;
        EXPECT_LE(*c.replyMean(), std::chrono::milliseconds(80)) << id;
        EXPECT_LE(c.replyLast, c.replyWorst);
    }

    // The ring holds the requests as they went over the line.
    const TrafficRing &ring = health().traffic();
    QByteArrayList ringRequests, logRequests;
    for (std::uint64_t n = ring.firstNumber(); n < ring.endNumber(); ++n)
        if (ring.at(n).direction == TrafficDirection::Sent)
            ringRequests << ring.at(n).bytes;
    for (const test::LoggedFrame &f : test::readTrafficLog(logPath))
        if (f.request)
            logRequests << f.bytes;
    EXPECT_EQ(ringRequests, logRequests);
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();
}

TEST_F(HealthEndToEndTest, SlotMarksTurnAmberAndRedAsTheRatesRiseAndOldValuesSaySo)
{
    // A clean line: every bound slot green, its values live.
    ASSERT_NO_FATAL_FAILURE(start({}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return of(4).good >= 8 && allMarks(HealthMark::Green); }, 30000));
    for (int slot : BoundSlots)
        EXPECT_EQ(picture(slot).oldValuesWord(), "") << slot;
    const QString described = describe(5);
    EXPECT_TRUE(described.startsWith("Controller ID 2, Oven2. PV ")) << described.toStdString();
    EXPECT_TRUE(described.endsWith("Health: green, the last polls were all answered.")) << described.toStdString();

    // Faults on the line: every slot amber, none red.
    ASSERT_NO_FATAL_FAILURE(start({QStringLiteral("--drop-rate"), QStringLiteral("0.2"),
                                   QStringLiteral("--bad-crc-rate"), QStringLiteral("0.1"),
                                   QStringLiteral("--garbage-rate"), QStringLiteral("0.1"),
                                   QStringLiteral("--seed"), QStringLiteral("3")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return allMarks(HealthMark::Amber); }, 30000));
    // The simulator goes: the port is gone, and what the slots show is old.
    stopSimulator();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        health().panel().refresh();
        for (int slot : BoundSlots)
            if (!window->Pic_All().shownValues(slot).isEmpty() && picture(slot).oldValuesWord() != "port lost")
                return false;
        return !port->PortOpen();
    }, 10000));
    EXPECT_TRUE(describe(0).endsWith("The values shown are old: the serial port is closed or gone."))
        << describe(0).toStdString();

    // Nothing answers: every slot red.
    ASSERT_NO_FATAL_FAILURE(start({QStringLiteral("--drop-rate"), QStringLiteral("1")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return allMarks(HealthMark::Red); }, 30000));
    EXPECT_EQ(describe(10), "Controller ID 3, Oven3. No values shown yet. Health: red, the last 5 polls or more "
                            "failed. Unacknowledged alarm: No reply.");
    EXPECT_TRUE(health().panel().tooltip(10).startsWith("ID 3 · ")) << health().panel().tooltip(10).toStdString();
}
