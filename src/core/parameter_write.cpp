#include "parameter_write.h"

#include "link/exception_texts.h"

namespace orbalis {

QString writeOriginText(WriteOrigin origin)
{
    switch (origin) {
    case WriteOrigin::Window: return QStringLiteral("window");
    case WriteOrigin::File: return QStringLiteral("file");
    case WriteOrigin::Restore: return QStringLiteral("restore");
    case WriteOrigin::Copy: return QStringLiteral("copy");
    case WriteOrigin::Mqtt: break;
    }
    return QStringLiteral("MQTT");
}

QString writeOutcomeText(const ParameterWrite &write)
{
    if (!write.judged)
        return QStringLiteral("not judged");
    switch (write.outcome) {
    case LineOutcome::Good: return QStringLiteral("accepted");
    case LineOutcome::ExceptionReply: return QStringLiteral("refused");
    case LineOutcome::NoAnswer: return QStringLiteral("no answer");
    case LineOutcome::CrcError: return QStringLiteral("CRC error");
    case LineOutcome::WrongReply: break;
    }
    return QStringLiteral("wrong reply");
}

QString writeRefusalReason(const ParameterWrite &write)
{
    if (!write.judged || write.outcome != LineOutcome::ExceptionReply)
        return {};
    // " Exception reply, code 3 (illegal data value) !" without its frame.
    QString text = exceptionReplyText(write.exceptionCode).trimmed();
    text.remove(0, text.indexOf(QStringLiteral("code")));
    if (text.endsWith(QStringLiteral(" !")))
        text.chop(2);
    return text;
}

} // namespace orbalis
