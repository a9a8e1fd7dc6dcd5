// Polling at the speed of the line: when the next request goes out after
// each kind of reply, at each baud rate, on a timeline that moves only when
// the test says; and what stays as it was (slot order, texts, the parameter
// reads, the write cycle's hold on the line, the choice in Orbalis.ini).

#include "base/error_trap.h"
#include "core/console_core.h"
#include "core/line_rate.h"
#include "core/line_watch.h"
#include "core/polling_cycle.h"
#include "core/record_format.h"
#include "link/qt_serial_port.h"
#include "settings/settings_store.h"
#include "state/console.h"
#include "support/core_app.h"
#include "support/fake_parameter_window.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/files.h"
#include "support/line_state.h"
#include "support/replies.h"
#include "support/simulator.h"
#include "support/spies.h"
#include "support/timeline.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

using namespace orbalis;

namespace {

using test::bytes;
using test::liveReply;
using test::liveRequest;

// A request as the port saw it, and when.
struct Sent {
    std::int64_t at;
    QByteArray request;
};

// The polling cycle and the pacer wired as the console wires them, on a
// timeline: Timer_Read's timeout runs a tick, the pacer's early timer runs
// its early tick, the port tells the pacer of every arrival.
class Rig {
public:
    Rig()
    {
        console.line.attach(&port, &timerRead, nullptr);
        console.lineObservers.add(&pacer);
        console.lineRate = {true, 2};
        console.slots.Slot_DP_Code.fill(47);
        useBaud("19200");
        timerRead.onTimeout([this] { tick(); });
        early.onTimeout([this] { pacer.earlyTickDue(); });
        port.onBytesArrived([this] { pacer.bytesArrived(); });
        port.onOutput = [this](const QByteArray &request) {
            sent.push_back({timeline.now(), request});
            if (answer)
                answer(request);
        };
        port.setPortOpen(true);
    }
    ~Rig() { console.lineObservers.remove(&pacer); }
    Rig(const Rig &) = delete;
    Rig &operator=(const Rig &) = delete;

    void useBaud(const QString &baud)
    {
        console.settings.serial = {QStringLiteral("COM1"), baud, QStringLiteral("2"), QStringLiteral("8"),
                                   QStringLiteral("None")};
        port.setSettings(baud + QStringLiteral(",N,8,2"));
    }
    void bind(int slot, int id) { console.slots.SlotId[std::size_t(slot)] = std::uint8_t(id); }
    // Polling starts now, as the console starts it, and its first tick sends.
    void startPolling()
    {
        timerRead.setEnabled(true);
        tick();
    }
    void tick()
    {
        pacer.tickStarts();
        cycle.Timer_Read_Timer();
    }
    // Bytes that come in at `when`.
    void arrive(std::int64_t when, const QByteArray &part)
    {
        timeline.at(when, [this, part] { port.deliver(part); });
    }
    std::vector<std::int64_t> sendTimes() const
    {
        std::vector<std::int64_t> times;
        for (const Sent &s : sent)
            times.push_back(s.at);
        return times;
    }

    Console console;
    test::Timeline timeline;
    test::Timeline::Timer timerRead{timeline, 100};
    test::Timeline::Timer early{timeline, 100};
    test::FakeSerialPort port;
    test::FakeStatus status;
    test::LiveValueStoreSpy store{console};
    test::SlotPainterSpy painter;
    PollingCycle cycle{console, status, store, painter};
    LineRate pacer{console, early, [this] { tick(); }};
    std::vector<Sent> sent;
    std::function<void(const QByteArray &request)> answer;
};

class LineRateTest : public ::testing::Test, public Rig {};

// The kinds of reply, and how each ends the wait.
enum class Reply {
    Whole,          // the 65 bytes of the live values
    InTwoParts,     // the same, its first 20 bytes 15 ms earlier
    Refusal,        // the controller's 5-byte exception reply
    Garbled,        // 65 bytes with a broken CRC: no further byte mends it
    NoiseAhead,     // 3 bytes of noise, then the whole reply: longer than the answer
    NoiseAfter,     // the whole reply, and a stray byte 3 ms later
    Partial,        // the first 40 bytes only
    None,           // nothing at all
    BrokenRefusal,  // 5 bytes that look like a refusal but fail the CRC: more may come
    OtherController,  // a late answer of controller 6: the asked one may still answer
};

TEST(LineRateTiming, TheNextRequestGoesAfterTheReplyAndThePauseOrAtTheWholeWait)
{
    // At each rate: the live-value wait, the pause after a reply (3.5
    // characters of 11 bits rounded up to whole ms, and the 2 ms guard), and
    // when the reply's last byte comes (8 + 65 bytes on the line and 5 ms).
    const struct Rate {
        const char *baud;
        std::int64_t wait, pause, replyEnd;
    } rates[] = {{"19200", 100, 3 + 2, 47}, {"9600", 200, 5 + 2, 89}, {"4800", 400, 9 + 2, 178},
                 {"2400", 800, 17 + 2, 340}};
    const struct Case {
        Reply reply;
        bool early;   // ended: the pause after its last byte; else the whole wait
        std::int64_t lastByteAfterEnd;
    } cases[] = {
        {Reply::Whole, true, 0},   {Reply::InTwoParts, true, 0}, {Reply::Refusal, true, 0},
        {Reply::Garbled, true, 0}, {Reply::NoiseAhead, true, 0}, {Reply::NoiseAfter, true, 3},
        {Reply::Partial, false, 0}, {Reply::None, false, 0},     {Reply::BrokenRefusal, false, 0},
        {Reply::OtherController, false, 0},
    };
    QByteArray garbled = liveReply(7);
    garbled[64] = char(garbled[64] ^ 0x5A);
    QByteArray brokenRefusal = test::exceptionReply(7, 4, 2);
    brokenRefusal[4] = char(brokenRefusal[4] ^ 1);

    for (const Rate &rate : rates) {
        for (const Case &c : cases) {
            for (const bool on : {true, false}) {
                SCOPED_TRACE(testing::Message() << rate.baud << " baud, reply kind " << int(c.reply)
                                                << (on ? ", line rate" : ", fixed waits"));
                Rig r;
                r.console.lineRate.on = on;
                r.useBaud(QString::fromLatin1(rate.baud));
                r.bind(0, 7);
                r.startPolling();
                const std::int64_t end = rate.replyEnd;
                switch (c.reply) {
                case Reply::Whole: r.arrive(end, liveReply(7)); break;
                case Reply::InTwoParts:
                    r.arrive(end - 15, liveReply(7).first(20));
                    r.arrive(end, liveReply(7).sliced(20));
                    break;
                case Reply::Refusal: r.arrive(end, test::exceptionReply(7, 4, 2)); break;
                case Reply::Garbled: r.arrive(end, garbled); break;
                case Reply::NoiseAhead: r.arrive(end, bytes({0x55, 0x55, 0x55}) + liveReply(7)); break;
                case Reply::NoiseAfter:
                    r.arrive(end, liveReply(7));
                    r.arrive(end + 3, bytes({0}));
                    break;
                case Reply::Partial: r.arrive(end, liveReply(7).first(40)); break;
                case Reply::None: break;
                case Reply::BrokenRefusal: r.arrive(end, brokenRefusal); break;
                case Reply::OtherController: r.arrive(end, liveReply(6)); break;
                }
                r.timeline.runUntil(3 * rate.wait);

                const std::int64_t next =
                    on && c.early ? end + c.lastByteAfterEnd + rate.pause : rate.wait;
                // The second request gets no answer: it has the whole wait,
                // counted from the tick that sent it.
                ASSERT_GE(r.sent.size(), 3u);
                EXPECT_EQ(r.sent[0].at, 0);
                EXPECT_EQ(r.sent[1].at, next);
                EXPECT_EQ(r.sent[2].at, next + rate.wait);
                for (const Sent &s : r.sent)
                    EXPECT_EQ(s.request, liveRequest(7));
            }
        }
    }
}

TEST_F(LineRateTest, ThePauseFollowsTheBaudRateSetBetweenTwoReplies)
{
    console.lineRate.on = true;
    useBaud(QStringLiteral("19200"));
    bind(0, 7);
    startPolling();
    arrive(47, liveReply(7));
    timeline.at(48, [this] { useBaud(QStringLiteral("2400")); });
    // The tick at 47 + 5 sends at 2400 baud; its reply's pause is 17 + 2 ms.
    arrive(52 + 340, liveReply(7));
    timeline.runUntil(500);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[1].at, 52);
    EXPECT_EQ(sent[2].at, 52 + 340 + 19);
}

TEST_F(LineRateTest, AReplyThatEndsTooLateForThePauseIsJudgedAtTheWholeWaitAsBefore)
{
    bind(0, 7);
    startPolling();
    arrive(97, liveReply(7));   // 97 + 5 would be later than the wait of 100
    timeline.runUntil(150);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[1].at, 100);
    EXPECT_EQ(pacer.earlyTicks(), 0);
    EXPECT_EQ(status.text(2), QStringLiteral("Read PV ... Check CRC Ok !"));
}

TEST_F(LineRateTest, SlotsGoRoundInTheirOrderWithTheSameTextsAndPaintsOnlySooner)
{
    // Three controllers that answer 47 ms after each request, polled first
    // at the fixed waits and then at line rate.
    struct Run {
        std::vector<QByteArray> requests;
        std::vector<QString> texts;
        std::vector<int> painted;
        std::vector<std::int64_t> times;
    };
    auto run = [this](bool on) {
        Run r;
        console.lineRate.on = on;
        console.line.dropExchange();
        test::pollSlotTo(console.line, 0);
        sent.clear();
        painter.painted.clear();
        bind(2, 5);
        bind(7, 9);
        bind(9, 11);
        answer = [this](const QByteArray &request) {
            arrive(timeline.now() + 47, liveReply(std::uint8_t(request[0])));
        };
        status.panels.clear();
        const std::int64_t start = timeline.now();
        startPolling();
        for (int i = 0; i < 7; ++i) {
            const std::size_t before = sent.size();
            while (sent.size() == before)
                timeline.runUntil(timeline.now() + 1);
            r.texts.push_back(status.text(1) + u'|' + status.text(2));
        }
        for (const Sent &s : sent) {
            r.requests.push_back(s.request);
            r.times.push_back(s.at - start);
        }
        r.painted = painter.painted;
        timerRead.setEnabled(false);
        answer = nullptr;
        timeline.runUntil(timeline.now() + 1000);   // the last replies come and go
        port.received.clear();
        return r;
    };
    const Run fixed = run(false);
    const Run fast = run(true);
    EXPECT_EQ(fast.requests, fixed.requests);
    EXPECT_EQ(fast.texts, fixed.texts);
    EXPECT_EQ(fast.painted, fixed.painted);
    EXPECT_EQ(fixed.painted, (std::vector<int>{2, 7, 9, 2, 7, 9, 2}));
    EXPECT_EQ(fixed.times, (std::vector<std::int64_t>{0, 100, 200, 300, 400, 500, 600, 700}));
    EXPECT_EQ(fast.times, (std::vector<std::int64_t>{0, 52, 104, 156, 208, 260, 312, 364}));
    EXPECT_EQ(fast.texts.back(), QStringLiteral("No.3 Slot ; ID = 5|Read PV ... Check CRC Ok !"));
}

TEST_F(LineRateTest, TheParameterWindowsReadsGoAtLineRateToo)
{
    test::FakeParameterWindow window;
    console.parameterWindow = &window;
    bind(0, 7);
    console.line.showParametersOf(0);
    startPolling();
    arrive(47, liveReply(7));
    // "Read All Parameters" while the live reply is on its way: the read
    // goes once that reply has ended, not a whole wait after the click.
    timeline.at(20, [this] { console.line.readAllParametersNext(); });
    timeline.runUntil(52);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].request, test::readRequest(7, 0, 109));
    EXPECT_EQ(window.panels.text(2), QStringLiteral("Read All Parameters Please Wait ... "));
    // 8 + 223 bytes and 5 ms at 19200 baud end 137 ms after the request.
    arrive(52 + 137, test::readAllReply(7));
    timeline.runUntil(400);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[2].at, 52 + 137 + 5);
    EXPECT_EQ(sent[2].request, liveRequest(7));
    EXPECT_EQ(window.panels.text(2), QStringLiteral("Read All Parameters Please Wait ... Check CRC Ok !"));
    console.parameterWindow = nullptr;
}

TEST_F(LineRateTest, NothingComesEarlyWhileTheWriteCycleHoldsTheLineOrTheChoiceIsOff)
{
    bind(0, 7);
    startPolling();
    arrive(47, liveReply(7));
    timeline.at(10, [this] { console.line.writeTakesLine(WriteMode::Single); });
    timeline.runUntil(500);
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(pacer.earlyTicks(), 0);

    // Switched off while a reply is on its way: the whole wait.
    console.line.resumeLivePolling();
    const std::int64_t start = timeline.now();
    tick();
    arrive(start + 47, liveReply(7));
    timeline.at(start + 30, [this] { console.lineRate.on = false; });
    timeline.runUntil(start + 150);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].at, start + 100);
}

TEST(LineRatePause, ThreeAndAHalfCharactersRoundedUpAndTheGuard)
{
    const struct {
        const char *settings;
        int guard;
        std::optional<int> ms;
    } cases[] = {
        {"19200,N,8,2", 2, 5}, // 2.005 ms
        {"19200,N,8,1", 2, 4}, // 1.823 ms
        {"9600,E,8,1", 0, 5},  // 4.010 ms
        {"2400,N,8,2", 2, 19}, // 16.04 ms
        {"57600,N,8,1", 2, 3}, // 0.608 ms
        {"nonsense", 2, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LineRate::pauseAfterReplyMs(QString::fromLatin1(c.settings), c.guard), c.ms) << c.settings;
}

TEST(LineRateChoice, KeptInOrbalisIniWithDefaultsForWhatIsMissingOrMeaningless)
{
    const struct {
        const char *ini;   // nullptr: no file
        bool on;
        int guardMs;
    } cases[] = {
        {nullptr, false, 2},
        {"[line]\nline_rate=true\n", true, 2},
        {"[line]\nline_rate=1\nguard_ms=7\n", true, 7},
        {"[line]\nline_rate=false\nguard_ms=0\n", false, 0},
        {"[line]\nline_rate=maybe\nguard_ms=abc\n", false, 2},
        {"[line]\nguard_ms=-1\n", false, 2},
        {"[line]\nguard_ms=5000\n", false, 2},
        {"[alarms]\nsound=false\n", false, 2},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        if (c.ini)
            test::writeFile(dir.filePath(QStringLiteral("Orbalis.ini")), c.ini);
        const LineRateChoice choice = LineRate::readChoice(dir.path());
        EXPECT_EQ(choice.on, c.on) << (c.ini ? c.ini : "no file");
        EXPECT_EQ(choice.guardMs, c.guardMs) << (c.ini ? c.ini : "no file");
    }

    // Stored at once, beside what else the file holds; User Setting.ini is
    // not made or touched for it.
    QTemporaryDir dir;
    test::writeFile(dir.filePath(QStringLiteral("Orbalis.ini")), "[alarms]\nsound=false\n");
    LineRate::storeChoice(dir.path(), {true, 2});
    EXPECT_EQ(LineRate::readChoice(dir.path()).on, true);
    const QByteArray stored = test::readFile(dir.filePath(QStringLiteral("Orbalis.ini")));
    EXPECT_TRUE(stored.contains("sound=false")) << stored.constData();
    EXPECT_TRUE(stored.contains("guard_ms=2")) << stored.constData();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("User Setting.ini"))));
}

} // namespace

namespace {

TEST(LineRateOverTheSimulator, RequestsFollowTheRepliesInTheirOrderAndNeverOverlapThem)
{
    test::coreApp();
    if (!test::simulatorBuilt())
        GTEST_SKIP() << "orbalis-sim is not built next to the tests";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Console console;
    console.programDir = dir.path();
    const test::FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7))};
    console.clock = &clock;
    SettingsModel model;
    model.serial = {QStringLiteral("COM1"), QStringLiteral("19200"), QStringLiteral("2"), QStringLiteral("8"),
                    QStringLiteral("None")};
    for (int k = 0; k < 4; ++k)
        model.panel.IdText[std::size_t(k)] = QStringLiteral("00%1").arg(k + 1);
    Fill_Default_Settings(model);
    saveSettingsRecords(console.settingsPath(), {1, 2, 3, 4, 5, 6, 7}, model);
    test::writeFile(dir.filePath(QStringLiteral("Orbalis.ini")), "[line]\nline_rate=true\n");
    const QString log = dir.filePath(QStringLiteral("traffic.log"));
    test::SimulatedLine sim;
    ASSERT_TRUE(sim.start(dir.path(), 1, {QStringLiteral("--ids"), QStringLiteral("1-4"), QStringLiteral("--log"), log}))
        << sim.said().constData();

    QtSerialPort port{ComPortResolver(dir.path())};
    test::FakeReporter reporter;
    int good = 0;
    {
        ConsoleCore core(console, port);
        ErrorTrap trap(reporter, QStringLiteral("ConsoleCore"));
        core.start(trap);
        ASSERT_TRUE(port.PortOpen());
        ASSERT_TRUE(console.lineRate.on);
        console.slots.Record_Flag[2] = true;
        const LineCounters &counters = core.watch().counters();
        auto goodReplies = [&] {
            int n = 0;
            for (int id = 1; id <= 4; ++id)
                n += int(counters.of(std::uint8_t(id)).good);
            return n;
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return goodReplies() >= 24; }, 20000)) << goodReplies();
        core.stop(trap);
        good = goodReplies();
        EXPECT_GT(core.lineRate().earlyTicks(), 0);
    }
    sim.stop();
    EXPECT_TRUE(reporter.messages.isEmpty()) << reporter.messages.join(u'\n').toStdString();

    const QList<test::LoggedFrame> frames = test::readTrafficLog(log);
    ASSERT_GE(frames.size(), 48);
    std::vector<int> ids;
    std::vector<qint64> intervals;
    qsizetype replies = 0;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const test::LoggedFrame &f = frames[i];
        if (!f.request) {
            ++replies;
            continue;
        }
        ids.push_back(std::uint8_t(f.bytes[0]));
        if (i == 0)
            continue;
        // The simulator logs a request 3.5 characters (2 ms) after its last
        // byte and a reply when its last byte is on the line: a request that
        // began while the reply was arriving would be logged at most 1 ms
        // (their rounding) after it.
        const test::LoggedFrame &before = frames[i - 1];
        EXPECT_FALSE(before.request) << "request " << i << " went out before the last one's reply";
        EXPECT_GE(before.at.msecsTo(f.at), 4) << "request " << i;
        if (i >= 2)
            intervals.push_back(frames[i - 2].at.msecsTo(f.at));
    }
    // Round the four controllers in their order.
    for (std::size_t k = 0; k < ids.size(); ++k)
        EXPECT_EQ(ids[k], int(k % 4) + 1) << "request " << k;
    // Most requests come sooner than the fixed wait of 100 ms would send
    // them (a loaded machine may hold back a few).
    std::sort(intervals.begin(), intervals.end());
    ASSERT_FALSE(intervals.empty());
    EXPECT_LT(intervals[intervals.size() / 2], 90);
    EXPECT_GE(replies, good);

    // One record line per good reply of the recorded controller, as before.
    const QByteArray recorded = test::readFile(dir.filePath(recordFileName(clock.now().date(), 3)));
    const qsizetype controller3 = std::count(ids.begin(), ids.end(), 3);
    EXPECT_GE(recorded.count('\n') - 1, controller3 - 1);
    EXPECT_LE(recorded.count('\n') - 1, controller3);
}

} // namespace
