#include "traffic_text.h"

#include "health_rules.h"

#include <QDateTime>

namespace orbalis {

QString trafficTimeText(qint64 wallMs)
{
    return QDateTime::fromMSecsSinceEpoch(wallMs).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString trafficDateTimeText(qint64 wallMs)
{
    return QDateTime::fromMSecsSinceEpoch(wallMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString trafficDirectionText(TrafficDirection direction)
{
    return direction == TrafficDirection::Sent ? QStringLiteral("TX") : QStringLiteral("RX");
}

QString exchangeText(Exchange exchange)
{
    switch (exchange) {
    case Exchange::Live: return QStringLiteral("live values");
    case Exchange::ReadOne: return QStringLiteral("read one");
    case Exchange::ReadAll: return QStringLiteral("read all");
    case Exchange::Write: return QStringLiteral("write");
    case Exchange::Scan: return QStringLiteral("scan");
    }
    return {};
}

QString outcomeText(LineOutcome outcome)
{
    switch (outcome) {
    case LineOutcome::Good: return QStringLiteral("Good");
    case LineOutcome::NoAnswer: return QStringLiteral("No answer");
    case LineOutcome::CrcError: return QStringLiteral("CRC error");
    case LineOutcome::WrongReply: return QStringLiteral("Wrong reply");
    case LineOutcome::ExceptionReply: return QStringLiteral("Exception reply");
    }
    return {};
}

QString functionText(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return {};
    return QStringLiteral("%1").arg(std::uint8_t(bytes[1]), 2, 16, QLatin1Char('0')).toUpper();
}

QString bytesText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString frameBytesText(const TrafficFrame &frame)
{
    if (frame.bytesLeftOut == 0)
        return bytesText(frame.bytes);
    // The count first: a cell of the view shows only the start of a long frame.
    return QStringLiteral("(%1 bytes, first %2 kept) %3 \u2026")
        .arg(qint64(frame.bytes.size()) + frame.bytesLeftOut)
        .arg(frame.bytes.size())
        .arg(bytesText(frame.bytes));
}

QString frameOutcomeText(const TrafficFrame &frame)
{
    if (frame.direction == TrafficDirection::Sent)
        return {};
    QString text = outcomeText(frame.outcome);
    if (frame.replyUs >= 0)
        text += QStringLiteral(", ") + millisecondsText(std::chrono::microseconds(frame.replyUs));
    return text;
}

QString trafficLine(const TrafficFrame &frame)
{
    const QString gap = QStringLiteral("  ");
    // Columns of fixed width, so the bytes line up; a request has no outcome.
    QString line = trafficDateTimeText(frame.wallMs) + gap + trafficDirectionText(frame.direction) + gap
        + QStringLiteral("ID %1").arg(frame.id, 3) + gap + exchangeText(frame.exchange).leftJustified(11) + gap
        + functionText(frame.bytes).leftJustified(2) + gap + frameOutcomeText(frame).leftJustified(22) + gap
        + frameBytesText(frame);
    while (line.endsWith(u' '))
        line.chop(1);
    return line;
}

} // namespace orbalis
