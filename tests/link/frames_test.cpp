#include "link/frames.h"

#include "support/errors.h"
#include "support/replies.h"
#include "support/fake_serial_port.h"

#include <gtest/gtest.h>

#include <random>

namespace orbalis {
namespace {

using test::bytes;
using test::frameBytes;

TEST(Crc16, KnownCheckValues)
{
    EXPECT_EQ(Crc16(QByteArrayLiteral("abc")), 0x5749);
    // The catalogued check value of CRC-16/MODBUS.
    EXPECT_EQ(Crc16(QByteArrayLiteral("123456789")), 0x4B37);
    EXPECT_EQ(Crc16(QByteArray()), 0xFFFF);
    EXPECT_EQ(withCrc(QByteArrayLiteral("abc")), bytes({0x61, 0x62, 0x63, 0x49, 0x57}));
}

TEST(Crc16, HighBytesAreNotSignExtended)
{
    // char is signed here; a byte like 0xFF must enter the CRC as 255.
    const QByteArray high = bytes({0xFF, 0x80, 0xFE});
    const std::uint8_t raw[] = {0xFF, 0x80, 0xFE};
    EXPECT_EQ(Crc16(high), Crc16(raw, 3));
    EXPECT_TRUE(hasValidCrc(withCrc(high)));
}

TEST(BuildRequest, FieldsHighByteFirstAndCrcLowByteFirst)
{
    EXPECT_EQ(frameBytes(*buildRequest(1, 4, 4096, 30)), bytes({0x01, 0x04, 0x10, 0x00, 0x00, 0x1E, 0x74, 0xC2}));
    EXPECT_EQ(frameBytes(*buildRequest(1, 3, 0, 109)), bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x6D, 0x84, 0x27}));
    EXPECT_EQ(frameBytes(*buildRequest(0xFF, 6, 0xFFFF, 0xABCD)).mid(0, 6),
              bytes({0xFF, 0x06, 0xFF, 0xFF, 0xAB, 0xCD}));
}

TEST(BuildRequest, FieldsOutsideSixteenBitsAreRefused)
{
    EXPECT_FALSE(buildRequest(1, 6, 0, 65536));
    EXPECT_FALSE(buildRequest(1, 6, 0, -1));
    EXPECT_FALSE(buildRequest(1, 3, -1, 1));
    EXPECT_FALSE(buildRequest(1, 3, 65536, 1));
    EXPECT_TRUE(buildRequest(1, 6, 0, 65535));
    EXPECT_TRUE(buildRequest(1, 6, 0, 0));
}

class SendRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.setPortOpen(true);
    }
    test::FakeSerialPort port;
    LineBuffers line;
};

TEST_F(SendRequest, ReadRequestsOfTheExamples)
{
    Send_Read_Request(port, line, 1, 4096, 30);
    Send_Read_Request(port, line, 1, 0, 109);
    ASSERT_EQ(port.outputs.size(), 2);
    EXPECT_EQ(port.outputs[0], bytes({0x01, 0x04, 0x10, 0x00, 0x00, 0x1E, 0x74, 0xC2}));
    EXPECT_EQ(port.outputs[1], bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x6D, 0x84, 0x27}));
    EXPECT_EQ(frameBytes(line.Request_Frame), port.outputs[1]);
}

TEST_F(SendRequest, FunctionFollowsTheAddress)
{
    Send_Read_Request(port, line, 7, 4095, 1);
    Send_Read_Request(port, line, 7, 4096, 1);
    Send_Read_Request(port, line, 7, 32767, 1);
    ASSERT_EQ(port.outputs.size(), 3);
    EXPECT_EQ(port.outputs[0][1], 3);
    EXPECT_EQ(port.outputs[1][1], 4);
    EXPECT_EQ(port.outputs[2][1], 4);
    for (const QByteArray &out : port.outputs)
        EXPECT_TRUE(hasValidCrc(out));
}

TEST_F(SendRequest, WriteRequestIsFunctionSixWhateverTheAddress)
{
    Send_Write_Request(port, line, 1, 0, 250);
    Send_Write_Request(port, line, 1, 4096, 1);
    ASSERT_EQ(port.outputs.size(), 2);
    EXPECT_EQ(port.outputs[0], bytes({0x01, 0x06, 0x00, 0x00, 0x00, 0xFA, 0x09, 0x89}));
    EXPECT_EQ(port.outputs[1][1], 6);
}

TEST_F(SendRequest, OutOfRangeValuesSendNothingAndKeepTheLastFrame)
{
    Send_Write_Request(port, line, 1, 0, 250);
    const auto previous = line.Request_Frame;
    Send_Write_Request(port, line, 1, 0, 65536);
    Send_Write_Request(port, line, 1, 0, -1);
    Send_Read_Request(port, line, 1, -1, 1);
    Send_Read_Request(port, line, 1, 0, 70000);
    EXPECT_EQ(port.outputs.size(), 1);
    EXPECT_EQ(line.Request_Frame, previous);
}

TEST_F(SendRequest, LeftoverBytesAreDiscardedBeforeEveryRequest)
{
    line.Reply_Buffer = QByteArrayLiteral("old reply");
    port.received = bytes({0x01, 0x04, 0x3C, 0x00});   // tail of a late reply
    Send_Read_Request(port, line, 1, 4096, 30);
    EXPECT_TRUE(line.Reply_Buffer.isEmpty());
    EXPECT_TRUE(port.received.isEmpty());

    port.received = bytes({0x55});
    Send_Write_Request(port, line, 1, 0, 1);
    EXPECT_TRUE(port.received.isEmpty());
    // Only the new reply reaches the check.
    port.received = bytes({0x01, 0x06, 0x00, 0x00, 0x00, 0x01, 0x48, 0x0A});
    EXPECT_EQ(Check_Reply(port, line), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer, bytes({0x01, 0x06, 0x00, 0x00, 0x00, 0x01, 0x48, 0x0A}));
}

TEST_F(SendRequest, PortFailuresAreSwallowed)
{
    line.Reply_Buffer = QByteArrayLiteral("old reply");
    port.setPortOpen(false);
    EXPECT_NO_THROW(Send_Read_Request(port, line, 1, 4096, 30));
    EXPECT_NO_THROW(Send_Write_Request(port, line, 1, 0, 1));
    EXPECT_TRUE(port.outputs.isEmpty());
    EXPECT_TRUE(line.Reply_Buffer.isEmpty());

    port.setPortOpen(true);
    port.inputError = 8020;
    EXPECT_NO_THROW(Send_Read_Request(port, line, 1, 4096, 30));
    EXPECT_TRUE(port.outputs.isEmpty());
}

TEST(JudgeReply, ShortRepliesAndTheTwoByteCase)
{
    EXPECT_EQ(judgeReply({}), ReplyOutcome::NoReply);
    EXPECT_EQ(judgeReply(bytes({0x01})), ReplyOutcome::NoReply);
    EXPECT_EQ(judgeReply(bytes({0xFF, 0xFF})), ReplyOutcome::Valid);
    EXPECT_EQ(judgeReply(bytes({0xFF, 0xFE})), ReplyOutcome::CrcError);
    EXPECT_EQ(judgeReply(bytes({0x00, 0x00})), ReplyOutcome::CrcError);
}

TEST(JudgeReply, CrcDecidesAlone)
{
    // A read reply of one register, then the same with its CRC bytes swapped.
    const QByteArray reply = withCrc(bytes({0x01, 0x03, 0x02, 0x00, 0xFA}));
    ASSERT_NE(reply[5], reply[6]);
    EXPECT_EQ(judgeReply(reply), ReplyOutcome::Valid);
    QByteArray swapped = reply;
    std::swap(swapped[5], swapped[6]);
    EXPECT_EQ(judgeReply(swapped), ReplyOutcome::CrcError);

    // Wrong ID, function and byte count do not matter.
    EXPECT_EQ(judgeReply(withCrc(bytes({0x09, 0x42, 0x77}))), ReplyOutcome::Valid);
    // An exception reply.
    EXPECT_EQ(judgeReply(withCrc(bytes({0x01, 0x86, 0x02}))), ReplyOutcome::Valid);
    // One flipped bit anywhere.
    QByteArray flipped = reply;
    flipped[3] = char(flipped[3] ^ 0x10);
    EXPECT_EQ(judgeReply(flipped), ReplyOutcome::CrcError);
}

TEST(CheckReply, TakesAllBytesRawAndPassesPortErrorsOn)
{
    test::FakeSerialPort port;
    LineBuffers line;
    port.setPortOpen(true);
    const QByteArray reply = withCrc(bytes({0x01, 0x03, 0x04, 0x00, 0x0A, 0x0D, 0x00}));
    port.received = reply;
    EXPECT_EQ(Check_Reply(port, line), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer, reply);

    port.received = reply.left(4);   // arrived only partly
    EXPECT_EQ(Check_Reply(port, line), ReplyOutcome::CrcError);
    EXPECT_EQ(Check_Reply(port, line), ReplyOutcome::NoReply);
    EXPECT_TRUE(line.Reply_Buffer.isEmpty());

    port.setPortOpen(false);
    EXPECT_EQ(test::errorNumberOf([&] { Check_Reply(port, line); }), PortNotOpen);
}

TEST(ReplyFuzz, RandomAndTruncatedBytesNeverCrash)
{
    std::mt19937 rng(20240607);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 300);
    test::FakeSerialPort port;
    LineBuffers line;
    port.setPortOpen(true);

    int valid = 0;
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes(length(rng), '\0');
        for (char &c : bytes)
            c = char(byte(rng));
        if (i % 4 == 0)
            bytes = withCrc(bytes);   // a share of well-formed frames
        port.received = bytes;
        const ReplyOutcome outcome = Check_Reply(port, line);
        ASSERT_EQ(line.Reply_Buffer, bytes);
        ASSERT_EQ(outcome, judgeReply(bytes));
        if (bytes.size() < 2) {
            ASSERT_EQ(outcome, ReplyOutcome::NoReply);
        } else if (i % 4 == 0) {
            ASSERT_EQ(outcome, ReplyOutcome::Valid);
        }
        valid += outcome == ReplyOutcome::Valid;
    }
    EXPECT_GE(valid, 5000);

    // Every truncation of a full live-value reply is caught.
    QByteArray live(63, '\0');
    live[0] = 1;
    live[1] = 4;
    live[2] = 60;
    for (int k = 3; k < 63; ++k)
        live[k] = char(byte(rng));
    live = withCrc(live);
    for (qsizetype n = 0; n < live.size(); ++n)
        EXPECT_NE(judgeReply(live.left(n)), ReplyOutcome::Valid) << n << " bytes";
    EXPECT_EQ(judgeReply(live), ReplyOutcome::Valid);
}

} // namespace
} // namespace orbalis
