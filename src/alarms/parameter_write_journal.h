#pragma once

#include "journal/journal_table.h"

#include "core/parameter_write.h"

#include <QString>
#include <QVariantList>

class QSqlQuery;

namespace orbalis {

class JournalWriter;

// The table "parameter_writes" of the journal: one row per write request
// the console sent, with the text the parameter had when last read, the text
// and register value sent, how the controller answered, where the write came
// from and who ran the console. Times are UTC milliseconds; slots 1 to 16.
JournalTable parameterWritesTable();
QString parameterWritesTableName();

// The values of a row, in the table's column order.
QVariantList parameterWriteValues(const ParameterWrite &write, const QString &user);

// A row as read back.
struct ParameterWriteRow {
    qint64 id = 0;
    qint64 timeMs = 0;
    int controllerId = 0;
    int slot = 0;   // 1..16
    QString mnemonic;
    int address = 0;
    QString textBefore;
    QString textSent;
    int value = 0;
    QString outcome;   // writeOutcomeText
    QString reason;    // a refusal's, else empty
    QString origin;    // writeOriginText
    QString user;
};
// "id, time_ms, controller_id, ...": what a query selects for readParameterWriteRow.
QString parameterWriteColumns();
ParameterWriteRow readParameterWriteRow(const QSqlQuery &query);

// Writes every parameter write into the journal (through the writer's thread).
class ParameterWriteJournal : public ParameterWriteObserver {
public:
    ParameterWriteJournal(JournalWriter &writer, QString user) : writer_(writer), user_(std::move(user)) {}
    void parameterWritten(const ParameterWrite &write) override;

private:
    JournalWriter &writer_;
    const QString user_;
};

} // namespace orbalis
