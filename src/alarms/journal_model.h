#pragma once

#include "alarm_journal.h"
#include "journal_filter.h"
#include "paged_journal_model.h"

#include <QString>

namespace orbalis {

class JournalModel;
using PagedAlarmEvents = PagedJournalModel<JournalModel, AlarmEventRow, JournalFilter>;

// The journal's alarm events for a view, newest first, a page at a time (see
// PagedJournalModel). No widget code: the window colours it.
class JournalModel : public PagedAlarmEvents {
    Q_OBJECT
public:
    enum Column { Time, Controller, Slot, Name, Alarm, Change, Pv, Sv, Comment, User, ShelvedUntil, ColumnCount };

    explicit JournalModel(QObject *parent = nullptr);
    ~JournalModel() override;

    // Local time with milliseconds: "2024-05-01 12:00:00.500".
    static QString timeText(qint64 ms);
    static QString columnTitle(int column);
    // A row's text in a column, as shown and exported.
    static QString cellText(const AlarmEventRow &row, int column);

    // The table read, for the paging and the export.
    static QString tableName() { return alarmEventsTableName(); }
    static QString columnList() { return alarmEventColumns(); }
    static AlarmEventRow readRow(const QSqlQuery &query) { return readAlarmEventRow(query); }
    static SqlCondition condition(const JournalFilter &filter) { return journalCondition(filter); }
};

} // namespace orbalis
