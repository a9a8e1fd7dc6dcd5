#include "health_rules.h"

#include <QStringList>
#include <bit>

namespace orbalis {

namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

const QString Separator = QStringLiteral(" · ");

QString counted(std::uint64_t n, const char *one, const char *many)
{
    return groupedNumber(n) + u' ' + QString::fromLatin1(n == 1 ? one : many);
}

} // namespace

HealthMark healthMark(const ControllerCounters &c)
{
    if (c.recentPolls == 0)
        return HealthMark::None;
    if (c.failedInARow >= HealthRules::FailedForRed)
        return HealthMark::Red;
    const int window = std::min(c.recentPolls, HealthRules::Window);
    const std::uint32_t mask = window >= 32 ? ~0u : ((1u << window) - 1u);
    return std::popcount(c.recentFailures & mask) > 0 ? HealthMark::Amber : HealthMark::Green;
}

bool noReply(const ControllerCounters &c)
{
    return c.failedInARow >= HealthRules::PollsForOld;
}

OldValues oldValues(const ControllerCounters &c, SteadyTime now, bool portOpen)
{
    if (!portOpen)
        return OldValues::PortClosed;
    if (noReply(c))
        return OldValues::NoReply;
    // Polls that should have come and did not: polling stopped, or every
    // request failed before it went out. Half a period of slack for the timer.
    if (c.lastGoodPoll && c.pollPeriod.count() > 0
        && now - *c.lastGoodPoll > HealthRules::PollsForOld * c.pollPeriod + c.pollPeriod / 2)
        return OldValues::NotPolled;
    return OldValues::Fresh;
}

QString healthWords(HealthMark mark)
{
    switch (mark) {
    case HealthMark::None: return QStringLiteral("not polled yet");
    case HealthMark::Green: return QStringLiteral("green, the last polls were all answered");
    case HealthMark::Amber: return QStringLiteral("amber, some of the last 20 polls failed");
    case HealthMark::Red: return QStringLiteral("red, the last 5 polls or more failed");
    }
    return {};
}

QString oldValuesWord(OldValues old)
{
    switch (old) {
    case OldValues::Fresh: return {};
    case OldValues::NoReply: return QStringLiteral("no reply");
    case OldValues::NotPolled: return QStringLiteral("not polled");
    case OldValues::PortClosed: return QStringLiteral("port lost");
    }
    return {};
}

QString oldValuesSentence(const ControllerCounters &c, SteadyTime now, OldValues old)
{
    const QString head = QStringLiteral("The values shown are old: ");
    switch (old) {
    case OldValues::Fresh: return {};
    case OldValues::NoReply:
        return head + QStringLiteral("no good reply to the last ") + groupedNumber(std::uint64_t(c.failedInARow))
            + QStringLiteral(" polls.");
    case OldValues::NotPolled:
        return head + QStringLiteral("not polled for ")
            + durationText(duration_cast<milliseconds>(now - c.lastGoodPoll.value_or(now))) + u'.';
    case OldValues::PortClosed: return head + QStringLiteral("the serial port is closed or gone.");
    }
    return {};
}

QString healthFigures(std::uint8_t id, const ControllerCounters &c, SteadyTime now)
{
    QStringList parts{QStringLiteral("ID ") + QString::number(id), counted(c.sent, "poll", "polls")};
    const std::uint64_t judged = c.judged();
    if (judged > 0) {
        const QString share = c.good == judged
            ? QStringLiteral("100")
            : QString::number(100.0 * double(c.good) / double(judged), 'f', 1);
        parts << share + QStringLiteral(" % answered");
    }
    parts << groupedNumber(c.noAnswer) + QStringLiteral(" no answer")
          << counted(c.crcErrors, "CRC error", "CRC errors");
    if (c.wrongReplies > 0)
        parts << counted(c.wrongReplies, "wrong reply", "wrong replies");
    if (c.exceptionReplies > 0)
        parts << counted(c.exceptionReplies, "exception reply", "exception replies");
    if (const auto mean = c.replyMean())
        parts << QStringLiteral("reply ") + millisecondsText(*mean) + QStringLiteral(", worst ")
                + millisecondsText(c.replyWorst);
    if (c.lastGoodPoll)
        parts << QStringLiteral("last good reply ") + durationText(duration_cast<milliseconds>(now - *c.lastGoodPoll))
                + QStringLiteral(" ago");
    else
        parts << QStringLiteral("no good reply yet");
    return parts.join(Separator);
}

QString groupedNumber(std::uint64_t n)
{
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u' ');
    return digits;
}

QString durationText(milliseconds d)
{
    const qint64 ms = std::max<qint64>(0, d.count());
    if (ms < 10'000)
        return QString::number(double(ms) / 1000.0, 'f', 1) + QStringLiteral(" s");
    const qint64 s = ms / 1000;
    if (s < 60)
        return QString::number(s) + QStringLiteral(" s");
    if (s < 3600)
        return QString::number(s / 60) + QStringLiteral(" min ") + QString::number(s % 60) + QStringLiteral(" s");
    return QString::number(s / 3600) + QStringLiteral(" h ") + QString::number(s % 3600 / 60) + QStringLiteral(" min");
}

QString millisecondsText(std::chrono::microseconds t)
{
    return QString::number((t.count() + 500) / 1000) + QStringLiteral(" ms");
}

} // namespace orbalis
