#include "journal_csv.h"

#include "alarm_journal.h"
#include "journal_model.h"

#include "base/error.h"
#include "base/regular_file.h"

#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace orbalis {

namespace {

int saveErrorNumber(QFileDevice::FileError e)
{
    switch (e) {
    case QFileDevice::PermissionsError: return PermissionDenied;
    case QFileDevice::ResourceError: return DiskFull;
    default: return PathFileAccess;
    }
}

[[noreturn]] void fail(QSaveFile &file, const QString &path)
{
    const Error e(saveErrorNumber(file.error()), path + QStringLiteral(": ") + file.errorString());
    file.cancelWriting();
    throw e;
}

} // namespace

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
    // A FIFO or a device of that name would be replaced, not written to.
    requireRegularFileOrNothing(path);
    const SqlCondition condition = journalCondition(filter);
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + alarmEventColumns() + QStringLiteral(" FROM ") + alarmEventsTableName()
              + QStringLiteral(" WHERE ") + condition.sql + QStringLiteral(" ORDER BY time_ms DESC, id DESC"));
    for (qsizetype i = 0; i < condition.values.size(); ++i)
        q.bindValue(int(i), condition.values[i]);
    if (!q.exec())
        throw Error(PathFileAccess, QStringLiteral("the journal cannot be read: ") + q.lastError().text());

    QSaveFile file(path);
    // Unbuffered, so that a short write (a full disk, a size limit) is seen
    // here: a buffered one is flushed at the commit, which does not report it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file, path);
    QByteArray chunk = "\xEF\xBB\xBF" + journalCsvHeader().toUtf8() + "\r\n";
    qint64 rows = 0;
    QStringList fields;
    while (q.next()) {
        const AlarmEventRow row = readAlarmEventRow(q);
        fields.clear();
        for (int c = 0; c < JournalModel::ColumnCount; ++c)
            fields << csvField(JournalModel::cellText(row, c));
        chunk += fields.join(u',').toUtf8() + "\r\n";
        ++rows;
        if (chunk.size() >= 1 << 20) {
            if (file.write(chunk) != chunk.size())
                fail(file, path);
            chunk.clear();
        }
    }
    if (q.lastError().isValid()) {
        file.cancelWriting();
        throw Error(PathFileAccess, QStringLiteral("the journal cannot be read: ") + q.lastError().text());
    }
    if (file.write(chunk) != chunk.size() || !file.commit())
        fail(file, path);
    return rows;
}

} // namespace orbalis
