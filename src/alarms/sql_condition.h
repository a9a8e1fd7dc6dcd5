#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <initializer_list>
#include <optional>

namespace orbalis {

// The condition of a filter over a journal table, with its bound values in
// order; "1" when it lets every row through.
struct SqlCondition {
    QString sql;
    QVariantList values;
};

// The text for a LIKE that finds `text` anywhere, its wildcards taken
// literally (escape character '\').
QString likePattern(const QString &text);

// Puts a filter's choices together, each narrowing the rows, in the order given.
class SqlConditionBuilder {
public:
    // A term with its bound values.
    void add(const QString &term, const QVariantList &values = {});
    // time_ms >= from, time_ms < to; each only when given (UTC milliseconds).
    void timeRange(const std::optional<qint64> &fromMs, const std::optional<qint64> &toMs);
    // The trimmed text anywhere in any of the columns; nothing when it is empty.
    void textIn(const QString &text, std::initializer_list<const char *> columns);

    SqlCondition condition() const;

private:
    QStringList terms_;
    QVariantList values_;
};

} // namespace orbalis
