// The one reply judge: every reply against the request it should answer.

#include "link/frames.h"
#include "link/reply_judge.h"
#include "support/fake_serial_port.h"
#include "support/replies.h"

#include <gtest/gtest.h>
#include <random>

namespace orbalis {
namespace {

using test::bytes;
using test::exceptionReply;
using test::liveReply;
using test::readReply;
using test::readRequest;
using test::writeRequest;

TEST(ReplyJudge, EachReplyIsJudgedAgainstTheRequestItShouldAnswer)
{
    const QByteArray live = test::liveRequest(5);
    const QByteArray readAll = readRequest(5, 0, 109);
    const QByteArray scan = readRequest(7, 4096, 1);
    const QByteArray write = writeRequest(5, 0, 250);
    QByteArray badCrc = liveReply(5);
    badCrc[10] = char(badCrc[10] ^ 1);
    const struct Case {
        const char *what;
        QByteArray request;
        QByteArray reply;
        LineOutcome outcome;
        Mismatch mismatch;
        int code;
    } cases[] = {
        {"live values", live, liveReply(5), LineOutcome::Good, Mismatch::None, 0},
        {"all parameters", readAll, test::readAllReply(5), LineOutcome::Good, Mismatch::None, 0},
        {"one register", scan, readReply(7, 4, {250}), LineOutcome::Good, Mismatch::None, 0},
        {"write echo", write, write, LineOutcome::Good, Mismatch::None, 0},
        {"nothing", live, {}, LineOutcome::NoAnswer, Mismatch::None, 0},
        {"one byte", live, bytes({5}), LineOutcome::NoAnswer, Mismatch::None, 0},
        {"broken CRC", live, badCrc, LineOutcome::CrcError, Mismatch::None, 0},
        {"the read's refusal", live, exceptionReply(5, 4, 2), LineOutcome::ExceptionReply, Mismatch::None, 2},
        {"the write's refusal", write, exceptionReply(5, 6, 3), LineOutcome::ExceptionReply, Mismatch::None, 3},
        {"another controller", live, liveReply(6), LineOutcome::WrongReply, Mismatch::OtherId, 0},
        {"another controller's refusal", write, exceptionReply(6, 6, 2), LineOutcome::WrongReply, Mismatch::OtherId, 0},
        {"another function", scan, readReply(7, 3, {250}), LineOutcome::WrongReply, Mismatch::OtherFunction, 0},
        {"a refusal of another function", live, exceptionReply(5, 3, 2), LineOutcome::WrongReply,
         Mismatch::OtherFunction, 0},
        {"one register too few", live, test::countingReply(5, 4, 29), LineOutcome::WrongReply, Mismatch::OtherLength,
         0},
        {"another count", scan, readReply(7, 4, {250, 251}), LineOutcome::WrongReply, Mismatch::OtherLength, 0},
        {"a wrong byte count", scan, withCrc(bytes({7, 4, 3, 0, 250})), LineOutcome::WrongReply, Mismatch::OtherLength,
         0},
        {"a refusal too long", live, withCrc(bytes({5, 0x84, 2, 0})), LineOutcome::WrongReply, Mismatch::OtherLength,
         0},
        {"an echo too short", write, withCrc(bytes({5, 6, 0, 0})), LineOutcome::WrongReply, Mismatch::OtherLength, 0},
        {"an echo of another value", write, writeRequest(5, 0, 251), LineOutcome::WrongReply, Mismatch::OtherEcho, 0},
        {"a reply when nothing went out", {}, liveReply(5), LineOutcome::WrongReply, Mismatch::NothingAsked, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ReplyJudgement j = judgeReplyTo(c.request, c.reply);
        EXPECT_EQ(j.outcome, c.outcome);
        EXPECT_EQ(j.mismatch, c.mismatch);
        EXPECT_EQ(j.exceptionCode, c.code);
        EXPECT_EQ(j.crcValid(), c.outcome != LineOutcome::NoAnswer && c.outcome != LineOutcome::CrcError);
        if (j.crcValid()) {
            EXPECT_EQ(j.replyId, std::uint8_t(c.reply[0]));
        }
    }
}

TEST(ReplyJudge, ARequestThatDidNotGoOutIsAnsweredByNothing)
{
    test::FakeSerialPort port;
    LineBuffers line;
    port.setPortOpen(true);
    ASSERT_TRUE(Send_Read_Request(port, line, 5, 4096, 30));
    port.received = liveReply(5);
    EXPECT_EQ(takeJudgedReply(port, line).outcome, LineOutcome::Good);
    EXPECT_EQ(line.Reply_Buffer, liveReply(5));

    // A value that does not fit: nothing is sent, and a reply that comes
    // anyway answers no request of this exchange.
    ASSERT_FALSE(Send_Write_Request(port, line, 5, 0, 65536));
    port.received = liveReply(5);
    EXPECT_EQ(takeJudgedReply(port, line).mismatch, Mismatch::NothingAsked);
}

TEST(ReplyJudge, RandomBytesAreJudgedWithoutReadingPastTheirEnd)
{
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 80);
    const QByteArray requests[] = {test::liveRequest(1), readRequest(1, 10, 1), writeRequest(1, 3, 9), {}};
    for (int i = 0; i < 20000; ++i) {
        QByteArray reply(length(rng), '\0');
        for (char &c : reply)
            c = char(byte(rng));
        if (i % 2 == 0 && !reply.isEmpty()) {
            reply[0] = 1; // from the asked controller, with a good CRC
            reply = withCrc(reply);
        }
        const ReplyJudgement j = judgeReplyTo(requests[i % 4], reply);
        ASSERT_EQ(j.crcValid(), reply.size() >= 2 && hasValidCrc(reply));
    }
}

} // namespace
} // namespace orbalis
