#include "parameter_changes_filter.h"

namespace orbalis {

SqlCondition parameterChangesCondition(const ParameterChangesFilter &filter)
{
    SqlConditionBuilder where;
    if (filter.controllerId != ParameterChangesFilter::AnyController)
        where.add(QStringLiteral("controller_id = ?"), {filter.controllerId});
    if (!filter.origin.isEmpty())
        where.add(QStringLiteral("origin = ?"), {filter.origin});
    if (filter.outcome != ParameterChangesFilter::Outcome::Any)
        where.add(filter.outcome == ParameterChangesFilter::Outcome::Accepted ? QStringLiteral("outcome = ?")
                                                                              : QStringLiteral("outcome <> ?"),
                  {QStringLiteral("accepted")});
    where.timeRange(filter.fromMs, filter.toMs);
    where.textIn(filter.text, {"mnemonic", "text_before", "text_sent", "reason", "user_name"});
    return where.condition();
}

} // namespace orbalis
