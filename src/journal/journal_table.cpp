#include "journal_table.h"

namespace orbalis {

QString JournalTable::columnList() const
{
    QStringList names;
    for (const Column &c : columns)
        names << c.name;
    return names.join(QStringLiteral(", "));
}

QStringList JournalTable::createStatements() const
{
    QStringList declared{QStringLiteral("id INTEGER PRIMARY KEY")};
    for (const Column &c : columns)
        declared << c.name + u' ' + c.declaration;
    QStringList statements{QStringLiteral("CREATE TABLE IF NOT EXISTS ") + name + QStringLiteral(" (")
                           + declared.join(QStringLiteral(", ")) + u')'};
    for (const QStringList &index : indexes)
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS ") + name + u'_' + index.join(u'_')
                + QStringLiteral(" ON ") + name + QStringLiteral(" (") + index.join(QStringLiteral(", ")) + u')';
    return statements;
}

QString JournalTable::insertStatement() const
{
    QStringList marks;
    for (std::size_t i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO ") + name + QStringLiteral(" (") + columnList() + QStringLiteral(") VALUES (")
        + marks.join(QStringLiteral(", ")) + u')';
}

} // namespace orbalis
