#include "journal_csv.h"

#include "journal_model.h"

#include "base/error.h"
#include "base/whole_file_save.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace orbalis {

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString csvLine(int columns, const std::function<QString(int column)> &field)
{
    QStringList fields;
    for (int c = 0; c < columns; ++c)
        fields << csvField(field(c));
    return fields.join(u',');
}

QString journalCsvHeader()
{
    return csvLine(JournalModel::ColumnCount, &JournalModel::columnTitle);
}

qint64 saveQueryCsv(const QString &connection, const SqlCondition &select, const QString &header,
                    const std::function<QString(const QSqlQuery &query)> &line, const QString &path)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(select.sql);
    for (qsizetype i = 0; i < select.values.size(); ++i)
        q.bindValue(int(i), select.values[i]);
    if (!q.exec())
        throw Error(PathFileAccess, QStringLiteral("the journal cannot be read: ") + q.lastError().text());

    QByteArray csv = "\xEF\xBB\xBF" + header.toUtf8() + "\r\n";
    qint64 rows = 0;
    while (q.next()) {
        csv += line(q).toUtf8() + "\r\n";
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

qint64 exportJournalCsv(const QString &connection, const JournalFilter &filter, const QString &path)
{
    return exportTableCsv<JournalModel>(connection, filter, path);
}

} // namespace orbalis
