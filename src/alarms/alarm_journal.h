#pragma once

#include "alarm_change.h"

#include "journal/journal_table.h"

#include <QString>
#include <QVariantList>
#include <optional>

class QSqlQuery;

namespace orbalis {

class JournalWriter;

// The table "alarm_events" of the journal: one row per change of state of an
// alarm. Slots are numbered 1 to 16 as the panel names them; the line's rows
// ("Port lost") have no controller, slot or name. Times are UTC milliseconds.
JournalTable alarmEventsTable();
QString alarmEventsTableName();

// The values of a row, in the table's column order.
QVariantList alarmEventValues(const AlarmChange &change);

// A row as read back.
struct AlarmEventRow {
    qint64 id = 0;
    qint64 timeMs = 0;
    std::optional<int> controllerId;
    std::optional<int> slot; // 1..16
    QString slotName;
    QString alarm;
    QString change;
    QString pv;
    QString sv;
    QString comment;
    QString user;
    std::optional<qint64> shelvedUntilMs;
};
// "id, time_ms, controller_id, ...": what a query selects for readRow.
QString alarmEventColumns();
AlarmEventRow readAlarmEventRow(const QSqlQuery &query);

// Writes every change into the journal (through the writer's thread).
class AlarmJournal : public AlarmObserver {
public:
    explicit AlarmJournal(JournalWriter &writer) : writer_(writer) {}
    void alarmChanged(const AlarmChange &change) override;

private:
    JournalWriter &writer_;
};

} // namespace orbalis
