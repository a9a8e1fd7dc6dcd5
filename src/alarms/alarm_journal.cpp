#include "alarm_journal.h"

#include "journal/journal_writer.h"

#include <QSqlQuery>
#include <QVariant>

namespace orbalis {

namespace {

QVariant textOrNull(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

template <class T>
std::optional<T> optionalOf(const QVariant &v)
{
    if (v.isNull())
        return std::nullopt;
    return v.value<T>();
}

} // namespace

QString alarmEventsTableName()
{
    return QStringLiteral("alarm_events");
}

JournalTable alarmEventsTable()
{
    // Indexes for the window: newest first, by controller and by alarm,
    // each within a time range.
    return {alarmEventsTableName(),
            {{QStringLiteral("time_ms"), QStringLiteral("INTEGER NOT NULL")},
             {QStringLiteral("controller_id"), QStringLiteral("INTEGER")},
             {QStringLiteral("slot"), QStringLiteral("INTEGER")},
             {QStringLiteral("slot_name"), QStringLiteral("TEXT")},
             {QStringLiteral("alarm"), QStringLiteral("TEXT NOT NULL")},
             {QStringLiteral("change"), QStringLiteral("TEXT NOT NULL")},
             {QStringLiteral("pv"), QStringLiteral("TEXT")},
             {QStringLiteral("sv"), QStringLiteral("TEXT")},
             {QStringLiteral("comment"), QStringLiteral("TEXT")},
             {QStringLiteral("user_name"), QStringLiteral("TEXT NOT NULL")},
             {QStringLiteral("shelved_until_ms"), QStringLiteral("INTEGER")}},
            {{QStringLiteral("time_ms")},
             {QStringLiteral("controller_id"), QStringLiteral("time_ms")},
             {QStringLiteral("alarm"), QStringLiteral("time_ms")}}};
}

QVariantList alarmEventValues(const AlarmChange &c)
{
    const QVariant noNumber(QMetaType(QMetaType::LongLong));
    const bool line = c.key.isLine();
    return {c.timeMs,
            line ? noNumber : QVariant(qlonglong(c.key.controllerId)),
            line ? noNumber : QVariant(qlonglong(c.key.slot + 1)),
            textOrNull(c.slotName),
            alarmName(c.key.kind),
            changeWord(c.change),
            textOrNull(c.pv),
            textOrNull(c.sv),
            textOrNull(c.comment),
            c.user,
            c.shelvedUntilMs ? QVariant(qlonglong(*c.shelvedUntilMs)) : noNumber};
}

QString alarmEventColumns()
{
    return QStringLiteral("id, ") + alarmEventsTable().columnList();
}

AlarmEventRow readAlarmEventRow(const QSqlQuery &q)
{
    AlarmEventRow r;
    r.id = q.value(0).toLongLong();
    r.timeMs = q.value(1).toLongLong();
    r.controllerId = optionalOf<int>(q.value(2));
    r.slot = optionalOf<int>(q.value(3));
    r.slotName = q.value(4).toString();
    r.alarm = q.value(5).toString();
    r.change = q.value(6).toString();
    r.pv = q.value(7).toString();
    r.sv = q.value(8).toString();
    r.comment = q.value(9).toString();
    r.user = q.value(10).toString();
    r.shelvedUntilMs = optionalOf<qint64>(q.value(11));
    return r;
}

void AlarmJournal::alarmChanged(const AlarmChange &change)
{
    writer_.append(alarmEventsTableName(), alarmEventValues(change));
}

} // namespace orbalis
