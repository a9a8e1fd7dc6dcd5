#include "reply_judge.h"

#include "frames.h"

namespace orbalis {

namespace {

constexpr std::uint8_t WriteSingleRegister = 6;
constexpr std::uint8_t ExceptionBit = 0x80;
constexpr qsizetype RequestSize = 8;
constexpr qsizetype ExceptionSize = 5;
// ID, function and byte count before the registers; the CRC after them.
constexpr qsizetype ReadReplyOverhead = 5;

ReplyJudgement wrong(Mismatch why, std::uint8_t replyId)
{
    return {LineOutcome::WrongReply, why, 0, replyId};
}

bool isRefusalOf(const QByteArray &request, const QByteArray &reply)
{
    return std::uint8_t(reply[1]) == (std::uint8_t(request[1]) | ExceptionBit);
}

} // namespace

qsizetype answerLength(const QByteArray &request)
{
    if (request.size() != RequestSize)
        return 0;
    if (std::uint8_t(request[1]) == WriteSingleRegister)
        return RequestSize;
    const int count = std::uint8_t(request[4]) << 8 | std::uint8_t(request[5]);
    return ReadReplyOverhead + 2 * qsizetype(count);
}

bool replyEnded(const QByteArray &request, const QByteArray &received)
{
    const qsizetype expected = answerLength(request);
    if (expected == 0)
        return false;
    // A whole answer of the asked controller (its address and function at
    // the start, noise before or after it allowed). A late answer of another
    // controller is no end: the asked one may still be answering.
    for (qsizetype at = 0; received.size() - at >= expected; ++at)
        if (received[at] == request[0] && received[at + 1] == request[1])
            return true;
    return received.size() == ExceptionSize && received[0] == request[0] && isRefusalOf(request, received)
        && hasValidCrc(received);
}

ReplyJudgement judgeReplyTo(const QByteArray &request, const QByteArray &reply)
{
    switch (judgeReply(reply)) {
    case ReplyOutcome::NoReply: return {LineOutcome::NoAnswer};
    case ReplyOutcome::CrcError: return {LineOutcome::CrcError};
    case ReplyOutcome::Valid: break;
    }
    const auto replyId = std::uint8_t(reply[0]);
    if (request.size() != RequestSize)
        return wrong(Mismatch::NothingAsked, replyId);
    if (replyId != std::uint8_t(request[0]))
        return wrong(Mismatch::OtherId, replyId);
    const auto asked = std::uint8_t(request[1]);
    const auto function = std::uint8_t(reply[1]);
    if (isRefusalOf(request, reply)) {
        if (reply.size() != ExceptionSize)
            return wrong(Mismatch::OtherLength, replyId);
        return {LineOutcome::ExceptionReply, Mismatch::None, std::uint8_t(reply[2]), replyId};
    }
    if (function != asked)
        return wrong(Mismatch::OtherFunction, replyId);
    if (reply.size() != answerLength(request))
        return wrong(Mismatch::OtherLength, replyId);
    // A good write is the controller's echo of exactly what was sent.
    if (asked == WriteSingleRegister)
        return reply.first(6) == request.first(6) ? ReplyJudgement{LineOutcome::Good, Mismatch::None, 0, replyId}
                                                  : wrong(Mismatch::OtherEcho, replyId);
    if (std::uint8_t(reply[2]) != std::uint8_t(reply.size() - ReadReplyOverhead))
        return wrong(Mismatch::OtherLength, replyId);
    return {LineOutcome::Good, Mismatch::None, 0, replyId};
}

ReplyJudgement takeJudgedReply(SerialPort &port, LineBuffers &line)
{
    Check_Reply(port, line);
    return judgeReplyTo(line.requestSent ? requestBytes(line) : QByteArray(), line.Reply_Buffer);
}

} // namespace orbalis
