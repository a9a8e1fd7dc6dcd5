#include "journal_filter.h"

#include <QStringList>

namespace orbalis {

QString likePattern(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == u'\\' || c == u'%' || c == u'_')
            escaped += u'\\';
        escaped += c;
    }
    return u'%' + escaped + u'%';
}

SqlCondition journalCondition(const JournalFilter &filter)
{
    QStringList terms;
    QVariantList values;
    if (filter.controllerId == JournalFilter::LineOnly) {
        terms << QStringLiteral("controller_id IS NULL");
    } else if (filter.controllerId != JournalFilter::AnyController) {
        terms << QStringLiteral("controller_id = ?");
        values << filter.controllerId;
    }
    if (!filter.alarm.isEmpty()) {
        terms << QStringLiteral("alarm = ?");
        values << filter.alarm;
    }
    if (filter.fromMs) {
        terms << QStringLiteral("time_ms >= ?");
        values << *filter.fromMs;
    }
    if (filter.toMs) {
        terms << QStringLiteral("time_ms < ?");
        values << *filter.toMs;
    }
    const QString text = filter.text.trimmed();
    if (!text.isEmpty()) {
        QStringList any;
        for (const char *column : {"slot_name", "alarm", "change", "comment", "user_name"}) {
            any << QString::fromLatin1(column) + QStringLiteral(" LIKE ? ESCAPE '\\'");
            values << likePattern(text);
        }
        terms << u'(' + any.join(QStringLiteral(" OR ")) + u')';
    }
    return {terms.isEmpty() ? QStringLiteral("1") : terms.join(QStringLiteral(" AND ")), values};
}

} // namespace orbalis
