// The filters' conditions are put together from the same pieces: each choice
// narrows the rows, bound values follow the terms' order, and a search's
// wildcards are taken literally.

#include "alarms/sql_condition.h"

#include <gtest/gtest.h>

#include <functional>

using namespace orbalis;

TEST(SqlConditionBuilder, PutsTermsAndValuesInOrder)
{
    const QString like = QStringLiteral(" LIKE ? ESCAPE '\\'");
    const struct {
        const char *what;
        std::function<void(SqlConditionBuilder &)> build;
        QString sql;
        QVariantList values;
    } cases[] = {
        {"nothing chosen lets every row through", [](SqlConditionBuilder &) {}, QStringLiteral("1"), {}},
        {"a term without values", [](SqlConditionBuilder &b) { b.add(QStringLiteral("controller_id IS NULL")); },
         QStringLiteral("controller_id IS NULL"), {}},
        {"only a start time",
         [](SqlConditionBuilder &b) { b.timeRange(1000, std::nullopt); }, QStringLiteral("time_ms >= ?"),
         {qint64(1000)}},
        {"a term, then both times",
         [](SqlConditionBuilder &b) {
             b.add(QStringLiteral("alarm = ?"), {QStringLiteral("HI")});
             b.timeRange(1000, 2000);
         },
         QStringLiteral("alarm = ? AND time_ms >= ? AND time_ms < ?"),
         {QStringLiteral("HI"), qint64(1000), qint64(2000)}},
        {"a search, trimmed, its wildcards escaped, in every column",
         [](SqlConditionBuilder &b) { b.textIn(QStringLiteral("  50%_a\\b "), {"alarm", "comment"}); },
         u'(' + QStringLiteral("alarm") + like + QStringLiteral(" OR comment") + like + u')',
         {QStringLiteral("%50\\%\\_a\\\\b%"), QStringLiteral("%50\\%\\_a\\\\b%")}},
        {"a blank search adds nothing",
         [](SqlConditionBuilder &b) {
             b.textIn(QStringLiteral("   "), {"alarm"});
             b.timeRange(std::nullopt, 5);
         },
         QStringLiteral("time_ms < ?"), {qint64(5)}},
    };
    for (const auto &c : cases) {
        SqlConditionBuilder builder;
        c.build(builder);
        const SqlCondition condition = builder.condition();
        EXPECT_EQ(condition.sql, c.sql) << c.what;
        EXPECT_EQ(condition.values, c.values) << c.what;
    }
}
