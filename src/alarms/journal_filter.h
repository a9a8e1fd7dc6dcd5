#pragma once

#include "sql_condition.h"

#include <QString>
#include <optional>

namespace orbalis {

// What the window's journal shows: every choice narrows it.
struct JournalFilter {
    static constexpr int AnyController = -1;
    static constexpr int LineOnly = 0; // the line's rows ("Port lost")

    int controllerId = AnyController; // or LineOnly, or 1..255
    QString alarm;                    // an alarm's name; empty for all
    std::optional<qint64> fromMs;     // time_ms >= fromMs (UTC milliseconds)
    std::optional<qint64> toMs;       // time_ms < toMs
    QString text;                     // in the name, alarm, change, comment or user; any case of ASCII

    friend bool operator==(const JournalFilter &, const JournalFilter &) = default;
};

// The filter's condition over alarm_events.
SqlCondition journalCondition(const JournalFilter &filter);

} // namespace orbalis
