// The live side of the trends: the gap rule's poll period against the polling
// cycle's own waits, the history ring and the observer on the line.

#include "core/gap_rule.h"
#include "core/slot_history.h"
#include "core/trend_histories.h"

#include "base/error.h"
#include "core/polling_cycle.h"
#include "state/console.h"
#include "support/fake_serial_port.h"
#include "support/fakes.h"
#include "support/replies.h"
#include "support/spies.h"

#include <gtest/gtest.h>


using namespace orbalis;

namespace {

TrendSample at(qint64 ms, std::int16_t pv = 0, std::uint8_t flags = 0)
{
    TrendSample s;
    s.timeMs = ms;
    s.pv = pv;
    s.flags = flags;
    return s;
}

} // namespace

TEST(GapRule, LivePeriodIsThePollingCyclesWaitTimesTheBoundSlots)
{
    const struct {
        const char *baud;
        std::vector<int> boundSlots;
        qint64 periodMs;
    } cases[] = {
        {"19200", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, 1600},
        {"19200", {3}, 100},
        {"9600", {2, 7, 9}, 600},
        {"4800", {0, 15}, 800},
        {"2400", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, 12800},
        {"38400", {1, 2}, 200},   // the cycle keeps its startup wait of 100 ms
        {"19200", {}, 100},
    };
    for (const auto &c : cases) {
        std::array<std::uint8_t, SlotCount> ids{};
        for (int k : c.boundSlots)
            ids[std::size_t(k)] = std::uint8_t(k + 1);
        EXPECT_EQ(pollPeriodMs(QString::fromLatin1(c.baud), ids), c.periodMs) << c.baud << " " << c.boundSlots.size();
    }
}

TEST(GapRule, LiveIntervalIsTheOneThePollingCycleSets)
{
    for (const char *baud : {"2400", "4800", "9600", "19200"}) {
        Console console;
        test::FakeSerialPort port;
        test::FakeTimer timer{100};
        test::FakeStatus status;
        test::LiveValueStoreSpy store(console);
        test::SlotPainterSpy painter;
        console.line.attach(&port, &timer, nullptr);
        console.settings.serial.Baud = QString::fromLatin1(baud);
        console.slots.SlotId[4] = 9;
        port.setPortOpen(true);
        PollingCycle cycle(console, status, store, painter);
        cycle.Timer_Read_Timer();   // sends the live read of slot 4
        ASSERT_EQ(port.outputs.size(), 1) << baud;
        EXPECT_EQ(timer.interval(), liveIntervalMs(console.settings.serial.Baud)) << baud;
    }
}

TEST(GapRule, ALiveLineBreaksAfterMoreThanThreePeriodsOrWhenTheClockGoesBack)
{
    const struct {
        qint64 previous, now, period;
        bool breaks;
    } cases[] = {
        {0, 1600, 1600, false},   {0, 4800, 1600, false}, {0, 4801, 1600, true},
        {0, 300, 100, false},     {0, 301, 100, true},    {10000, 9999, 1600, true},
        {10000, 10000, 1600, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(breaksLine(c.previous, c.now, c.period), c.breaks) << c.previous << " -> " << c.now;
}

TEST(SlotHistory, KeepsTheNewestSamplesAndMarksItsGaps)
{
    SlotHistory h(4);
    EXPECT_TRUE(h.empty());
    const qint64 times[] = {1000, 2000, 3000, 7000, 8000, 7500};
    for (std::size_t k = 0; k < std::size(times); ++k)
        h.append(at(times[k], std::int16_t(k)), 1000);
    EXPECT_EQ(h.size(), 4u);
    EXPECT_EQ(h.appended(), 6u);
    EXPECT_EQ(h.oldest().pv, 2);
    EXPECT_EQ(h.newest().pv, 5);
    // 3000 -> 7000 is four periods: broken; 8000 -> 7500 went back: broken.
    const bool breaks[] = {false, true, false, true};
    for (std::size_t i = 0; i < h.size(); ++i)
        EXPECT_EQ(h[i].breaksBefore(), breaks[i]) << i;

    h.setControllerId(5);
    h.clear();
    EXPECT_TRUE(h.empty());
    EXPECT_EQ(h.appended(), 0u);
    EXPECT_EQ(h.controllerId(), 0);
    h.append(at(100000), 1000);
    EXPECT_FALSE(h.newest().breaksBefore());   // nothing before it to break from
}

TEST(TrendHistories, TakesOnlyGoodLiveRepliesOfEachSlot)
{
    Console console;
    test::FixedClock clock{QDateTime(QDate(2024, 3, 3), QTime(14, 3, 7, 250))};
    console.clock = &clock;
    console.settings.serial.Baud = QStringLiteral("19200");
    console.slots.SlotId[2] = 5;
    console.slots.SlotId[9] = 6;
    console.slots.Slot_DP_Code[2] = 49;
    console.slots.Slot_DP_Code[9] = 47;
    TrendHistories histories(console);
    std::vector<int> told;
    histories.onAppended([&](int slot) { told.push_back(slot); });

    const QByteArray reply = test::liveReply(5, {{4096, 12345}, {4097, 0xFFFB}, {4098, 553}, {4099, 0x0103}});
    const struct {
        Exchange exchange;
        int slot;
        LineOutcome outcome;
        QByteArray bytes;
        bool taken;
    } cases[] = {
        {Exchange::Live, 2, LineOutcome::Good, reply, true},
        {Exchange::Live, 2, LineOutcome::CrcError, reply, false},
        {Exchange::Live, 2, LineOutcome::NoAnswer, {}, false},
        {Exchange::Live, 2, LineOutcome::WrongReply, reply, false},
        {Exchange::Live, 2, LineOutcome::ExceptionReply, test::exceptionReply(5, 4, 2), false},
        {Exchange::ReadAll, 2, LineOutcome::Good, test::readAllReply(5), false},
        {Exchange::ReadOne, 2, LineOutcome::Good, test::readRequest(5, 10, 1), false},
        {Exchange::Scan, -1, LineOutcome::Good, reply, false},
        {Exchange::Live, 16, LineOutcome::Good, reply, false},
        {Exchange::Live, 2, LineOutcome::Good, reply.left(9), false},   // too short for the status word
        {Exchange::Live, 9, LineOutcome::Good, test::liveReply(6, {{4096, 0xFFFF}, {4099, 0x0004}}), true},
    };
    for (const auto &c : cases) {
        const std::size_t before = c.slot >= 0 && c.slot < SlotCount ? histories.history(c.slot).size() : 0;
        histories.replyJudged(c.exchange, c.slot, c.slot >= 0 && c.slot < SlotCount ? console.slots.SlotId[std::size_t(c.slot)] : 0,
                              c.bytes, c.outcome);
        if (c.slot >= 0 && c.slot < SlotCount) {
            EXPECT_EQ(histories.history(c.slot).size(), before + (c.taken ? 1 : 0))
                << int(c.exchange) << " " << int(c.outcome) << " slot " << c.slot;
        }
    }
    EXPECT_EQ(told, std::vector<int>({2, 9}));

    const TrendSample &s = histories.history(2).newest();
    EXPECT_EQ(s.timeMs, clock.now().toMSecsSinceEpoch());
    EXPECT_DOUBLE_EQ(s.pvValue(), 123.45);
    EXPECT_DOUBLE_EQ(s.svValue(), -0.05);
    EXPECT_DOUBLE_EQ(s.outputPercent(), 55.3);
    EXPECT_TRUE(s.alarm1());
    EXPECT_TRUE(s.alarm2());
    EXPECT_EQ(histories.history(2).controllerId(), 5);
    const TrendSample &t = histories.history(9).newest();
    EXPECT_DOUBLE_EQ(t.pvValue(), -1.0);
    EXPECT_FALSE(t.alarm1() || t.alarm2());

    // Two bound slots at 19200 baud: 200 ms a turn, so 601 ms is a gap.
    clock.set(clock.now().addMSecs(600));
    histories.replyJudged(Exchange::Live, 2, 5, reply, LineOutcome::Good);
    EXPECT_FALSE(histories.history(2).newest().breaksBefore());
    clock.set(clock.now().addMSecs(601));
    histories.replyJudged(Exchange::Live, 2, 5, reply, LineOutcome::Good);
    EXPECT_TRUE(histories.history(2).newest().breaksBefore());
    EXPECT_EQ(histories.history(2).size(), 3u);

    // The unit comes from reads of the parameters, for the controller read.
    const struct {
        Exchange exchange;
        QByteArray request;
        QByteArray reply;
        LineOutcome outcome;
        int askedId;
        const char *unit;
    } units[] = {
        {Exchange::ReadAll, test::readRequest(5, 0, 109), test::readAllReply(5, {{44, 45}}), LineOutcome::Good, 5, "oF"},
        {Exchange::ReadAll, test::readRequest(5, 0, 109), test::readAllReply(5, {{44, 44}}), LineOutcome::CrcError, 5, "oF"},
        {Exchange::ReadOne, test::readRequest(5, 45, 1), test::readReply(5, 3, {46}), LineOutcome::Good, 5, "oF"},
        {Exchange::ReadOne, test::readRequest(5, 44, 1), test::readReply(5, 3, {46}), LineOutcome::Good, 5, "Eng"},
        {Exchange::ReadAll, test::readRequest(5, 0, 109), test::readAllReply(5, {{44, 44}}), LineOutcome::Good, 5, "oC"},
        {Exchange::ReadAll, test::readRequest(5, 0, 109), test::readAllReply(5, {{44, 44}}), LineOutcome::Good, 8, ""},
    };
    for (const auto &u : units) {
        histories.requestSent(u.exchange, 2, 5, u.request);
        histories.replyJudged(u.exchange, 2, 5, u.reply, u.outcome);
        EXPECT_EQ(histories.unitText(2, u.askedId), QString::fromLatin1(u.unit)) << u.unit;
    }

    // The slot bound to another controller: its history starts anew.
    console.slots.SlotId[2] = 8;
    histories.replyJudged(Exchange::Live, 2, 8, test::liveReply(8, {{4096, 7}}), LineOutcome::Good);
    EXPECT_EQ(histories.history(2).size(), 1u);
    EXPECT_EQ(histories.history(2).controllerId(), 8);
    EXPECT_EQ(histories.history(2).newest().pv, 7);
}
