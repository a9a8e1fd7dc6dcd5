#include "frames.h"

namespace orbalis {

ReplyOutcome judgeReply(const QByteArray &reply)
{
    if (reply.size() < 2)
        return ReplyOutcome::NoReply;
    return hasValidCrc(reply) ? ReplyOutcome::Valid : ReplyOutcome::CrcError;
}

ReplyOutcome Check_Reply(SerialPort &port, LineBuffers &line)
{
    line.Reply_Buffer = port.Input();
    return judgeReply(line.Reply_Buffer);
}

} // namespace orbalis
