#include "gap_rule.h"

#include "reply_waits.h"

#include "state/console.h"

#include <algorithm>
#include <vector>

namespace orbalis {

int liveIntervalMs(const QString &baud)
{
    // For other texts the cycle keeps the interval it started with.
    return waitFor(LiveValuesWait, baud).value_or(StartWaitMs);
}

qint64 pollPeriodMs(const QString &baud, const std::array<std::uint8_t, SlotCount> &slotIds)
{
    const auto bound = std::count_if(slotIds.begin(), slotIds.end(), [](std::uint8_t id) { return id != 0; });
    return qint64(liveIntervalMs(baud)) * std::max<qint64>(bound, 1);
}

qint64 pollPeriodMs(const Console &console)
{
    return pollPeriodMs(console.settings.serial.Baud, console.slots.SlotId);
}

bool breaksLine(qint64 previousMs, qint64 ms, qint64 periodMs)
{
    return ms < previousMs || ms - previousMs > GapPeriods * periodMs;
}

qint64 estimateRecordPeriodMs(std::span<const TrendSample> lines, qint64 fallbackMs)
{
    std::vector<qint64> spacings;
    spacings.reserve(lines.size());
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const qint64 d = lines[i].timeMs - lines[i - 1].timeMs;
        if (d >= 0)
            spacings.push_back(d);
    }
    if (spacings.empty())
        return fallbackMs;
    std::vector<qint64> sorted = spacings;
    const auto middle = sorted.begin() + std::ptrdiff_t(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    const qint64 cap = GapPeriods * std::max(*middle, RecordStampMs);
    qint64 sum = 0;
    qint64 counted = 0;
    for (qint64 d : spacings) {
        if (d <= cap) {
            sum += d;
            ++counted;
        }
    }
    // At least 1 ms: many lines within one second are still a line.
    return counted > 0 ? std::max<qint64>(sum / counted, 1) : fallbackMs;
}

bool breaksRecordLine(qint64 previousMs, qint64 ms, qint64 periodMs)
{
    return ms < previousMs || ms - previousMs > GapPeriods * periodMs + RecordStampMs;
}

void markRecordBreaks(std::span<TrendSample> lines, qint64 periodMs)
{
    for (std::size_t i = 1; i < lines.size(); ++i)
        lines[i].setBreaksBefore(breaksRecordLine(lines[i - 1].timeMs, lines[i].timeMs, periodMs));
}

} // namespace orbalis
