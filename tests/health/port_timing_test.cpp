// The serial port times a reply as it arrives, not when a tick takes it:
// the real QtSerialPort on a pseudo-terminal whose other end answers late.

#include "core/reply_time.h"
#include "link/pseudo_terminal.h"
#include "link/qt_serial_port.h"
#include "support/qt_app.h"
#include "support/replies.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace orbalis;
using namespace std::chrono_literals;
using std::chrono::steady_clock;

namespace {

class PortTimingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::qtApp();
        ASSERT_TRUE(programDir.isValid());
        pty.bindAs(programDir.path(), 1);
        port.setCommPort(1);
        port.setSettings(QStringLiteral("19200,N,8,2"));
        port.setPortOpen(true);
        ASSERT_TRUE(port.PortOpen());
    }

    QTemporaryDir programDir;
    PseudoTerminal pty;
    QtSerialPort port{ComPortResolver(programDir.path(), [] { return QList<ListedPort>{}; })};
};

} // namespace

TEST_F(PortTimingTest, AReplyIsTimedFromTheRequestsEndToItsLastByteAsItArrives)
{
    EXPECT_FALSE(port.lineTimes().requestEnd);
    const auto beforeOutput = steady_clock::now();
    port.Output(test::liveRequest(1));
    const auto afterOutput = steady_clock::now();
    const SerialPort::LineTimes sent = port.lineTimes();
    ASSERT_TRUE(sent.requestEnd);
    EXPECT_FALSE(sent.lastByte);
    // 8 bytes of 11 bits at 19200 baud: 4.58 ms on the wire.
    EXPECT_GE(*sent.requestEnd, beforeOutput + 4580us);
    EXPECT_LE(*sent.requestEnd, afterOutput + 4584us);
    EXPECT_EQ(pty.readAtLeast(8, 2000), test::liveRequest(1));

    // The controller answers in two parts; the event loop runs meanwhile, as
    // between two ticks. The tick takes the reply well after the last part.
    QTest::qWait(20);
    pty.write(test::liveReply(1).left(30));
    QTest::qWait(20);
    const auto lastPart = steady_clock::now();
    pty.write(test::liveReply(1).mid(30));
    QTest::qWait(60);
    const auto tick = steady_clock::now();
    EXPECT_EQ(port.Input(), test::liveReply(1));

    const auto reply = replyTimeOf(port.lineTimes());
    ASSERT_TRUE(reply);
    EXPECT_GE(*reply, std::chrono::duration_cast<std::chrono::microseconds>(lastPart - *sent.requestEnd));
    // Stamped when it came, not when it was taken.
    EXPECT_LT(*reply + 30ms, std::chrono::duration_cast<std::chrono::microseconds>(tick - *sent.requestEnd));
    // Taking the bytes does not move the stamp.
    EXPECT_EQ(replyTimeOf(port.lineTimes()), reply);

    // The next request starts afresh; closing forgets everything.
    port.Output(test::liveRequest(2));
    EXPECT_FALSE(port.lineTimes().lastByte);
    EXPECT_FALSE(replyTimeOf(port.lineTimes()));
    port.setPortOpen(false);
    EXPECT_FALSE(port.lineTimes().requestEnd);
}

TEST(WireTime, FollowsTheFraming)
{
    struct Case {
        const char *settings;
        std::chrono::microseconds eightBytes;
    };
    for (const Case c : {Case{"9600,N,8,1", 8333us}, Case{"9600,E,8,1", 9166us}, Case{"2400,O,7,2", 36666us},
                         Case{"19200,N,8,2", 4583us}, Case{"4800,S,8,1.5", 19166us}, Case{"19200,M,5,1", 3333us}}) {
        const auto line = parseLineSettings(QString::fromLatin1(c.settings));
        ASSERT_TRUE(line) << c.settings;
        EXPECT_EQ(wireTime(8, *line), c.eightBytes) << c.settings;
    }
    EXPECT_EQ(wireTime(8, LineSettings{0}), 0us);
}
