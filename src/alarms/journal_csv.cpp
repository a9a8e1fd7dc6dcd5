#include "journal_csv.h"

#include "alarm_journal.h"
#include "journal_model.h"

#include "base/error.h"
#include "base/whole_file_save.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace orbalis {

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString journalCsvHeader()
{
    QStringList titles;
    for (int c = 0; c < JournalModel::ColumnCount; ++c)
        titles << csvField(JournalModel::columnTitle(c));
    return titles.join(u',');
}

qint64 exportJournalCsv(const QString &connection, const JournalFilter &filter, const QString &path)
{
    const SqlCondition condition = journalCondition(filter);
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + alarmEventColumns() + QStringLiteral(" FROM ") + alarmEventsTableName()
              + QStringLiteral(" WHERE ") + condition.sql + QStringLiteral(" ORDER BY time_ms DESC, id DESC"));
    for (qsizetype i = 0; i < condition.values.size(); ++i)
        q.bindValue(int(i), condition.values[i]);
    if (!q.exec())
        throw Error(PathFileAccess, QStringLiteral("the journal cannot be read: ") + q.lastError().text());

    QByteArray csv = "\xEF\xBB\xBF" + journalCsvHeader().toUtf8() + "\r\n";
    qint64 rows = 0;
    QStringList fields;
    while (q.next()) {
        const AlarmEventRow row = readAlarmEventRow(q);
        fields.clear();
        for (int c = 0; c < JournalModel::ColumnCount; ++c)
            fields << csvField(JournalModel::cellText(row, c));
        csv += fields.join(u',').toUtf8() + "\r\n";
        ++rows;
    }
    if (q.lastError().isValid())
        throw Error(PathFileAccess, QStringLiteral("the journal cannot be read: ") + q.lastError().text());
    try {
        saveWholeFile(path, csv);
    } catch (const Error &e) {
        throw withContext(e, path);
    }
    return rows;
}

} // namespace orbalis
