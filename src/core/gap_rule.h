#pragma once

#include "trend_sample.h"

#include "settings/settings_model.h"

#include <QString>
#include <array>
#include <cstdint>
#include <span>

namespace orbalis {

struct Console;

// Where a trend line breaks: where no good reply came for longer than three
// poll periods (no answer, port gone, recording off, program closed), the
// line is broken rather than drawn across.
//
// Live, the poll period of a slot is the polling cycle's live-value wait for
// the baud rate times the number of bound slots: each bound slot is read once
// per turn of the cycle.
//
// Record files stamp their lines to the second and say nothing of the line's
// speed, so the period of a day's file is taken from its lines: the mean
// spacing of consecutive lines, leaving out spacings longer than three times
// their median (the gaps themselves; a median under one second counts as one
// second). The mean, unlike the median, is not rounded to whole seconds by the
// stamps. A line then breaks where its spacing exceeds three such periods plus
// the one second the stamps cannot resolve.

// Live-value wait of the polling cycle for a baud text (reply_waits.h). For
// other texts the cycle keeps its interval, which is 100 ms unless one of the
// four rates was set before.
int liveIntervalMs(const QString &baud);

// Poll period of every bound slot (at least one slot counted).
qint64 pollPeriodMs(const QString &baud, const std::array<std::uint8_t, SlotCount> &slotIds);
qint64 pollPeriodMs(const Console &console);

constexpr int GapPeriods = 3;
// A second for the whole-second stamps of record lines.
constexpr qint64 RecordStampMs = 1000;

// Live: the line breaks between two replies more than three periods apart,
// and where the clock went back.
bool breaksLine(qint64 previousMs, qint64 ms, qint64 periodMs);

// Record files: the period of one day's lines (in time order as written);
// `fallbackMs` when there are fewer than two lines.
qint64 estimateRecordPeriodMs(std::span<const TrendSample> lines, qint64 fallbackMs);
bool breaksRecordLine(qint64 previousMs, qint64 ms, qint64 periodMs);
// Sets or clears BreaksBefore of every line after the first by breaksRecordLine.
void markRecordBreaks(std::span<TrendSample> lines, qint64 periodMs);

} // namespace orbalis
