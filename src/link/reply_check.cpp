#include "frames.h"

namespace orbalis {

ReplyOutcome Judge_Reply(const QByteArray &reply)
{
    if (reply.size() < 2)
        return ReplyOutcome::NoReply;
    return Has_Valid_Crc(reply) ? ReplyOutcome::Valid : ReplyOutcome::CrcError;
}

ReplyOutcome Check_Reply(SerialPort &port, LineBuffers &line)
{
    line.Reply_Buffer = port.Input();
    return Judge_Reply(line.Reply_Buffer);
}

} // namespace orbalis
