#pragma once

#include "journal_filter.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <functional>

namespace orbalis {

// One field of a CSV line: quoted when it holds a comma, a quote or a line
// break, quotes doubled.
QString csvField(const QString &text);
// The fields of one CSV line, joined by commas.
QString csvLine(int columns, const std::function<QString(int column)> &field);
// The header line: the journal view's column titles.
QString journalCsvHeader();

// Runs `sql` with its bound values and saves each row it yields as a CSV line
// after `header`: UTF-8 with a byte-order mark (names may be Chinese), lines
// ending in CR LF. Saved whole or not at all (see saveWholeFile): a save that
// fails leaves a file of that name as it was, and a name that is no regular
// file (a FIFO, a device, a folder) is refused. The rows are gathered in
// memory first: about 90 bytes each. Throws Error with the reason; returns
// the number of rows written.
qint64 saveQueryCsv(const QString &connection, const SqlCondition &select, const QString &header,
                    const std::function<QString(const QSqlQuery &query)> &line, const QString &path);

// Every row of a journal table the filter lets through (not only those a
// view has read), newest first, as the view shows them. Table is a
// PagedJournalModel's table.
template <class Table, class Filter>
qint64 exportTableCsv(const QString &connection, const Filter &filter, const QString &path)
{
    const SqlCondition condition = Table::condition(filter);
    const SqlCondition select{QStringLiteral("SELECT ") + Table::columnList() + QStringLiteral(" FROM ")
                                  + Table::tableName() + QStringLiteral(" WHERE ") + condition.sql
                                  + QStringLiteral(" ORDER BY time_ms DESC, id DESC"),
                              condition.values};
    return saveQueryCsv(connection, select, csvLine(Table::ColumnCount, &Table::columnTitle),
                        [](const QSqlQuery &query) {
                            const auto row = Table::readRow(query);
                            return csvLine(Table::ColumnCount, [&](int c) { return Table::cellText(row, c); });
                        },
                        path);
}

// The journal's alarm events, as exportTableCsv.
qint64 exportJournalCsv(const QString &connection, const JournalFilter &filter, const QString &path);

} // namespace orbalis
