#include "sql_condition.h"

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

void SqlConditionBuilder::add(const QString &term, const QVariantList &values)
{
    terms_ << term;
    values_ += values;
}

void SqlConditionBuilder::timeRange(const std::optional<qint64> &fromMs, const std::optional<qint64> &toMs)
{
    if (fromMs)
        add(QStringLiteral("time_ms >= ?"), {*fromMs});
    if (toMs)
        add(QStringLiteral("time_ms < ?"), {*toMs});
}

void SqlConditionBuilder::textIn(const QString &text, std::initializer_list<const char *> columns)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return;
    QStringList any;
    QVariantList values;
    for (const char *column : columns) {
        any << QString::fromLatin1(column) + QStringLiteral(" LIKE ? ESCAPE '\\'");
        values << likePattern(trimmed);
    }
    add(u'(' + any.join(QStringLiteral(" OR ")) + u')', values);
}

SqlCondition SqlConditionBuilder::condition() const
{
    return {terms_.isEmpty() ? QStringLiteral("1") : terms_.join(QStringLiteral(" AND ")), values_};
}

} // namespace orbalis
