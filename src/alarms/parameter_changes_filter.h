#pragma once

#include "sql_condition.h"

#include <QString>
#include <optional>

namespace orbalis {

// What the "Parameter changes" tab shows: every choice narrows it.
struct ParameterChangesFilter {
    static constexpr int AnyController = -1;
    enum class Outcome { Any, Accepted, NotAccepted };

    int controllerId = AnyController;
    QString origin;                   // writeOriginText; empty for all
    Outcome outcome = Outcome::Any;
    std::optional<qint64> fromMs;     // time_ms >= fromMs (UTC milliseconds)
    std::optional<qint64> toMs;       // time_ms < toMs
    QString text;                     // in the mnemonic, the texts, the reason or the user

    friend bool operator==(const ParameterChangesFilter &, const ParameterChangesFilter &) = default;
};

// The filter's condition over parameter_writes.
SqlCondition parameterChangesCondition(const ParameterChangesFilter &filter);

} // namespace orbalis
