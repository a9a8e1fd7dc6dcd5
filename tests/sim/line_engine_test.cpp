#include "sim/controller_registers.h"
#include "sim/line_engine.h"
#include "sim/traffic_log.h"

#include "link/frames.h"
#include "support/replies.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace orbalis::sim {
namespace {

using namespace std::chrono_literals;
using test::requestFrame;

int Register(const QByteArray &reply, int k)
{
    return std::uint8_t(reply[3 + 2 * k]) << 8 | std::uint8_t(reply[4 + 2 * k]);
}

// A bank of controllers 1 and 2 on a line at 19200 baud, driven in simulated time.
class LineEngineTest : public ::testing::Test {
protected:
    explicit LineEngineTest(FaultRates faults = {}) : engine(bank, {5ms, faults, 7}, nullptr) {}

    // Sends a request at the current time and lets time run until the
    // reply is complete (or one second passed); returns what came back.
    QByteArray Exchange(const QByteArray &request, int baud = 19200)
    {
        engine.receive(request, now, baud);
        QByteArray out;
        const Micros until = now + 1s;
        while (now < until) {
            now += 1ms;
            engine.advance(now, baud);
            out += engine.takeDue(now);
        }
        return out;
    }

    ControllerBank bank{{1, 2}, 3};
    LineEngine engine;
    Micros now{0};
};

TEST_F(LineEngineTest, ReadsAnswerWithTheRegistersOfTheAddressedController)
{
    const QByteArray live = Exchange(requestFrame(1, 4, 4096, 30));
    ASSERT_EQ(live.size(), 65);
    EXPECT_TRUE(hasValidCrc(live));
    EXPECT_EQ(live.left(3), QByteArray::fromHex("01043C"));
    EXPECT_EQ(Register(live, 1), 1000);     // SV 100.0
    EXPECT_EQ(Register(live, 3), 0x0400);   // status: ON, no error, no alarm

    const QByteArray all = Exchange(requestFrame(2, 3, 0, 109));
    ASSERT_EQ(all.size(), 223);
    EXPECT_TRUE(hasValidCrc(all));
    for (int a = 0; a < 109; ++a)
        EXPECT_EQ(Register(all, a), bank.at(1).holding(a)) << "address " << a;
    EXPECT_EQ(Register(all, reg::ID), 2);

    const QByteArray one = Exchange(requestFrame(1, 3, reg::DP, 1));
    EXPECT_EQ(one, withCrc(QByteArray::fromHex("01030200") + char(48)));
}

TEST_F(LineEngineTest, ExceptionsNameTheFaultOfTheRequest)
{
    const auto exception = test::exceptionReply;
    EXPECT_EQ(Exchange(requestFrame(1, 3, 0, 0)), exception(1, 3, 3));        // count 0
    EXPECT_EQ(Exchange(requestFrame(1, 3, 0, 126)), exception(1, 3, 3));      // count above 125
    EXPECT_EQ(Exchange(requestFrame(1, 3, 100, 10)), exception(1, 3, 2));     // runs past 108
    EXPECT_EQ(Exchange(requestFrame(1, 3, 4096, 1)), exception(1, 3, 2));     // input via function 3
    EXPECT_EQ(Exchange(requestFrame(1, 4, 4095, 2)), exception(1, 4, 2));
    EXPECT_EQ(Exchange(requestFrame(1, 4, 4120, 7)), exception(1, 4, 2));     // runs past 4125
    EXPECT_EQ(Exchange(requestFrame(1, 4, 0, 1)), exception(1, 4, 2));
    EXPECT_EQ(Exchange(requestFrame(1, 6, 4096, 5)), exception(1, 6, 2));     // input is read only
    EXPECT_EQ(Exchange(requestFrame(1, 6, 109, 5)), exception(1, 6, 2));
    EXPECT_EQ(Exchange(requestFrame(1, 6, reg::RUN, 24)), exception(1, 6, 3));   // not a RUN code
    EXPECT_EQ(bank.at(0).holding(reg::RUN), reg::RUN_ON);
    EXPECT_EQ(Exchange(requestFrame(1, 5, 0, 0xFF00)), exception(1, 5, 1));  // unknown function
    // A longer frame of another function ends at the line's silence.
    EXPECT_EQ(Exchange(withCrc(QByteArray::fromHex("011000000001020007"))), exception(1, 0x10, 1));
}

TEST_F(LineEngineTest, WriteIsEchoedAndStored)
{
    const QByteArray request = requestFrame(1, 6, reg::SV, 2500);
    EXPECT_EQ(Exchange(request), request);
    EXPECT_EQ(bank.at(0).holding(reg::SV), 2500);
    EXPECT_EQ(bank.at(1).holding(reg::SV), 1000);   // the other controller is untouched
}

TEST_F(LineEngineTest, SomeRequestsGetNoAnswer)
{
    QByteArray broken = requestFrame(1, 4, 4096, 30);
    broken[6] = char(broken[6] ^ 1);
    EXPECT_TRUE(Exchange(broken).isEmpty());                       // bad CRC
    EXPECT_TRUE(Exchange(requestFrame(3, 4, 4096, 30)).isEmpty());      // nobody at ID 3
    EXPECT_TRUE(Exchange(requestFrame(0, 6, reg::SV, 1234)).isEmpty()); // broadcast
    EXPECT_EQ(bank.at(0).holding(reg::SV), 1000);
    EXPECT_TRUE(Exchange(QByteArray::fromHex("01")).isEmpty());    // a lone byte
}

TEST_F(LineEngineTest, RepliesTakeTheirTimeOnTheLineAndFitTheConsoleIntervals)
{
    // 8 request bytes + 5 ms + 65 reply bytes at 11 bits each, 19200 baud: 46.8 ms.
    const Micros start = now;
    engine.receive(requestFrame(1, 4, 4096, 30), now, 19200);
    engine.advance(start + 46ms, 19200);
    EXPECT_TRUE(engine.takeDue(start + 46ms).isEmpty());
    EXPECT_EQ(engine.takeDue(start + 47ms).size(), 65);

    // 109 registers at 2400 baud: 8 + 223 bytes, about 1.06 s, inside 3.2 s.
    now = 10s;
    engine.receive(requestFrame(1, 3, 0, 109), now, 2400);
    EXPECT_TRUE(engine.takeDue(now + 1055ms).isEmpty());
    EXPECT_TRUE(engine.takeDue(now + 1060ms).isEmpty());   // nobody answers at 2400
    bank.at(0).writeHolding(reg::BAUD, reg::BAUD_2400);
    bank.at(0).applyLinkSettings();
    now = 20s;
    engine.receive(requestFrame(1, 3, 0, 109), now, 2400);
    EXPECT_TRUE(engine.takeDue(now + 1055ms).isEmpty());
    EXPECT_EQ(engine.takeDue(now + 1065ms).size(), 223);
}

TEST(LineEngineDelayTest, AReplyDelayedAsByAUsbAdapterComesThatMuchLater)
{
    ControllerBank bank{{1}, 3};
    LineConfig config;
    config.replyDelay = 16ms;
    LineEngine engine(bank, config, nullptr);
    // 46.8 ms on the line, then 16 ms in the adapter.
    engine.receive(requestFrame(1, 4, 4096, 30), Micros(0), 19200);
    EXPECT_TRUE(engine.takeDue(62ms).isEmpty());
    EXPECT_EQ(engine.takeDue(63ms).size(), 65);
}

TEST_F(LineEngineTest, RequestSplitAcrossReadsIsStillOneFrame)
{
    const QByteArray request = requestFrame(2, 4, 4096, 4);
    engine.receive(request.left(3), now, 19200);
    now += 1ms;
    engine.receive(request.mid(3), now, 19200);
    now += 100ms;
    engine.advance(now, 19200);
    const QByteArray reply = engine.takeDue(now);
    EXPECT_EQ(reply.size(), 13);
    EXPECT_EQ(reply.left(3), QByteArray::fromHex("020408"));
}

TEST_F(LineEngineTest, NewBaudRateAppliesOnceTheEchoIsOut)
{
    // Switch controller 1 to 9600 at 19200: the echo still goes out at 19200.
    const QByteArray write = requestFrame(1, 6, reg::BAUD, 63);
    engine.receive(write, now, 19200);
    // Before the echo is due the controller still listens at 19200 only.
    EXPECT_EQ(bank.at(0).answeringBaud(), 19200);
    EXPECT_EQ(Exchange(requestFrame(2, 4, 4096, 1)).size(), 7 + 8);   // controller 2's reply follows the echo
    EXPECT_EQ(bank.at(0).answeringBaud(), 9600);

    EXPECT_TRUE(Exchange(requestFrame(1, 4, 4096, 1)).isEmpty());          // at 19200: silent
    EXPECT_EQ(Exchange(requestFrame(1, 4, 4096, 1), 9600).size(), 7);      // at 9600: answers
    EXPECT_TRUE(Exchange(requestFrame(2, 4, 4096, 1), 9600).isEmpty());    // controller 2 stays at 19200
}

TEST_F(LineEngineTest, NewIdAppliesOnceTheEchoIsOut)
{
    const QByteArray write = requestFrame(2, 6, reg::ID, 9);
    engine.receive(write, now, 19200);
    // Asked at once under its new address, it does not answer yet.
    EXPECT_EQ(Exchange(requestFrame(9, 4, 4096, 1)), write);
    EXPECT_EQ(Exchange(requestFrame(9, 4, 4096, 1)).left(2), QByteArray::fromHex("0904"));
    EXPECT_TRUE(Exchange(requestFrame(2, 4, 4096, 1)).isEmpty());
}

TEST_F(LineEngineTest, LoadsAreSteppedWithSimulatedTime)
{
    const int before = Register(Exchange(requestFrame(1, 4, 4096, 1)), 0);
    now += 60s;
    engine.advance(now, 19200);
    const int after = Register(Exchange(requestFrame(1, 4, 4096, 1)), 0);
    EXPECT_GT(after, before + 500);   // heated by more than 50 degrees in a minute
}

struct FaultCase {
    const char *name;
    FaultRates rates;
};

class LineFaultTest : public LineEngineTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    LineFaultTest() : LineEngineTest(GetParam().rates) {}
};

TEST_P(LineFaultTest, EveryReplyShowsTheFault)
{
    const FaultRates r = GetParam().rates;
    const QByteArray request = requestFrame(1, 4, 4096, 30);
    for (int i = 0; i < 5; ++i) {
        engine.receive(request, now, 19200);
        QByteArray inTime;
        for (int ms = 0; ms < 100; ++ms) {   // the console's interval for this read
            now += 1ms;
            engine.advance(now, 19200);
            inTime += engine.takeDue(now);
        }
        QByteArray later;
        for (int ms = 0; ms < 1000; ++ms) {
            now += 1ms;
            engine.advance(now, 19200);
            later += engine.takeDue(now);
        }
        if (r.drop > 0) {
            EXPECT_TRUE(inTime.isEmpty() && later.isEmpty());
        } else if (r.late > 0) {
            EXPECT_TRUE(inTime.isEmpty());
            EXPECT_EQ(later.size(), 65);
            EXPECT_TRUE(hasValidCrc(later));
        } else if (r.badCrc > 0) {
            EXPECT_EQ(inTime.size(), 65);
            EXPECT_FALSE(hasValidCrc(inTime));
        } else if (r.garbage > 0) {
            EXPECT_GT(inTime.size(), 65);
            EXPECT_TRUE(hasValidCrc(inTime.right(65)));
            EXPECT_EQ(inTime.right(65).left(3), QByteArray::fromHex("01043C"));
        }
        EXPECT_TRUE(later.isEmpty() || r.late > 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, LineFaultTest,
                         ::testing::Values(FaultCase{"drop", {1, 0, 0, 0}}, FaultCase{"badCrc", {0, 1, 0, 0}},
                                           FaultCase{"late", {0, 0, 1, 0}}, FaultCase{"garbage", {0, 0, 0, 1}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(FaultInjectorTest, RatesAreHonouredOverManyDraws)
{
    FaultInjector f({0.25, 0, 0, 0}, 99);
    int drops = 0;
    for (int i = 0; i < 4000; ++i)
        drops += f.drop();
    EXPECT_NEAR(drops, 1000, 120);
    EXPECT_FALSE(f.badCrc());
    // The same seed gives the same run.
    FaultInjector a({0.5, 0, 0, 0}, 5), b({0.5, 0, 0, 0}, 5);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(a.drop(), b.drop());
}

TEST(TrafficLogTest, OneLinePerFrameWithTimeDirectionAndHexBytes)
{
    const QDateTime when(QDate(2024, 5, 1), QTime(13, 4, 5, 67));
    EXPECT_EQ(formatTrafficLine(when, Direction::FromConsole, QByteArray::fromHex("0104100000 1E74C2")),
              QStringLiteral("2024-05-01T13:04:05.067 <- 01 04 10 00 00 1E 74 C2"));

    auto buffer = std::make_unique<QBuffer>();
    QBuffer *sink = buffer.get();
    sink->open(QIODevice::WriteOnly);
    ControllerBank bank({1}, 1);
    TrafficLog log(std::move(buffer), [when] { return when; });
    LineEngine engine(bank, {}, &log);
    engine.receive(requestFrame(1, 6, reg::SV, 500), Micros(0), 19200);
    engine.takeDue(Micros(1s));
    EXPECT_EQ(QString::fromUtf8(sink->data()),
              QStringLiteral("2024-05-01T13:04:05.067 <- 01 06 00 00 01 F4 89 DD\n"
                             "2024-05-01T13:04:05.067 -> 01 06 00 00 01 F4 89 DD\n"));
}

} // namespace
} // namespace orbalis::sim
