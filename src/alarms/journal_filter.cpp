#include "journal_filter.h"

namespace orbalis {

SqlCondition journalCondition(const JournalFilter &filter)
{
    SqlConditionBuilder where;
    if (filter.controllerId == JournalFilter::LineOnly)
        where.add(QStringLiteral("controller_id IS NULL"));
    else if (filter.controllerId != JournalFilter::AnyController)
        where.add(QStringLiteral("controller_id = ?"), {filter.controllerId});
    if (!filter.alarm.isEmpty())
        where.add(QStringLiteral("alarm = ?"), {filter.alarm});
    where.timeRange(filter.fromMs, filter.toMs);
    where.textIn(filter.text, {"slot_name", "alarm", "change", "comment", "user_name"});
    return where.condition();
}

} // namespace orbalis
