// The traffic ring as a plain class: what it keeps, in which order, how long,
// and how a frame reads in the view and in a saved file.

#include "core/traffic_ring.h"
#include "core/traffic_text.h"
#include "support/manual_clock.h"
#include "support/replies.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace orbalis::test;

namespace {

qint64 fixedWall()
{
    return QDateTime(QDate(2024, 5, 1), QTime(12, 0, 0, 500)).toMSecsSinceEpoch();
}

struct RingCase {
    const char *name;
    std::size_t capacity;
    int requests;   // each answered well
    std::size_t size;
    std::uint64_t first, end;
};

class TrafficRingTable : public ::testing::TestWithParam<RingCase> {};

TEST_P(TrafficRingTable, KeepsTheLastFramesInOrder)
{
    const RingCase &c = GetParam();
    TrafficRing ring(nullptr, c.capacity);
    for (int i = 0; i < c.requests; ++i) {
        const auto id = std::uint8_t(1 + i % 16);
        ring.requestSent(Exchange::Live, i % 16, id, liveRequest(id));
        ring.replyJudged(Exchange::Live, i % 16, id, liveReply(id), LineOutcome::Good);
    }
    EXPECT_EQ(ring.size(), c.size);
    EXPECT_EQ(ring.firstNumber(), c.first);
    EXPECT_EQ(ring.endNumber(), c.end);
    // Frame n is the request or the reply of exchange n / 2, whatever was dropped.
    for (std::uint64_t n = ring.firstNumber(); n < ring.endNumber(); ++n) {
        const TrafficFrame &f = ring.at(n);
        const auto id = std::uint8_t(1 + (n / 2) % 16);
        EXPECT_EQ(f.id, id) << n;
        EXPECT_EQ(f.direction, n % 2 == 0 ? TrafficDirection::Sent : TrafficDirection::Received) << n;
        EXPECT_EQ(f.bytes, n % 2 == 0 ? liveRequest(id) : liveReply(id)) << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Health, TrafficRingTable,
                         ::testing::Values(RingCase{"empty", 10, 0, 0, 0, 0},
                                           RingCase{"not full", 10, 3, 6, 0, 6},
                                           RingCase{"exactly full", 10, 5, 10, 0, 10},
                                           RingCase{"wrapped once", 10, 7, 10, 4, 14},
                                           RingCase{"wrapped many times", 4, 1001, 4, 1998, 2002},
                                           RingCase{"the console's ring", TrafficRing::DefaultCapacity, 6000,
                                                    10000, 2000, 12000}),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(TrafficRing, ClearForgetsTheFramesAndNumberingGoesOn)
{
    TrafficRing ring(nullptr, 8);
    for (int i = 0; i < 5; ++i)
        ring.requestSent(Exchange::Live, 0, 1, liveRequest(1));
    ring.clear();
    EXPECT_EQ(ring.size(), 0u);
    EXPECT_EQ(ring.firstNumber(), 5u);
    EXPECT_EQ(ring.at(2).bytes, QByteArray());   // the bytes are let go
    ring.requestSent(Exchange::Write, 0, 2, writeRequest(2, 0, 250));
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_EQ(ring.at(5).exchange, Exchange::Write);
}

TEST(TrafficRing, KeepsNoMoreThanTheBytesOfAFrame)
{
    // What a read off the port looks like: a few bytes in a large block.
    QByteArray read;
    read.reserve(16384);
    read.append(liveReply(1));
    TrafficRing ring(nullptr, 4);
    ring.requestSent(Exchange::Live, 0, 1, liveRequest(1));
    ring.replyJudged(Exchange::Live, 0, 1, read, LineOutcome::Good);
    EXPECT_EQ(ring.at(1).bytes, liveReply(1));
    EXPECT_LT(ring.at(1).bytes.capacity(), 128);
}

// Garbage on the line comes as replies of any length. A frame keeps its
// first bytes and the count of the rest, and says so wherever it is shown;
// the ring as a whole keeps a bounded number of bytes, dropping its oldest
// frames for them.
TEST(TrafficRing, AFloodOfBytesIsBoundedPerFrameAndInAll)
{
    QByteArray garbage(11 * 1024 * 1024, '\0');
    for (qsizetype k = 0; k < garbage.size(); ++k)
        garbage[k] = char(k * 7 + k / 251);
    const struct {
        qsizetype size;
        qsizetype kept;
        const char *textBeforeBytes;
    } cases[] = {
        {1, 1, ""},
        {223, 223, ""},   // a read-all reply: whole
        {256, 256, ""},
        {257, 256, "(257 bytes, first 256 kept) "},
        {4096, 256, "(4096 bytes, first 256 kept) "},
        {garbage.size(), 256, "(11534336 bytes, first 256 kept) "},
    };
    TrafficRing ring(nullptr);
    for (const auto &c : cases) {
        ring.replyJudged(Exchange::Scan, -1, 3, garbage.first(c.size), LineOutcome::CrcError);
        const TrafficFrame &f = ring.at(ring.endNumber() - 1);
        EXPECT_TRUE(f.bytes == garbage.first(c.kept)) << c.size;
        EXPECT_EQ(f.bytesLeftOut, std::uint32_t(c.size - c.kept)) << c.size;
        EXPECT_EQ(frameBytesText(f), c.size == c.kept ? bytesText(f.bytes)
                                                     : c.textBeforeBytes + bytesText(f.bytes) + QStringLiteral(" \u2026"))
            << c.size;
        EXPECT_TRUE(trafficLine(f).endsWith(frameBytesText(f))) << c.size;
    }

    // A flood of 44 MB in reads of 4 KB: the newest frames stay, within the bound.
    const int reads = 11000;
    auto read = [&](int k) { return garbage.sliced(qsizetype(k) * 4096 % (garbage.size() - 4096), 4096); };
    for (int k = 0; k < reads; ++k)
        ring.replyJudged(Exchange::Live, 0, 1, read(k), LineOutcome::CrcError);
    std::size_t held = 0;
    for (std::uint64_t n = ring.firstNumber(); n < ring.endNumber(); ++n)
        held += std::size_t(ring.at(n).bytes.size());
    EXPECT_EQ(ring.heldBytes(), held);
    EXPECT_EQ(held, TrafficRing::MaxHeldBytes);
    EXPECT_EQ(ring.size(), TrafficRing::MaxHeldBytes / TrafficRing::MaxFrameBytes);
    EXPECT_TRUE(ring.at(ring.endNumber() - 1).bytes == read(reads - 1).first(256));

    // Polling again: every frame whole, and the ring fills up to its frames.
    for (std::size_t k = 0; k < TrafficRing::DefaultCapacity / 2; ++k) {
        ring.requestSent(Exchange::Live, 0, 1, liveRequest(1));
        ring.replyJudged(Exchange::Live, 0, 1, liveReply(1), LineOutcome::Good);
    }
    EXPECT_EQ(ring.size(), TrafficRing::DefaultCapacity);
    EXPECT_EQ(ring.heldBytes(), TrafficRing::DefaultCapacity / 2 * std::size_t(liveRequest(1).size() + liveReply(1).size()));
    ring.clear();
    EXPECT_EQ(ring.heldBytes(), 0u);
}

TEST(TrafficRing, NoAnswerCountsOnlyAfterARequestButBytesAlwaysShow)
{
    TrafficRing ring(nullptr, 16);
    // The write cycle checks a reply after a value that did not fit: nothing went out.
    ring.replyJudged(Exchange::Write, 0, 1, {}, LineOutcome::NoAnswer);
    EXPECT_EQ(ring.size(), 0u);
    // But bytes on the line are traffic, whoever waited for them.
    ring.replyJudged(Exchange::Scan, -1, 3, bytes({0x01, 0x02, 0x03}), LineOutcome::CrcError);
    EXPECT_EQ(ring.size(), 1u);
    ring.requestSent(Exchange::Live, 0, 1, liveRequest(1));
    ring.replyJudged(Exchange::Live, 0, 1, {}, LineOutcome::NoAnswer);
    ASSERT_EQ(ring.size(), 3u);
    EXPECT_EQ(ring.at(2).outcome, LineOutcome::NoAnswer);
    // One check per request: a second one finds nothing awaited.
    ring.replyJudged(Exchange::Live, 0, 1, {}, LineOutcome::NoAnswer);
    EXPECT_EQ(ring.size(), 3u);
}

TEST(TrafficRing, ARepliesTimeIsWhenItsLastByteCame)
{
    FakeSerialPort port;
    ManualClock clock;
    TrafficRing ring(&port, 16, clock.fn(), &fixedWall);
    ring.requestSent(Exchange::Live, 0, 5, liveRequest(5));
    EXPECT_EQ(ring.at(0).wallMs, fixedWall());
    // The port saw the reply 46 ms after the request's end; the tick judges it 34 ms later.
    port.times.requestEnd = clock.now - 80ms;
    port.times.lastByte = clock.now - 34ms;
    ring.replyJudged(Exchange::Live, 0, 5, liveReply(5), LineOutcome::Good);
    EXPECT_EQ(ring.at(1).wallMs, fixedWall() - 34);
    EXPECT_EQ(ring.at(1).replyUs, 46000);
    // A port that cannot tell: the time of the check, no reply time.
    port.times = {};
    ring.requestSent(Exchange::Live, 0, 5, liveRequest(5));
    ring.replyJudged(Exchange::Live, 0, 5, liveReply(5), LineOutcome::Good);
    EXPECT_EQ(ring.at(3).wallMs, fixedWall());
    EXPECT_EQ(ring.at(3).replyUs, -1);
}

TEST(TrafficText, FramesReadAsInTheViewAndTheSavedFile)
{
    TrafficFrame tx;
    tx.wallMs = fixedWall();
    tx.bytes = liveRequest(1);
    tx.exchange = Exchange::Live;
    tx.id = 1;
    EXPECT_EQ(trafficTimeText(tx.wallMs), "12:00:00.500");
    EXPECT_EQ(functionText(tx.bytes), "04");
    EXPECT_EQ(bytesText(tx.bytes), "01 04 10 00 00 1E 74 C2");
    EXPECT_EQ(frameOutcomeText(tx), "");
    EXPECT_EQ(trafficLine(tx), "2024-05-01 12:00:00.500  TX  ID   1  live values  04                          "
                               "01 04 10 00 00 1E 74 C2");

    TrafficFrame rx = tx;
    rx.direction = TrafficDirection::Received;
    rx.bytes = exceptionReply(12, 6, 2);
    rx.exchange = Exchange::Write;
    rx.outcome = LineOutcome::ExceptionReply;
    rx.replyUs = 12600;
    rx.id = 12;
    EXPECT_EQ(frameOutcomeText(rx), "Exception reply, 13 ms");
    EXPECT_EQ(trafficLine(rx), "2024-05-01 12:00:00.500  RX  ID  12  write        86  Exception reply, 13 ms  "
                                   + bytesText(rx.bytes));
    EXPECT_TRUE(bytesText(rx.bytes).startsWith("0C 86 02 "));

    TrafficFrame none = rx;
    none.bytes.clear();
    none.outcome = LineOutcome::NoAnswer;
    none.replyUs = -1;
    none.exchange = Exchange::ReadAll;
    EXPECT_EQ(functionText(none.bytes), "");
    EXPECT_EQ(trafficLine(none), "2024-05-01 12:00:00.500  RX  ID  12  read all         No answer");

    const std::pair<LineOutcome, const char *> outcomes[] = {
        {LineOutcome::Good, "Good"}, {LineOutcome::NoAnswer, "No answer"}, {LineOutcome::CrcError, "CRC error"},
        {LineOutcome::WrongReply, "Wrong reply"}, {LineOutcome::ExceptionReply, "Exception reply"}};
    for (const auto &[o, text] : outcomes)
        EXPECT_EQ(outcomeText(o), text);
    const std::pair<Exchange, const char *> exchanges[] = {{Exchange::Live, "live values"},
                                                           {Exchange::ReadOne, "read one"},
                                                           {Exchange::ReadAll, "read all"},
                                                           {Exchange::Write, "write"},
                                                           {Exchange::Scan, "scan"}};
    for (const auto &[e, text] : exchanges)
        EXPECT_EQ(exchangeText(e), text);
}

} // namespace
