#pragma once

#include "line_buffers.h"
#include "serial_port.h"

#include <QByteArray>
#include <cstdint>

namespace orbalis {

// How a reply answers the request that was sent.
enum class LineOutcome {
    Good,           // the answer to the request sent
    NoAnswer,       // fewer than two bytes
    CrcError,       // bytes whose CRC does not match
    WrongReply,     // a good CRC, but another controller's or another request's reply
    ExceptionReply, // the controller refused the request (function code with bit 7 set)
};

// Why a reply with a good CRC is not the answer to the request.
enum class Mismatch {
    None,
    NothingAsked,  // no request went out
    OtherId,       // another controller's reply
    OtherFunction, // a reply to another function
    OtherLength,   // not the length (or byte count) the request calls for
    OtherEcho,     // a write echo of another address or value
};

struct ReplyJudgement {
    LineOutcome outcome = LineOutcome::NoAnswer;
    Mismatch mismatch = Mismatch::None; // WrongReply only
    std::uint8_t exceptionCode = 0;     // ExceptionReply only
    std::uint8_t replyId = 0;           // the ID the reply gives, where it has a good CRC

    // The CRC check alone passed: every outcome but NoAnswer and CrcError.
    bool crcValid() const { return outcome != LineOutcome::NoAnswer && outcome != LineOutcome::CrcError; }
};

// Judges the bytes that came against the request that was sent (the 8-byte
// request frame; empty when nothing went out). The CRC first, as Check_Reply
// does; then the reply must come from the request's ID and carry its
// function: a read (3, 4) is answered by 5 + 2n bytes with the byte count
// 2n, a write (6) by the echo of the request. The same function with bit 7
// set in 5 bytes is the controller's refusal, with its exception code.
ReplyJudgement judgeReplyTo(const QByteArray &request, const QByteArray &reply);

// How many bytes the answer to the request has: 5 + 2n for a read of n
// registers, 8 for a write (its echo); 0 when nothing went out.
qsizetype answerLength(const QByteArray &request);

// Whether the bytes received so far can be judged without waiting for more:
// from the asked controller's address and function on they are as long as
// the answer to the request (a good answer, or one no further byte can
// mend), or they are its refusal (5 bytes, the function with bit 7 set, a
// good CRC). Fewer bytes, or another controller's late answer, leave the
// asked one's answer perhaps still on its way.
bool replyEnded(const QByteArray &request, const QByteArray &received);

// Check_Reply (all received bytes into Reply_Buffer), judged against the
// request of the last send. Port errors propagate to the caller's trap.
ReplyJudgement takeJudgedReply(SerialPort &port, LineBuffers &line);

} // namespace orbalis
