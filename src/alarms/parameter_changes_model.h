#pragma once

#include "paged_journal_model.h"
#include "parameter_changes_filter.h"
#include "parameter_write_journal.h"

#include <QString>

namespace orbalis {

class ParameterChangesModel;
using PagedParameterWrites = PagedJournalModel<ParameterChangesModel, ParameterWriteRow, ParameterChangesFilter>;

// The journal's parameter writes for a view, newest first, a page at a time
// (see PagedJournalModel).
class ParameterChangesModel : public PagedParameterWrites {
    Q_OBJECT
public:
    enum Column {
        Time, Controller, Slot, Parameter, Address, Before, Sent, Value, Outcome, Origin, User, ColumnCount
    };

    explicit ParameterChangesModel(QObject *parent = nullptr);

    static QString columnTitle(int column);
    // A row's text in a column, as shown and exported: the outcome with a
    // refusal's reason ("refused: code 2 (illegal data address)").
    static QString cellText(const ParameterWriteRow &row, int column);

    // The table read, for the paging and the export.
    static QString tableName() { return parameterWritesTableName(); }
    static QString columnList() { return parameterWriteColumns(); }
    static ParameterWriteRow readRow(const QSqlQuery &query) { return readParameterWriteRow(query); }
    static SqlCondition condition(const ParameterChangesFilter &filter) { return parameterChangesCondition(filter); }
};

// Writes every row the filter lets through, newest first, as the tab shows
// them (see exportJournalCsv). Throws Error with the reason; returns the
// number of rows.
qint64 exportParameterChangesCsv(const QString &connection, const ParameterChangesFilter &filter,
                                 const QString &path);

} // namespace orbalis
